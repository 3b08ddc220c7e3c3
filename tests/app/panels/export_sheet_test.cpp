#include "app/sheets/export_sheet.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <deque>

#include "app/sheets/elided_label.h"
#include "app/workspace/hosted_views.h"
#include "tests/app/panels/panel_testing.h"
#include "tests/app/support/state_harness.h"

namespace quillmere {
namespace {

using testing::settle;
using Path = std::filesystem::path;

TEST(ExportSheetParser, ReadsOnlyWholeNumbersWithinSixtyFourBits) {
    const std::optional<std::int64_t> none;
    const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
        {" 2500\n", 2500}, {"+2500", 2500}, {"0002500", 2500}, {"\u00A02500\u2028", 2500},
        {"0", 0}, {"-3", -3}, {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN}, {"9223372036854775808", none},
        {"12345678901234567890", none}, {"2,500", none}, {"2.5", none}, {"", none},
        {" \t", none}, {"+", none}, {"-", none}, {"+-3", none}, {"--3", none}, {"- 3", none},
        {"25 00", none}, {"abc", none}, {"2500px", none}, {"\uFF12\uFF15", none},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ExportSheet::parseCustomEdge(text), expected) << '"' << text << '"';
    }
}

class ExportSheetTest : public ::testing::Test {
  protected:
    ExportSheetTest() {
        a = harness.file("a.dng");
        b = harness.file("b.dng");
        c = harness.file("c.dng");
    }

    ExportSheet& show(std::string channel = "") {
        sheet = new ExportSheet(
            state, nullptr,
            {.chooseFolder = [this](QWidget*) { return takeFolder(); },
             .reveal = [this](const std::vector<Path>& items) { revealed.push_back(items); },
             .channel = std::move(channel)});
        sheet->setAttribute(Qt::WA_DeleteOnClose);
        sheet->open();
        settle();
        return *sheet;
    }
    std::optional<Path> takeFolder() {
        std::optional<Path> folder = folders.front();
        folders.pop_front();
        return folder;
    }
    // Opens the photos and selects them all.
    void openSession(std::vector<Path> photos) {
        harness.request(photos);
        harness.answerOpen();
        state.selectAllPhotos();
        settle();
    }
    template <class Widget>
    Widget* child(const char* name) {
        auto* widget = sheet->findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void choose(const char* combo, const QVariant& value) {
        auto* box = child<QComboBox>(combo);
        box->setCurrentIndex(box->findData(value));
        settle();
    }
    QPushButton* exportButton() { return child<QPushButton>("exportStart"); }
    bool shows(const char* name) { return child<QWidget>(name)->isVisibleTo(sheet); }
    QString resultText() { return child<QLabel>("exportResult")->text(); }

    testing::StateHarness harness;
    AppState& state = *harness.state;
    Path a, b, c;
    QPointer<ExportSheet> sheet;
    std::deque<std::optional<Path>> folders;
    std::vector<std::vector<Path>> revealed;
};

TEST_F(ExportSheetTest, StartsFromTheDefaultsAndPassesACustomEdge) {
    openSession({a, b});
    show();
    EXPECT_EQ(child<QComboBox>("exportScope")->currentText(), "Selected (2)");
    EXPECT_EQ(child<QComboBox>("exportFormat")->currentText(), "JPEG · developed photo");
    EXPECT_EQ(child<QComboBox>("exportResolution")->currentText(), "Original · maximum detail");
    EXPECT_EQ(child<QComboBox>("exportQuality")->currentText(), "Maximum · 100%");
    EXPECT_EQ(sheet->options(), (ExportOptions{.format = ExportFormat::jpeg, .quality = 1.0,
                                               .maxLongEdge = std::nullopt,
                                               .includeSoftware = true,
                                               .includeEditParameters = true}));
    EXPECT_EQ(child<ElidedLabel>("exportDestination")->fullText(),
              "exports folder beside each original");
    EXPECT_FALSE(shows("exportCustomEdge"));
    EXPECT_EQ(exportButton()->text(), "Export 2 Photos");

    choose("exportResolution", qint64(2048));
    EXPECT_EQ(sheet->options().maxLongEdge, 2048);
    choose("exportResolution", qint64(-1));
    EXPECT_TRUE(shows("exportCustomEdge"));
    EXPECT_EQ(child<QLineEdit>("exportCustomEdge")->text(), "3000");
    EXPECT_FALSE(shows("exportCustomEdgeMessage"));
    QTest::keyClick(sheet, Qt::Key_Return);
    harness.executor->runPending();
    harness.engine->completeOpen();
    harness.executor->runPending();
    ASSERT_EQ(harness.engine->exports.size(), 1u);
    EXPECT_EQ(harness.engine->exports.front().options.maxLongEdge, 3000);
}

TEST_F(ExportSheetTest, AnInvalidCustomEdgeBlocksJPEGButNotDNG) {
    openSession({a});
    show();
    choose("exportQuality", 0.9);
    choose("exportResolution", qint64(-1));
    auto* edge = child<QLineEdit>("exportCustomEdge");
    for (const char* text : {"", "abc", "2,500", "0", "-3", "99999999999999999999"}) {
        edge->setText(text);
        settle();
        EXPECT_TRUE(shows("exportCustomEdgeMessage")) << text;
        EXPECT_FALSE(exportButton()->isEnabled()) << text;
    }
    // Above 32 bits the edge is kept whole, not wrapped to a small downscale.
    edge->setText("4294969296");
    EXPECT_EQ(sheet->options().maxLongEdge, 4294969296);
    edge->setText("x");
    choose("exportFormat", int(ExportFormat::dng));
    for (const char* hidden : {"exportResolution", "exportCustomEdge", "exportCustomEdgeMessage",
                               "exportQuality"}) {
        EXPECT_FALSE(shows(hidden)) << hidden;
    }
    EXPECT_TRUE(exportButton()->isEnabled());
    EXPECT_EQ(sheet->options(), (ExportOptions{.format = ExportFormat::dng, .quality = 0.9,
                                               .maxLongEdge = std::nullopt,
                                               .includeSoftware = true,
                                               .includeEditParameters = true}));
    // Back to JPEG, the earlier choices are all there.
    choose("exportFormat", int(ExportFormat::jpeg));
    EXPECT_EQ(edge->text(), "x");
    EXPECT_TRUE(shows("exportCustomEdgeMessage"));
    EXPECT_EQ(child<QComboBox>("exportQuality")->currentData().toDouble(), 0.9);
}

TEST_F(ExportSheetTest, EditionCaptions) {
    const auto caption = [&](const char* channel) {
        show(channel);
        choose("exportFormat", int(ExportFormat::dng));
        const QString text = child<QLabel>("exportEditionCaption")->text();
        sheet->close();
        return text;
    };
    EXPECT_TRUE(caption("app-store").contains("Export other RAW formats as JPEG"));
    EXPECT_TRUE(caption("").contains("Other RAW formats require Adobe DNG Converter."));
}

TEST_F(ExportSheetTest, CountsAndEnablingFollowTheState) {
    show();
    choose("exportScope", int(ExportScope::current));
    EXPECT_EQ(exportButton()->text(), "Export 0 Photos");
    EXPECT_FALSE(exportButton()->isEnabled());
    harness.request({a});
    settle();
    EXPECT_TRUE(state.isOpening());
    EXPECT_FALSE(exportButton()->isEnabled());
    harness.answerOpen();
    settle();
    EXPECT_EQ(exportButton()->text(), "Export 1 Photo");
    EXPECT_TRUE(exportButton()->isEnabled());
    EXPECT_EQ(child<QComboBox>("exportScope")->itemText(2), "All (1)");
}

TEST_F(ExportSheetTest, ChoosingTheDestination) {
    openSession({a});
    show();
    const Path chosen = harness.folder.path() / std::string(200, 'x') / "out";
    folders = {chosen, std::nullopt};
    auto* destination = child<ElidedLabel>("exportDestination");
    for (int press = 0; press < 2; ++press) {
        child<QPushButton>("exportChooseFolder")->click();
        settle();
        EXPECT_EQ(destination->fullText().toStdString(), chosen.string()) << "cancel keeps it";
    }
    EXPECT_TRUE(destination->text().contains("…"));
    EXPECT_TRUE(destination->text().endsWith("x/out"));
    exportButton()->click();
    harness.answerAll();
    settle();
    ASSERT_EQ(resultText(), "1 exported · 0 failed");
    EXPECT_FALSE(shows("exportFailures"));
    child<QPushButton>("exportReveal")->click();
    ASSERT_EQ(revealed.size(), 1u);
    EXPECT_EQ(revealed[0], std::vector{chosen / "a_edit.jpg"});
}

TEST_F(ExportSheetTest, TheRunningExportCannotBeDismissedAndItsResultListsEveryFailure) {
    openSession({a, b, c});
    show();
    exportButton()->click();
    QTest::keyClick(sheet, Qt::Key_Return);
    settle();
    EXPECT_FALSE(shows("exportResult")) << "the second press is not refused: it is ignored";
    EXPECT_TRUE(shows("exportProgress"));
    EXPECT_EQ(child<QLabel>("exportStatus")->text(), "1 of 3 · a.dng");
    QTest::keyClick(sheet, Qt::Key_Escape);
    child<QPushButton>("exportCancel")->click();
    EXPECT_FALSE(sheet->close());
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_FALSE(child<QWidget>("exportScope")->isEnabled());

    const auto written = [&] {
        harness.answerOpen();
        harness.engine->completeExport();
        harness.executor->runPending();
    };
    written();
    settle();
    EXPECT_EQ(child<QProgressBar>("exportProgress")->value(), 333);
    harness.answerOpen();
    harness.engine->failExport(0, std::make_exception_ptr(std::runtime_error("broken")));
    harness.executor->runPending();
    written();
    harness.engine->failOpen(0, std::make_exception_ptr(std::runtime_error("gone")));
    harness.answerAll();
    settle();
    EXPECT_EQ(resultText(), "2 exported · 2 failed");
    EXPECT_EQ(child<QPlainTextEdit>("exportFailures")->toPlainText(),
              "b.dng: broken\n\nCould not restore preview: gone");
    EXPECT_FALSE(exportButton()->isVisibleTo(sheet));
    EXPECT_EQ(child<QPushButton>("exportCancel")->text(), "Done");
    child<QPushButton>("exportReveal")->click();
    const Path exports = a.parent_path() / "exports";
    EXPECT_EQ(revealed, (std::vector<std::vector<Path>>{
                            {exports / "a_edit.jpg", exports / "c_edit.jpg"}}));
    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_FALSE(sheet->isVisible()) << "Escape closes the finished sheet";
}

TEST_F(ExportSheetTest, ARefusedExportFinishesAtOnceWithItsReason) {
    openSession({a});
    state.saveAllEdits([](auto) {});
    show();
    EXPECT_TRUE(state.isApplyingEdits() && exportButton()->isEnabled());
    exportButton()->click();
    EXPECT_EQ(resultText(), "0 exported · 1 failed");
    EXPECT_EQ(child<QPlainTextEdit>("exportFailures")->toPlainText(),
              "Wait for the current operation to finish.");
    EXPECT_FALSE(shows("exportReveal"));
    EXPECT_EQ(child<QPushButton>("exportCancel")->text(), "Done");
}

TEST_F(ExportSheetTest, AnExportOutlivesItsSheet) {
    openSession({a});
    show();
    exportButton()->click();
    delete sheet.data();
    harness.answerAll();
    EXPECT_FALSE(state.isExporting());
    EXPECT_TRUE(std::filesystem::exists(a.parent_path() / "exports/a_edit.jpg"));
}

TEST(HostedViews, TheInstalledExportSheetClosesForGood) {
    testing::StateHarness harness;
    QPointer<QDialog> sheet = hosted::ExportSheet(*harness.state, nullptr);
    ASSERT_NE(qobject_cast<ExportSheet*>(sheet), nullptr);
    sheet->open();
    sheet->reject();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(sheet.isNull());
}

}  // namespace
}  // namespace quillmere
