#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "app/sheets/checkpoint_date_text.h"
#include "app/sheets/checkpoint_row.h"
#include "app/sheets/checkpoints_section.h"
#include "app/sheets/save_checkpoint_sheet.h"
#include "tests/app/panels/panel_testing.h"
#include "tests/app/support/state_harness.h"

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

EditCheckpoint checkpoint(const std::string& name, double seconds, double exposure) {
    EditParams params;
    params.exposure = exposure;
    return {UUID::random(), name, Date(std::chrono::duration<double>(seconds)), params};
}

TEST(CheckpointDateText, IsTheMediumDateAndShortTimeOfTheLocaleAndZone) {
    // 2024-12-06T19:27:00Z, in en_US and UTC; ICU puts a narrow no-break space before "PM".
    EXPECT_EQ(checkpointDateText(Date(std::chrono::duration<double>(1733513220))),
              QString::fromUtf8("Dec 6, 2024, 7:27\u202FPM"));
}

class CheckpointsTest : public ::testing::Test {
  protected:
    CheckpointsTest() {
        section.show();
        settle();
    }
    void openWith(const std::vector<EditCheckpoint>& stored) {
        for (const EditCheckpoint& each : stored) store->inner.save(each, photo);
        harness.open(photo);
        settle();
    }
    QList<CheckpointRow*> rows() { return section.findChildren<CheckpointRow*>(); }
    std::vector<std::string> storedNames() {
        std::vector<std::string> names;
        for (const EditCheckpoint& each : state.checkpoints()) names.push_back(each.name);
        return names;
    }
    void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(5, 5)); }
    QMessageBox* confirmation() {
        for (auto* box : section.findChildren<QMessageBox*>()) {
            if (box->isVisible()) return box;
        }
        return nullptr;
    }
    QPushButton* button(QWidget* parent, const QString& text) {
        for (auto* each : parent->findChildren<QPushButton*>()) {
            if (each->text() == text) return each;
        }
        return nullptr;
    }

    std::shared_ptr<FlakyCheckpointStore> store = std::make_shared<FlakyCheckpointStore>();
    testing::StateHarness harness{{.checkpoints = store}};
    AppState& state = *harness.state;
    std::filesystem::path photo = harness.file("a.jpg");
    CheckpointsSection section{state};
};

TEST_F(CheckpointsTest, ListsNewestFirstAndRestoresOnAClickUnlessOpening) {
    EXPECT_FALSE(section.findChild<QToolButton*>("saveCheckpoint")->isEnabled());
    EXPECT_TRUE(section.findChild<QLabel*>("noCheckpoints")->isVisibleTo(&section));
    const auto a = checkpoint("First", 100, 1), b = checkpoint("Same", 200, 2),
               c = checkpoint("Same", 200, 3);
    openWith({c, a, b});  // stored by time, c before b
    EXPECT_TRUE(section.findChild<QToolButton*>("saveCheckpoint")->isEnabled());
    ASSERT_EQ(rows().size(), 3);
    EXPECT_EQ(rows()[0]->checkpoint(), b);
    EXPECT_EQ(rows()[1]->checkpoint(), c);
    EXPECT_EQ(rows()[2]->checkpoint(), a);

    click(rows()[1]);
    settle();
    EXPECT_EQ(state.editParams().exposure, 3);
    EXPECT_EQ((std::vector{rows()[0]->isActive(), rows()[1]->isActive()}),
              (std::vector{false, true}));
    state.updateEditParams([](EditParams& params) { params.exposure = 0; });
    click(rows()[1]);
    EXPECT_EQ(state.editParams().exposure, 3);
    state.updateEditParams([](EditParams& params) { params.exposure = 0; });
    state.clearAppliedCheckpoint();
    settle();
    EXPECT_FALSE(rows()[1]->isActive());

    harness.request({harness.file("b.jpg")});
    ASSERT_TRUE(state.isOpening());
    click(rows()[2]);
    EXPECT_EQ(state.editParams().exposure, 0);
    EXPECT_EQ(state.activeCheckpointID(), std::nullopt);
}

TEST_F(CheckpointsTest, DeletesOnlyAfterConfirmationAndReportsFailures) {
    const auto a = checkpoint("<b>A</b>", 100, 1), b = checkpoint("B", 200, 2);
    openWith({a, b});
    state.restoreCheckpoint(a);
    emit rows()[1]->customContextMenuRequested(QPoint(5, 5));
    QMenu* menu = section.findChild<QMenu*>("checkpointMenu");
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), QString::fromUtf8("Delete Checkpoint\u2026"));
    menu->actions()[0]->trigger();
    menu->close();
    EXPECT_EQ(confirmation()->text(), QString::fromUtf8("Delete \u201C<b>A</b>\u201D?"));
    EXPECT_EQ(confirmation()->textFormat(), Qt::PlainText);
    QTest::keyClick(confirmation(), Qt::Key_Escape);
    EXPECT_EQ(section.pendingDelete(), std::nullopt);
    EXPECT_EQ(state.checkpoints().size(), 2u);

    section.confirmDeletion(a);
    click(button(confirmation(), "Delete Checkpoint"));
    settle();
    EXPECT_EQ(state.checkpoints(), std::vector{b});
    ASSERT_EQ(rows().size(), 1);
    EXPECT_FALSE(rows()[0]->isActive());

    store->failure = CheckpointStoreError::ioFailure("disk full");
    section.confirmDeletion(b);
    click(button(confirmation(), "Delete Checkpoint"));
    EXPECT_EQ(state.lastError(), "Could not delete checkpoint: disk full");
    EXPECT_EQ(section.pendingDelete(), std::nullopt);
    EXPECT_EQ(state.checkpoints(), std::vector{b});
}

TEST_F(CheckpointsTest, SheetSavesTrimmedNamesOrTheSuggestionAndKeepsItsError) {
    openWith({});
    const auto openSheet = [&] {
        click(section.findChild<QToolButton*>("saveCheckpoint"));
        return section.saveSheet()->findChild<QLineEdit*>("checkpointName");
    };
    QTest::keyClick(openSheet(), Qt::Key_Return);
    settle();
    EXPECT_EQ(section.saveSheet(), nullptr);
    for (const char* typed : {" \n\t ", "  Trip  ", "Trip", "Trip"}) {
        openSheet()->setText(typed);
        click(button(section.saveSheet(), "Save"));
        settle();
    }
    EXPECT_EQ(storedNames(),
              (std::vector<std::string>{"Checkpoint 1", "Checkpoint 2", "Trip", "Trip", "Trip"}));

    QLineEdit* field = openSheet();
    EXPECT_EQ(field->placeholderText(), "Checkpoint 6");
    state.deleteCheckpoint(state.checkpoints()[2]);
    settle();
    EXPECT_EQ(field->placeholderText(), "Checkpoint 5");
    EXPECT_EQ(field->accessibleName(), "Checkpoint 5");

    auto* error = section.saveSheet()->findChild<QLabel*>("checkpointError");
    for (const auto& [failure, text] :
         {std::pair{CheckpointStoreError::invalidName(), "Enter a name for the checkpoint."},
          std::pair{CheckpointStoreError::ioFailure("disk full"),
                    "Could not save the checkpoint: disk full"}}) {
        store->failure = failure;
        click(button(section.saveSheet(), "Save"));
        QTest::keyClicks(field, "x");
        EXPECT_TRUE(error->isVisibleTo(section.saveSheet()));
        EXPECT_EQ(error->text(), text);
    }
    QTest::keyClick(field, Qt::Key_Escape);
    settle();
    EXPECT_EQ(section.saveSheet(), nullptr);
    EXPECT_EQ(state.checkpoints().size(), 4u);
}

}  // namespace
}  // namespace quillmere
