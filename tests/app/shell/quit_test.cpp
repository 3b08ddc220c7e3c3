#include <QMessageBox>
#include <QPushButton>

#include "app/shell/error_alert.h"
#include "shell_fixture.h"

namespace quillmere {
namespace {

// Quitting as the user does: the menu's Quit, or closing the main window, whose close ends the
// program.
class QuitTest : public ShellTest {
  protected:
    // The menu's Quit (Ctrl+Q on the desktop; the offscreen platform binds no key to it); the
    // prompt it brought up, if any.
    QMessageBox* quit() {
        menuItem("Quit")->trigger();
        settle();
        return prompt();
    }
    // The prompts shown.
    QList<QMessageBox*> prompts() const {
        QList<QMessageBox*> shown;
        for (QMessageBox* box : window.findChildren<QMessageBox*>("quitPrompt")) {
            if (box->isVisible()) shown << box;
        }
        return shown;
    }
    QMessageBox* prompt() const { return prompts().value(0); }
    // Clicks the prompt's button titled `text`; false without a prompt.
    bool answer(QMessageBox* box, const QString& text) {
        if (!box) return false;
        for (QAbstractButton* button : box->buttons()) {
            if (button->text() == text) QTest::mouseClick(button, Qt::LeftButton);
        }
        settle();
        return true;
    }
    bool hasEditFile(const std::filesystem::path& photo) const {
        return std::filesystem::exists(state.photoEditStore().location(photo));
    }
};

TEST_F(QuitTest, WithNothingUnsavedQuitAsksNothing) {
    harness.request({harness.file("a.dng")});
    harness.answerOpen();
    settle();
    EXPECT_FALSE(quit());
    EXPECT_FALSE(window.isVisible());
}

TEST_F(QuitTest, CancelKeepsTheProgramAndItsEditAndASecondRequestNoSecondPrompt) {
    showTwoPhotos(testing::exposed(1));
    QMessageBox* box = quit();
    ASSERT_TRUE(box && box->isVisible());
    EXPECT_TRUE(box->windowTitle() == "Quillmere" && box->windowModality() == Qt::WindowModal &&
                box->text() == "Save your edits before quitting?");
    QStringList buttons;
    for (QAbstractButton* button : box->buttons()) buttons << button->text();
    buttons.sort();
    EXPECT_EQ(buttons, QStringList({"Cancel", "Don't Save", "Save All Edits"}));
    EXPECT_EQ(box->defaultButton()->text(), "Save All Edits");

    EXPECT_FALSE(window.close());
    EXPECT_EQ(prompts().size(), 1);
    QTest::keyClick(box, Qt::Key_Escape);
    settle();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(prompt());
    EXPECT_EQ(state.editParams().exposure, 1);
}

TEST_F(QuitTest, DontSaveQuitsWithoutWriting) {
    showTwoPhotos(testing::exposed(1));
    ASSERT_TRUE(answer(quit(), "Don't Save"));
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(std::filesystem::exists(state.photoEditStore().directory()));
}

TEST_F(QuitTest, SaveAllEditsWritesEveryFileThenQuits) {
    showTwoPhotos(testing::exposed(1));
    EXPECT_FALSE(window.close());
    ASSERT_TRUE(answer(prompt(), "Save All Edits"));
    // The save opens "b.dng" to build its edit, then "a.dng" again: the window waits for it.
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(window.isVisible() && !prompt());
    harness.answerAll();
    settle();
    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(hasEditFile(harness.file("a.dng")) && hasEditFile(harness.file("b.dng")));
    EXPECT_EQ(state.photoEditStore().savedState(harness.file("a.dng")).value().params.exposure, 1);
}

TEST_F(QuitTest, AFailedSaveShowsItsTextAndTheProgramStays) {
    showTwoPhotos(testing::exposed(1));
    ASSERT_TRUE(answer(quit(), "Save All Edits"));
    harness.engine->failOpen(0, std::make_exception_ptr(Error("The file is damaged.")));
    harness.answerAll();
    settle();
    EXPECT_TRUE(window.isVisible());
    ASSERT_TRUE(window.errorAlert().box());
    EXPECT_EQ(window.errorAlert().box()->text(), "b.dng: The file is damaged.");
    EXPECT_FALSE(prompt());
}

}  // namespace
}  // namespace quillmere
