#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "shell_fixture.h"

namespace quillmere {
namespace {

TEST_F(ShellTest, ClipboardItemsServeAFocusedTextFieldBeforeThePhoto) {
    showTwoPhotos({.exposure = 1});
    auto* spinBox = new QSpinBox(&window);
    auto* lineEdit = new QLineEdit(&window);
    for (QWidget* field : std::initializer_list<QWidget*>{lineEdit, spinBox}) {
        auto* text = field == spinBox ? spinBox->findChild<QLineEdit*>() : lineEdit;
        text->setText("42");
        field->show();
        field->setFocus();
        menuItem("Select All")->trigger();
        EXPECT_EQ(text->selectedText(), "42");
        for (const char* command : {"Copy", "Cut"}) menuItem(command)->trigger();
        EXPECT_EQ(text->text(), "");
        menuItem("Paste")->trigger();
        EXPECT_EQ(text->text(), "42");
    }
    EXPECT_FALSE(harness.clipboard->params.has_value());
    EXPECT_EQ(state.selectedPhotoIDs().size(), 1u);
}

TEST_F(ShellTest, ElsewhereClipboardKeysActOnEditsUnlessBusyAndCutDoesNothing) {
    showTwoPhotos({.exposure = 1});
    keyClick(&window, Qt::Key_X, Qt::ControlModifier);
    EXPECT_FALSE(harness.clipboard->params.has_value());
    keyClick(&window, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(harness.clipboard->params.value_or(EditParams{}).exposure, 1);

    state.setEditParams({});
    startExport();
    for (Qt::Key key : {Qt::Key_V, Qt::Key_A}) keyClick(&window, key, Qt::ControlModifier);
    EXPECT_EQ(state.editParams().exposure, 0);
    EXPECT_EQ(state.selectedPhotoIDs().size(), 1u);
    harness.answerAll();
    for (Qt::Key key : {Qt::Key_V, Qt::Key_A}) keyClick(&window, key, Qt::ControlModifier);
    EXPECT_EQ(state.editParams().exposure, 1);
    EXPECT_EQ(state.selectedPhotoIDs().size(), 2u);
    EXPECT_FALSE(state.lastError());
}

// File > "Open Photos…" is the toolbar's "Open…" with its shortcut: Ctrl+O shows the open prompt,
// and the item is enabled exactly while the button is.
TEST_F(ShellTest, OpenPhotosInTheFileMenuIsTheToolbarsOpenButton) {
    QAction* open = menuItem("Open Photos…");
    EXPECT_EQ(window.menuBar()->actions().front()->menu()->actions().front(), open);
    keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    EXPECT_FALSE(harness.prompts->extensions.empty());

    harness.prompts->extensions.clear();
    harness.request({harness.file("a.dng")});
    settle();
    EXPECT_FALSE(open->isEnabled() || tool("Open…")->isEnabled());
    keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(harness.prompts->extensions.empty());
    harness.answerOpen();
    settle();
    EXPECT_TRUE(open->isEnabled() && tool("Open…")->isEnabled());
}

TEST_F(ShellTest, UndoAndSaveAllEditsNeedSomethingToDoAndAnIdleProgram) {
    QAction* undo = menuItem("Undo Spot Repair");
    QAction* saveAll = menuItem("Save All Edits");
    EXPECT_FALSE(saveAll->isEnabled());
    showTwoPhotos();
    EXPECT_TRUE(saveAll->isEnabled() && !undo->isEnabled());
    state.toggleSpotRepair();
    state.beginSpotRepairStroke({0.5, 0.5});
    state.endSpotRepairStroke();
    settle();
    ASSERT_TRUE(undo->isEnabled());
    keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(state.editParams().spotRepairs.empty());
    keyClick(&window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(state.editParams().spotRepairs.size(), 1u);

    // Saving opens "b.dng", which cannot be read, then "a.dng" again.
    keyClick(&window, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(saveAll->isEnabled() || undo->isEnabled());
    harness.engine->failOpen(0, std::make_exception_ptr(Error("The file is damaged.")));
    harness.answerAll();
    settle();
    EXPECT_EQ(state.lastError(), "b.dng: The file is damaged.");
    ASSERT_TRUE(undo->isEnabled());
    harness.request({harness.file("b.dng")});
    settle();
    EXPECT_FALSE(undo->isEnabled());
}

TEST_F(ShellTest, MenuAndToolbarTogglesShowOnePreference) {
    keyClick(&window, Qt::Key_I, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(preferences.value("inspector.visible").toBool() || tool("Adjustments")->isChecked());

    QTest::mouseClick(button("Adjustments"), Qt::LeftButton);
    EXPECT_TRUE(menuItem("Show Adjustments")->isChecked());
    menuItem("Show Library")->trigger();
    EXPECT_FALSE(tool("Library")->isChecked());
}

}  // namespace
}  // namespace quillmere
