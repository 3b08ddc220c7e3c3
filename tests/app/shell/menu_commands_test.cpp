#include <QAbstractSpinBox>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "app/shell/window_preferences.h"
#include "shell_fixture.h"

namespace quillmere {
namespace {

EditParams exposed(double exposure) {
    EditParams params;
    params.exposure = exposure;
    return params;
}

TEST_F(ShellTest, ClipboardItemsServeAFocusedTextFieldBeforeThePhoto) {
    showTwoPhotos(exposed(1));
    auto* lineEdit = new QLineEdit(&window);
    auto* spinBox = new QSpinBox(&window);
    for (QWidget* field : {static_cast<QWidget*>(lineEdit), static_cast<QWidget*>(spinBox)}) {
        QLineEdit* text = field == lineEdit ? lineEdit : spinBox->findChild<QLineEdit*>();
        text->setText("42");
        field->show();
        field->setFocus();
        settle();
        ASSERT_EQ(QApplication::focusWidget(), field);

        menuItem("Select All")->trigger();
        EXPECT_EQ(text->selectedText(), "42");
        menuItem("Copy")->trigger();
        EXPECT_EQ(QGuiApplication::clipboard()->text(), "42");
        menuItem("Cut")->trigger();
        EXPECT_EQ(text->text(), "");
        menuItem("Paste")->trigger();
        EXPECT_EQ(text->text(), "42");
        QGuiApplication::clipboard()->clear();
    }
    // The photo and its edit saw nothing.
    EXPECT_FALSE(harness.clipboard->params.has_value());
    EXPECT_EQ(state.selectedPhotoIDs().size(), 1u);
}

TEST_F(ShellTest, ClipboardShortcutsElsewhereActOnEditsAndCutDoesNothing) {
    showTwoPhotos(exposed(1));
    auto* other = new QPushButton("other", &window);
    other->setFocus();
    QGuiApplication::clipboard()->setText("text");

    keyClick(other, Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(harness.clipboard->params.has_value());
    EXPECT_EQ(harness.clipboard->params->exposure, 1);

    state.setEditParams(exposed(0));
    keyClick(other, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(state.editParams().exposure, 0);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "text");

    keyClick(other, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(state.editParams().exposure, 1);
    keyClick(other, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(state.selectedPhotoIDs().size(), 2u);
    EXPECT_FALSE(state.lastError());
}

TEST_F(ShellTest, PasteAndSelectAllDoNothingWhileBusy) {
    showTwoPhotos(exposed(0));
    harness.clipboard->params = exposed(2);
    startExport();
    keyClick(&window, Qt::Key_V, Qt::ControlModifier);
    keyClick(&window, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(state.editParams().exposure, 0);
    EXPECT_EQ(state.selectedPhotoIDs().size(), 1u);
    EXPECT_FALSE(state.lastError());
}

TEST_F(ShellTest, SpotRepairUndoAndRedoNeedAStepAndAnIdleProgram) {
    showTwoPhotos();
    QAction* undo = menuItem("Undo Spot Repair");
    QAction* redo = menuItem("Redo Spot Repair");
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_FALSE(redo->isEnabled());

    state.toggleSpotRepair();
    state.beginSpotRepairStroke({0.5, 0.5});
    state.endSpotRepairStroke();
    settle();
    ASSERT_EQ(state.editParams().spotRepairs.size(), 1u);
    EXPECT_TRUE(undo->isEnabled());

    keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(state.editParams().spotRepairs.empty());
    EXPECT_TRUE(redo->isEnabled());
    keyClick(&window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(state.editParams().spotRepairs.size(), 1u);

    harness.request({harness.file("b.dng")});
    settle();
    ASSERT_TRUE(state.isOpening());
    EXPECT_FALSE(undo->isEnabled());
    keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(state.editParams().spotRepairs.size(), 1u);
}

TEST_F(ShellTest, SaveAllEditsNeedsPhotosAndShowsWhyItFailed) {
    QAction* saveAll = menuItem("Save All Edits");
    EXPECT_FALSE(saveAll->isEnabled());
    showTwoPhotos();
    ASSERT_TRUE(saveAll->isEnabled());

    keyClick(&window, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(saveAll->isEnabled());
    // The unopened photo cannot be read; the open one is opened again at the end.
    harness.engine->failOpen(0, std::make_exception_ptr(Error("The file is damaged.")));
    harness.answerAll();
    settle();
    ASSERT_TRUE(state.lastError());
    EXPECT_EQ(*state.lastError(), "b.dng: The file is damaged.");
    EXPECT_TRUE(saveAll->isEnabled());
}

TEST_F(ShellTest, MenuAndToolbarTogglesShowOnePreference) {
    QAction* menuToggle = menuItem("Show Adjustments");
    QAction* toolbarToggle = tool("Adjustments");
    ASSERT_TRUE(menuToggle->isChecked() && toolbarToggle->isChecked());

    keyClick(&window, Qt::Key_I, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(WindowPreferences::isVisible(preferences, WindowPreferences::kInspectorVisible));
    EXPECT_FALSE(toolbarToggle->isChecked());
    EXPECT_FALSE(button("Adjustments")->isChecked());

    QTest::mouseClick(button("Adjustments"), Qt::LeftButton);
    EXPECT_TRUE(WindowPreferences::isVisible(preferences, WindowPreferences::kInspectorVisible));
    EXPECT_TRUE(menuToggle->isChecked());

    menuItem("Show Library")->trigger();
    EXPECT_FALSE(tool("Library")->isChecked());
    menuItem("Show Filmstrip")->trigger();
    EXPECT_FALSE(WindowPreferences::isVisible(preferences, WindowPreferences::kFilmstripVisible));

    menuItem("Dark")->trigger();
    EXPECT_EQ(preferences.value("appearance"), "dark");
    preferences.setValue("appearance", "light");
    EXPECT_TRUE(menuItem("Light")->isChecked());
    EXPECT_FALSE(menuItem("Dark")->isChecked());
}

TEST_F(ShellTest, WindowItemsOpenTheirWindows) {
    menuItem("Settings…")->trigger();
    menuItem("Technology && Licenses…")->trigger();
    EXPECT_EQ(settingsShown, 1);
    EXPECT_EQ(licensesShown, 1);
}

}  // namespace
}  // namespace quillmere
