#include "app/sheets/export_sheet.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>

#include "app/kit/elided_label.h"
#include "tests/app/support/state_harness.h"
#include "tests/app/support/view_testing.h"

namespace quillmere {
namespace {

using testing::settle;
using Path = std::filesystem::path;

TEST(ExportSheetParser, ReadsOnlyWholeNumbersWithinSixtyFourBits) {
    const std::optional<std::int64_t> none;
    // clang-format off
    const std::pair<const char*, std::optional<std::int64_t>> cases[] = {
        {" 2500\n", 2500}, {"+2500", 2500}, {"0002500", 2500}, {"\u00A02500\u2028", 2500}, {"0", 0},
        {"-3", -3}, {"9223372036854775807", INT64_MAX}, {"9223372036854775808", none},
        {"12345678901234567890", none}, {"2,500", none}, {"2.5", none}, {"", none}, {"+", none},
        {"-", none}, {"+-3", none}, {"- 3", none}, {"2500px", none}, {"\uFF12\uFF15", none}};
    // clang-format on
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(ExportSheet::parseCustomEdge(text), expected) << '"' << text << '"';
    }
}

class ExportSheetTest : public ::testing::Test {
  protected:
    // A sheet left open must not outlive the state it watches.
    ~ExportSheetTest() override { delete sheet.data(); }

    // The folder chooser answers with `folder` once, then as if cancelled.
    void show() {
        sheet = new ExportSheet(
            state, nullptr,
            {[this](QWidget*) { return std::exchange(folder, std::nullopt); },
             [this](const std::vector<Path>& items) { revealed.push_back(items); }});
        sheet->setAttribute(Qt::WA_DeleteOnClose);
        sheet->open();
        settle();
    }
    // Opens the photos and selects them all.
    void openSession(const std::vector<Path>& photos) {
        harness.request(photos);
        harness.answerOpen();
        state.selectAllPhotos();
        settle();
    }
    template <class Widget = QWidget>
    Widget* child(const char* name) {
        auto* widget = sheet->findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    void choose(const char* combo, const QVariant& value) {
        child<QComboBox>(combo)->setCurrentIndex(child<QComboBox>(combo)->findData(value));
        settle();
    }
    QPushButton* exportButton() { return child<QPushButton>("exportStart"); }
    bool shows(const char* name) { return child(name)->isVisibleTo(sheet); }
    QString text(const char* name) { return child<QLabel>(name)->text(); }

    testing::StateHarness harness;
    AppState& state = *harness.state;
    const Path a = harness.file("a.dng"), b = harness.file("b.dng"), c = harness.file("c.dng");
    QPointer<ExportSheet> sheet;
    std::optional<Path> folder;
    std::vector<std::vector<Path>> revealed;
};

TEST_F(ExportSheetTest, StartsFromTheDefaultsAndPassesACustomEdge) {
    openSession({a, b});
    show();
    EXPECT_EQ(child<QComboBox>("exportScope")->currentText(), "Selected (2)");
    EXPECT_EQ(sheet->options(), (ExportOptions{ExportFormat::jpeg, 1.0, std::nullopt, true, true}));
    EXPECT_FALSE(shows("exportCustomEdge"));
    choose("exportResolution", qint64(2048));
    EXPECT_EQ(sheet->options().maxLongEdge, 2048);

    choose("exportResolution", qint64(-1));
    EXPECT_EQ(child<QLineEdit>("exportCustomEdge")->text(), "3000");
    QTest::keyClick(sheet, Qt::Key_Return);
    harness.answerOpen();
    ASSERT_EQ(harness.engine->exports.size(), 1u);
    EXPECT_EQ(harness.engine->exports.front().options.maxLongEdge, 3000);
    harness.answerAll();
    EXPECT_EQ(text("exportResult"), "2 exported · 0 failed");
    EXPECT_FALSE(shows("exportFailures"));
}

TEST_F(ExportSheetTest, AnInvalidCustomEdgeBlocksJPEGButNotDNG) {
    openSession({a});
    show();
    choose("exportQuality", 0.9);
    choose("exportResolution", qint64(-1));
    auto* edge = child<QLineEdit>("exportCustomEdge");
    for (const char* invalid : {"", "2,500", "0", "-3", "99999999999999999999"}) {
        edge->setText(invalid);
        settle();
        EXPECT_TRUE(shows("exportCustomEdgeMessage") && !exportButton()->isEnabled()) << invalid;
    }
    edge->setText("4294969296");  // beyond 32 bits: kept whole, not wrapped to 2000
    EXPECT_EQ(sheet->options().maxLongEdge, 4294969296);

    edge->setText("x");
    choose("exportFormat", int(ExportFormat::dng));
    EXPECT_FALSE(shows("exportResolution") || shows("exportCustomEdge") || shows("exportQuality"));
    EXPECT_TRUE(exportButton()->isEnabled());
    edge->setText("2500");
    EXPECT_EQ(sheet->options(), (ExportOptions{ExportFormat::dng, 0.9, std::nullopt, true, true}));
    // Every edition exports existing DNG files only: no converter runs on Linux.
    EXPECT_TRUE(text("exportEditionCaption").contains("Export other RAW formats as JPEG"));
    choose("exportFormat", int(ExportFormat::jpeg));
    EXPECT_EQ(sheet->options().maxLongEdge, 2500) << "the hidden choices are kept";
}

TEST_F(ExportSheetTest, CountsEnablingCaptionAndARefusal) {
    show();
    choose("exportScope", int(ExportScope::current));
    EXPECT_EQ(exportButton()->text(), "Export 0 Photos");
    EXPECT_FALSE(exportButton()->isEnabled());
    harness.request({a});
    choose("exportScope", int(ExportScope::all));
    EXPECT_FALSE(exportButton()->isEnabled()) << "opening";
    harness.answerOpen();
    choose("exportScope", int(ExportScope::current));
    EXPECT_EQ(exportButton()->text(), "Export 1 Photo");
    EXPECT_TRUE(exportButton()->isEnabled());
    EXPECT_EQ(child<QComboBox>("exportScope")->itemText(2), "All (1)");

    // Applying edits does not disable Export; the press is refused at once.
    state.saveAllEdits([](auto) {});
    EXPECT_TRUE(state.isApplyingEdits() && exportButton()->isEnabled());
    exportButton()->click();
    EXPECT_EQ(text("exportResult"), "0 exported · 1 failed");
    EXPECT_FALSE(shows("exportReveal"));
    EXPECT_EQ(child<QPushButton>("exportCancel")->text(), "Done");
}

TEST_F(ExportSheetTest, TheRunningExportCannotBeDismissedAndItsResultListsEveryFailure) {
    openSession({a, b, c});
    show();
    const Path chosen = harness.folder.path() / std::string(200, 'x') / "out";
    folder = chosen;
    auto* destination = child<ElidedLabel>("exportDestination");
    for (int press = 0; press < 2; ++press) {
        child<QPushButton>("exportChooseFolder")->click();
        EXPECT_EQ(destination->fullText().toStdString(), chosen.string()) << "cancel keeps it";
    }
    EXPECT_TRUE(destination->text().contains("…") && destination->text().endsWith("x/out"));
    exportButton()->click();
    emit exportButton()->clicked();  // a second press that came before the button was disabled
    settle();
    EXPECT_FALSE(shows("exportResult")) << "the second press is not refused: it is ignored";
    EXPECT_EQ(text("exportStatus"), "1 of 3 · a.dng");
    QTest::keyClick(sheet, Qt::Key_Escape);
    child<QPushButton>("exportCancel")->click();
    ASSERT_TRUE(!sheet->close() && sheet->isVisible()) << "Escape, Cancel and close do nothing";
    EXPECT_FALSE(child("exportScope")->isEnabled());

    harness.answerOpen();
    harness.engine->completeExport();
    harness.executor->runPending();
    settle();
    EXPECT_EQ(child<QProgressBar>("exportProgress")->value(), 333);
    harness.answerOpen();
    harness.engine->failExport(0, std::make_exception_ptr(std::runtime_error("broken")));
    harness.answerOpen();
    harness.engine->completeExport();
    harness.executor->runPending();
    // The photo open before cannot be opened again.
    harness.engine->failOpen(0, std::make_exception_ptr(std::runtime_error("gone")));
    harness.answerAll();
    EXPECT_EQ(text("exportResult"), "2 exported · 2 failed");
    EXPECT_EQ(child<QPlainTextEdit>("exportFailures")->toPlainText(),
              "b.dng: broken\n\nCould not restore preview: gone");
    EXPECT_FALSE(exportButton()->isVisibleTo(sheet));
    child<QPushButton>("exportReveal")->click();
    EXPECT_EQ(revealed,
              (std::vector<std::vector<Path>>{{chosen / "a_edit.jpg", chosen / "c_edit.jpg"}}));
    QTest::keyClick(sheet, Qt::Key_Escape);
    EXPECT_FALSE(sheet->isVisible()) << "Escape closes the finished sheet";
}

TEST_F(ExportSheetTest, AnExportOutlivesItsSheet) {
    openSession({a});
    auto* deletedSheet = new ExportSheet(state, nullptr);
    deletedSheet->findChild<QPushButton*>("exportStart")->click();
    delete deletedSheet;
    harness.answerAll();
    EXPECT_TRUE(std::filesystem::exists(a.parent_path() / "exports/a_edit.jpg"));
}

// With one of six photos selected the sheet opens on its Export button: two wheel notches over
// the "Photos" pop-up and the arrow keys leave "Selected (1)" as it is, since the pop-up takes the
// focus only from a click or Tab. After Tab, the keys choose.
TEST_F(ExportSheetTest, OpensOnItsButtonSoNeitherTheWheelNorTheArrowsTurnThePhotosPopUp) {
    std::vector<Path> photos;
    for (const char* name : {"a.dng", "b.dng", "c.dng", "d.dng", "e.dng", "f.dng"}) {
        photos.push_back(harness.file(name));
    }
    harness.request(photos);
    harness.answerOpen();
    settle();
    show();
    ASSERT_TRUE(testing::eventually([&] { return sheet->isActiveWindow(); }));
    auto* scope = child<QComboBox>("exportScope");
    ASSERT_EQ(scope->currentText(), QString("Selected (1)"));
    EXPECT_EQ(QApplication::focusWidget(), exportButton());
    const auto press = [&](Qt::Key key) {
        QWidget* focused = QApplication::focusWidget();
        QTest::keyClick(focused ? focused : sheet.data(), key);
        settle();
    };
    for (int notch = 0; notch < 2; ++notch) {
        const QPoint at = scope->rect().center();
        QWheelEvent wheel(at, scope->mapToGlobal(at), {}, {0, -120}, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(scope, &wheel);
        settle();
    }
    EXPECT_EQ(scope->currentText(), QString("Selected (1)")) << "after the wheel";
    press(Qt::Key_Down);
    press(Qt::Key_Down);
    EXPECT_EQ(scope->currentText(), QString("Selected (1)")) << "after the arrow keys";
    EXPECT_EQ(exportButton()->text(), QString("Export 1 Photo"));

    exportButton()->setFocus();
    press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), scope);
    press(Qt::Key_Down);
    EXPECT_EQ(scope->currentText(), QString("All (6)"));
    EXPECT_EQ(exportButton()->text(), QString("Export 6 Photos"));
}

// The red line is for an edge that cannot be used; the offered 3000 and other whole numbers
// above zero, however typed, raise none.
TEST_F(ExportSheetTest, TheEdgeMessageIsOnlyForAnUnusableEdge) {
    openSession({a});
    show();
    choose("exportResolution", qint64(-1));
    auto* edge = child<QLineEdit>("exportCustomEdge");
    for (const char* valid : {"3000", " 2500\n", "+1", "0004000"}) {
        edge->setText(valid);
        settle();
        EXPECT_FALSE(shows("exportCustomEdgeMessage")) << valid;
        EXPECT_TRUE(exportButton()->isEnabled()) << valid;
    }
}

// Once the result is in, the choices stay as they were exported: nothing in the form reopens.
TEST_F(ExportSheetTest, TheFinishedSheetKeepsItsFormClosed) {
    openSession({a});
    show();
    exportButton()->click();
    harness.answerAll();
    settle();
    EXPECT_EQ(text("exportResult"), "1 exported · 0 failed");
    for (const char* name : {"exportScope", "exportFormat", "exportResolution", "exportQuality",
                             "exportIncludeSoftware", "exportChooseFolder"}) {
        EXPECT_FALSE(child(name)->isEnabled()) << name;
    }
}

}  // namespace
}  // namespace quillmere
