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
    auto* spinBox = new QSpinBox(&window);
    for (QWidget* field :
         {static_cast<QWidget*>(new QLineEdit(&window)), static_cast<QWidget*>(spinBox)}) {
        auto* text =
            field == spinBox ? spinBox->findChild<QLineEdit*>() : qobject_cast<QLineEdit*>(field);
        text->setText("42");
        field->show();
        field->setFocus();
        menuItem("Select All")->trigger();
        EXPECT_EQ(text->selectedText(), "42");
        menuItem("Copy")->trigger();
        menuItem("Cut")->trigger();
        EXPECT_EQ(text->text(), "");
        menuItem("Paste")->trigger();
        EXPECT_EQ(text->text(), "42");
    }
    EXPECT_FALSE(harness.clipboard->params.has_value());
    EXPECT_EQ(state.selectedPhotoIDs().size(), 1u);
}

TEST_F(ShellTest, ElsewhereClipboardKeysActOnEditsUnlessBusyAndCutDoesNothing) {
    showTwoPhotos(exposed(1));
    QGuiApplication::clipboard()->setText("text");
    keyClick(&window, Qt::Key_C, Qt::ControlModifier);
    ASSERT_TRUE(harness.clipboard->params.has_value());
    EXPECT_EQ(harness.clipboard->params->exposure, 1);

    state.setEditParams(exposed(0));
    keyClick(&window, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "text");
    startExport();
    keyClick(&window, Qt::Key_V, Qt::ControlModifier);
    keyClick(&window, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(state.editParams().exposure, 0);
    EXPECT_EQ(state.selectedPhotoIDs().size(), 1u);

    harness.answerAll();
    keyClick(&window, Qt::Key_V, Qt::ControlModifier);
    keyClick(&window, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(state.editParams().exposure, 1);
    EXPECT_EQ(state.selectedPhotoIDs().size(), 2u);
    EXPECT_FALSE(state.lastError());
}

TEST_F(ShellTest, SpotRepairUndoNeedsAStepAndAnIdleProgram) {
    showTwoPhotos();
    QAction* undo = menuItem("Undo Spot Repair");
    EXPECT_FALSE(undo->isEnabled());
    state.toggleSpotRepair();
    state.beginSpotRepairStroke({0.5, 0.5});
    state.endSpotRepairStroke();
    settle();
    ASSERT_TRUE(undo->isEnabled());

    keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(state.editParams().spotRepairs.empty());
    keyClick(&window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(state.editParams().spotRepairs.size(), 1u);

    harness.request({harness.file("b.dng")});
    settle();
    EXPECT_FALSE(undo->isEnabled());
}

TEST_F(ShellTest, SaveAllEditsNeedsPhotosAndShowsWhyItFailed) {
    QAction* saveAll = menuItem("Save All Edits");
    EXPECT_FALSE(saveAll->isEnabled());
    showTwoPhotos();
    ASSERT_TRUE(saveAll->isEnabled());

    keyClick(&window, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(saveAll->isEnabled());
    // "b.dng" cannot be read; "a.dng" is opened again at the end.
    harness.engine->failOpen(0, std::make_exception_ptr(Error("The file is damaged.")));
    harness.answerAll();
    settle();
    EXPECT_EQ(state.lastError(), "b.dng: The file is damaged.");
}

TEST_F(ShellTest, MenuAndToolbarTogglesShowOnePreference) {
    keyClick(&window, Qt::Key_I, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_FALSE(WindowPreferences::isVisible(preferences, WindowPreferences::kInspectorVisible));
    EXPECT_FALSE(button("Adjustments")->isChecked());

    QTest::mouseClick(button("Adjustments"), Qt::LeftButton);
    EXPECT_TRUE(menuItem("Show Adjustments")->isChecked());
    menuItem("Show Library")->trigger();
    EXPECT_FALSE(tool("Library")->isChecked());
}

}  // namespace
}  // namespace quillmere
