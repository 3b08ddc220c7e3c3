#include <QMessageBox>
#include <QPushButton>

#include "app/shell/error_alert.h"
#include "shell_fixture.h"

namespace quillmere {
namespace {

// Quitting as the user does: the menu's Quit (Ctrl+Q on the desktop; the offscreen platform binds
// no key to it), or closing the main window, whose close ends the program.
class QuitTest : public ShellTest {
  protected:
    // The menu's Quit; the prompts it left shown.
    QList<QMessageBox*> quit() {
        menuItem("Quit")->trigger();
        settle();
        QList<QMessageBox*> shown;
        for (QMessageBox* box : window.findChildren<QMessageBox*>("quitPrompt")) {
            if (box->isVisible()) shown << box;
        }
        return shown;
    }
    // Quits and clicks the prompt's button titled `text`; false without a prompt.
    bool quitAnswering(const QString& text) {
        const QList<QMessageBox*> prompts = quit();
        if (prompts.size() != 1) return false;
        for (QAbstractButton* button : prompts[0]->buttons()) {
            if (button->text() == text) QTest::mouseClick(button, Qt::LeftButton);
        }
        settle();
        return true;
    }
};

TEST_F(QuitTest, WithNothingUnsavedQuitAsksNothing) {
    harness.request({harness.file("a.dng")});
    harness.answerOpen();
    EXPECT_TRUE(quit().empty());
    EXPECT_FALSE(window.isVisible());
}

TEST_F(QuitTest, CancelKeepsTheProgramAndItsEditDontSaveQuitsWithoutWriting) {
    showTwoPhotos(testing::exposed(1));
    const QList<QMessageBox*> prompts = quit();
    ASSERT_EQ(prompts.size(), 1);
    QMessageBox& box = *prompts[0];
    EXPECT_TRUE(box.windowTitle() == "Quillmere" && box.windowModality() == Qt::WindowModal &&
                box.text() == "Save your edits before quitting?");
    // Escape is "Cancel"; the other two buttons are clicked by their titles below.
    EXPECT_EQ(box.buttons().size(), 3);
    EXPECT_EQ(box.defaultButton()->text(), "Save All Edits");
    // Closing the window or quitting again while it asks brings up no second prompt.
    EXPECT_FALSE(window.close());
    EXPECT_EQ(quit().size(), 1);
    QTest::keyClick(&box, Qt::Key_Escape);
    settle();
    EXPECT_TRUE(window.isVisible() && state.editParams().exposure == 1);

    ASSERT_TRUE(quitAnswering("Don't Save"));
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(std::filesystem::exists(state.photoEditStore().directory()));
}

TEST_F(QuitTest, SaveAllEditsQuitsOnlyOnceEveryFileIsWritten) {
    showTwoPhotos();
    state.selectAllPhotos();
    state.updateEditParams([](EditParams& edit) { edit.exposure = 1; });
    // The save opens "b.dng" to build its edit, which fails: the alert shows why and the program
    // stays, with b's edit still unsaved.
    ASSERT_TRUE(quitAnswering("Save All Edits"));
    harness.engine->failOpen(0, std::make_exception_ptr(Error("The file is damaged.")));
    harness.answerAll();
    settle();
    EXPECT_TRUE(window.isVisible());
    ASSERT_TRUE(window.errorAlert().box());
    EXPECT_EQ(window.errorAlert().box()->text(), "b.dng: The file is damaged.");

    ASSERT_TRUE(quitAnswering("Save All Edits"));
    // Closing again while the save waits for the engine neither asks nor quits.
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(quit().empty() && window.isVisible());
    harness.answerAll();
    settle();
    EXPECT_FALSE(window.isVisible());
    for (const char* photo : {"a.dng", "b.dng"}) {
        const auto saved = state.photoEditStore().savedState(harness.file(photo));
        EXPECT_EQ(saved.value_or(PhotoSessionState{}).params.exposure, 1) << photo;
    }
}

}  // namespace
}  // namespace quillmere
