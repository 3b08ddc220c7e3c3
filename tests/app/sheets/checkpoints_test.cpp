#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QToolButton>

#include "app/sheets/checkpoint_row.h"
#include "app/sheets/checkpoints_section.h"
#include "tests/app/support/state_harness.h"
#include "tests/app/support/view_testing.h"

namespace quillmere {
namespace {

using testing::settle;

// The in-memory store, failing with `failure` while one is set.
class FlakyCheckpointStore : public CheckpointStore {
  public:
    std::vector<EditCheckpoint> checkpoints(const std::filesystem::path& url) override {
        return inner.checkpoints(url);
    }
    void save(const EditCheckpoint& checkpoint, const std::filesystem::path& url) override {
        if (failure) throw *failure;
        inner.save(checkpoint, url);
    }
    void deleteCheckpoint(const EditCheckpoint& checkpoint,
                          const std::filesystem::path& url) override {
        if (failure) throw *failure;
        inner.deleteCheckpoint(checkpoint, url);
    }

    InMemoryCheckpointStore inner;
    std::optional<CheckpointStoreError> failure;
};

class CheckpointsTest : public ::testing::Test {
  protected:
    CheckpointsTest() { section.show(); }
    // A checkpoint of the photo, in the store, with an exposure of its own.
    EditCheckpoint stored(const std::string& name, double seconds) {
        EditParams params;
        params.exposure = static_cast<double>(++made);
        const EditCheckpoint checkpoint{UUID::random(), name,
                                        Date(std::chrono::duration<double>(seconds)), params};
        store->inner.save(checkpoint, photo);
        return checkpoint;
    }
    // After the section has seen the state, top to bottom.
    QList<CheckpointRow*> rows() {
        settle();
        return section.findChildren<CheckpointRow*>();
    }
    void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(5, 5)); }
    QMessageBox* confirmation() {
        for (auto* box : section.findChildren<QMessageBox*>()) {
            if (box->isVisible()) return box;
        }
        return nullptr;
    }
    void confirm() {
        testing::childWith<QAbstractButton>(*confirmation(), "Delete Checkpoint", "text")->click();
    }

    std::shared_ptr<FlakyCheckpointStore> store = std::make_shared<FlakyCheckpointStore>();
    testing::StateHarness harness{{.checkpoints = store}};
    AppState& state = *harness.state;
    std::filesystem::path photo = harness.file("a.jpg");
    int made = 0;
    CheckpointsSection section{state};
};

TEST_F(CheckpointsTest, ListsNewestFirstAndRestoresOnAClickUnlessOpening) {
    EXPECT_FALSE(section.findChild<QToolButton*>("saveCheckpoint")->isEnabled());
    EXPECT_TRUE(section.findChild<QLabel*>("noCheckpoints")->isVisibleTo(&section));
    // Listed by time, c before b.
    const auto c = stored("Same", 1733513300), a = stored("First", 1733513220),
               b = stored("Same", 1733513300);
    harness.open(photo);
    ASSERT_EQ(rows().size(), 3);
    EXPECT_TRUE(section.findChild<QToolButton*>("saveCheckpoint")->isEnabled());
    EXPECT_EQ(
        (std::vector{rows()[0]->checkpoint(), rows()[1]->checkpoint(), rows()[2]->checkpoint()}),
        (std::vector{b, c, a}));
    // 2024-12-06T19:27:00Z: ICU's medium date and short time in en_US and UTC.
    EXPECT_EQ(rows()[2]->findChild<QLabel*>("checkpointDate")->text(),
              QString::fromUtf8("Dec 6, 2024, 7:27\u202FPM"));

    click(rows()[1]);
    EXPECT_EQ(state.editParams().exposure, c.params.exposure);
    EXPECT_TRUE(rows()[1]->isActive() && !rows()[0]->isActive()) << "only the id marks";
    state.updateEditParams([](EditParams& params) { params.exposure = 0; });
    click(rows()[1]);
    EXPECT_EQ(state.editParams().exposure, c.params.exposure);
    state.updateEditParams([](EditParams& params) { params.exposure = 0; });
    state.clearAppliedCheckpoint();
    EXPECT_FALSE(rows()[1]->isActive());

    harness.request({harness.file("b.jpg")});
    ASSERT_TRUE(state.isOpening());
    click(rows()[2]);
    EXPECT_EQ(state.activeCheckpointID(), std::nullopt);
}

TEST_F(CheckpointsTest, DeletesOnlyAfterConfirmationAndReportsFailures) {
    const auto a = stored("<b>A</b>", 100), b = stored("B", 200);
    harness.open(photo);
    state.restoreCheckpoint(a);
    emit rows()[1]->customContextMenuRequested(QPoint(5, 5));
    QMenu* menu = section.findChild<QMenu*>("checkpointMenu");
    menu->actions()[0]->trigger();
    menu->close();
    EXPECT_EQ(confirmation()->text(), QString::fromUtf8("Delete \u201C<b>A</b>\u201D?"));
    EXPECT_EQ(confirmation()->textFormat(), Qt::PlainText);
    // Neither Return (Cancel is the default button) nor Escape deletes.
    QTest::keyClick(confirmation(), Qt::Key_Return);
    EXPECT_EQ(section.pendingDelete(), std::nullopt);
    section.confirmDeletion(a);
    QTest::keyClick(confirmation(), Qt::Key_Escape);
    EXPECT_EQ(state.checkpoints().size(), 2u);

    section.confirmDeletion(a);
    confirm();
    EXPECT_EQ(state.checkpoints(), std::vector{b});
    ASSERT_EQ(rows().size(), 1);

    store->failure = CheckpointStoreError::ioFailure("disk full");
    section.confirmDeletion(b);
    confirm();
    EXPECT_EQ(state.lastError(), "Could not delete checkpoint: disk full");
}

TEST_F(CheckpointsTest, SheetSavesTrimmedNamesOrTheSuggestionAndKeepsItsError) {
    harness.open(photo);
    settle();
    const auto save = [&](const QString& typed) {
        click(section.findChild<QToolButton*>("saveCheckpoint"));
        auto* field = section.saveSheet()->findChild<QLineEdit*>("checkpointName");
        field->setText(typed);
        QTest::keyClick(field, Qt::Key_Return);
        settle();
        return field;
    };
    for (const char* typed : {"", " \n\t ", "  Trip  ", "Trip"}) save(typed);
    EXPECT_EQ(section.saveSheet(), nullptr);
    std::vector<std::string> names;
    for (const EditCheckpoint& each : state.checkpoints()) names.push_back(each.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Checkpoint 1", "Checkpoint 2", "Trip", "Trip"}));

    store->failure = CheckpointStoreError::invalidName();
    QLineEdit* field = save("x");
    store->inner.deleteCheckpoint(state.checkpoints()[2], photo);
    state.reloadCheckpoints();
    settle();
    EXPECT_EQ(field->accessibleName(), "Checkpoint 4");
    auto* error = section.saveSheet()->findChild<QLabel*>("checkpointError");
    EXPECT_EQ(error->text(), "Enter a name for the checkpoint.");
    store->failure = CheckpointStoreError::ioFailure("disk full");
    QTest::keyClick(field, Qt::Key_Return);
    QTest::keyClicks(field, "y");
    EXPECT_TRUE(error->isVisibleTo(section.saveSheet()));
    EXPECT_EQ(error->text(), "Could not save the checkpoint: disk full");
    QTest::keyClick(field, Qt::Key_Escape);
    settle();
    EXPECT_EQ(section.saveSheet(), nullptr);
    EXPECT_EQ(state.checkpoints().size(), 3u);
}

// The sheet opens in its name field: a name typed at once, spaces and all, is the checkpoint's,
// Return saves it, and Escape cancels whatever was typed.
TEST_F(CheckpointsTest, TheSaveSheetOpensInItsNameField) {
    harness.open(photo);
    settle();
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        click(section.findChild<QToolButton*>("saveCheckpoint"));
        QWidget* sheet = section.saveSheet();
        ASSERT_TRUE(testing::eventually([&] { return sheet->isActiveWindow(); }));
        QWidget* focused = QApplication::focusWidget();
        ASSERT_NE(focused, nullptr);
        EXPECT_EQ(focused->objectName(), "checkpointName");
        QTest::keyClicks(focused, "Before crop");
        QTest::keyClick(focused, key);
        settle();
        EXPECT_EQ(section.saveSheet(), nullptr);
    }
    ASSERT_EQ(state.checkpoints().size(), 1u);
    EXPECT_EQ(state.checkpoints()[0].name, "Before crop");
}

// A real failure names the sidecar, a long word: the sheet grows until the whole text shows, the
// explanation above it too, and shrinks again for a shorter one.
TEST_F(CheckpointsTest, TheSheetGrowsToShowAFailureWholeAndShrinksForAShorterOne) {
    harness.open(photo);
    settle();
    click(section.findChild<QToolButton*>("saveCheckpoint"));
    QWidget* sheet = section.saveSheet();
    const auto failWith = [&](const std::string& reason) {
        store->failure = CheckpointStoreError::ioFailure(reason);
        QTest::keyClick(sheet->findChild<QLineEdit*>("checkpointName"), Qt::Key_Return);
        for (QLabel* text : sheet->findChildren<QLabel*>()) {
            EXPECT_GE(text->height(), text->heightForWidth(text->width())) << text->text().size();
            EXPECT_LE(text->minimumSizeHint().width(), text->width()) << text->text().size();
        }
        return sheet->height();
    };
    const int before = sheet->height();
    const int grown = failWith("could not write " + std::string(150, 'n') + ".dng.quillmere.json");
    auto* error = sheet->findChild<QLabel*>("checkpointError");
    const int wordLines =
        error->fontMetrics().horizontalAdvance(QString(150, 'n')) / error->width();
    EXPECT_GE(error->height(), (1 + wordLines) * error->fontMetrics().lineSpacing());
    const int shrunk = failWith("disk full");
    EXPECT_TRUE(before < shrunk && shrunk < grown) << before << " " << shrunk << " " << grown;
}

// A right click offers the row's menu and restores nothing.
TEST_F(CheckpointsTest, ARightClickOffersDeletionAndRestoresNothing) {
    stored("First", 100);
    harness.open(photo);
    const EditParams opened = state.editParams();
    testing::rightClick(rows()[0], QPoint(5, 5));
    settle();
    EXPECT_EQ(state.editParams(), opened);
    EXPECT_EQ(state.activeCheckpointID(), std::nullopt);
    QMenu* menu = section.findChild<QMenu*>("checkpointMenu");
    ASSERT_TRUE(menu && menu->isVisible());
    EXPECT_EQ(menu->actions().at(0)->text(), QString::fromUtf8("Delete Checkpoint\u2026"));
    menu->close();
}

}  // namespace
}  // namespace quillmere
