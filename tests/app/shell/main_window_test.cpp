#include <QDropEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>

#include "app/shell/drop_overlay.h"
#include "app/shell/error_alert.h"
#include "app/shell/window_preferences.h"
#include "shell_fixture.h"

namespace quillmere {
namespace {

using Field = AppState::Field;

class MainWindowTest : public ShellTest {
  protected:
    // Whether "Open…" and the photo tools can be used; the pane toggles always can.
    void expectEnabled(bool open, bool photoTools) {
        EXPECT_EQ(tool("Open…")->isEnabled(), open);
        for (const char* name :
             {"Fit", "100%", "Spot repair", "Show original", "Compare recovery", "Export…"}) {
            EXPECT_EQ(tool(name)->isEnabled(), photoTools) << name;
        }
        EXPECT_TRUE(tool("Library")->isEnabled() && tool("Adjustments")->isEnabled());
    }
    bool inspectorVisible() {
        return WindowPreferences::isVisible(preferences, WindowPreferences::kInspectorVisible);
    }
    void showInspector(bool visible) {
        WindowPreferences::setVisible(preferences, WindowPreferences::kInspectorVisible, visible);
    }
    // Drags `files` over the window and drops them; whether the drop was taken.
    bool drop(const std::vector<std::string>& files) {
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& file : files) {
            urls.append(QUrl::fromLocalFile(QString::fromStdString(harness.file(file).string())));
        }
        data.setUrls(urls);
        const QPoint center = window.rect().center();
        QDragEnterEvent enter(center, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        EXPECT_TRUE(window.dropOverlay().isTargeted());
        QDropEvent dropped(center, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &dropped);
        settle();
        return dropped.isAccepted();
    }
};

TEST_F(MainWindowTest, TitleAndToolsFollowThePhotoAndTheBusyFlags) {
    EXPECT_EQ(window.windowTitle(), "Quillmere");
    expectEnabled(true, false);
    harness.open(harness.file("a[*].dng"));
    settle();
    // As the desktop shows it: Qt reads "[*]" as the place of the modified mark.
    EXPECT_EQ(window.windowHandle()->title(), "a[*].dng");
    expectEnabled(true, true);

    harness.request({harness.file("b.dng")});
    settle();
    expectEnabled(false, false);
    harness.answerOpen();
    startExport();
    expectEnabled(false, false);
}

TEST_F(MainWindowTest, ADropHandsEveryURLToTheOpenRequest) {
    EXPECT_TRUE(drop({"a.dng", "notes.txt", "c.JPG"}));
    std::vector<std::filesystem::path> session;
    for (const SessionPhoto& photo : state.sessionPhotos()) session.push_back(photo.url);
    EXPECT_EQ(session, (std::vector{harness.file("a.dng"), harness.file("c.JPG")}));
    EXPECT_FALSE(window.dropOverlay().isTargeted());
    QTest::qWait(250);
    EXPECT_FALSE(window.dropOverlay().isVisible());

    harness.answerOpen();
    EXPECT_FALSE(drop({"notes.txt"}));
    EXPECT_TRUE(state.lastError());
}

TEST_F(MainWindowTest, ComparisonTogglesAndTheirShortcutsLeaveTypingToTextFields) {
    harness.open(harness.file("a.dng"));
    state.setShowDenoiseOriginal(true);
    state.setShowRecoveryOriginal(true);
    settle();
    harness.log->clear();
    QTest::mouseClick(button("Show original"), Qt::LeftButton);
    EXPECT_EQ(harness.log->fields, (std::vector{Field::showDenoiseOriginal,
                                                Field::showRecoveryOriginal, Field::showOriginal}));
    QTest::mouseClick(button("Show original"), Qt::LeftButton);
    EXPECT_FALSE(state.showOriginal() || state.showDenoiseOriginal());

    auto* field = new QLineEdit(&window);
    field->show();
    field->setFocus();
    for (Qt::Key key : {Qt::Key_J, Qt::Key_R, Qt::Key_Backslash}) keyClick(field, key);
    EXPECT_EQ(field->text(), "jr\\");
    QToolButton* recovery = window.findChild<QToolButton*>("compareRecoveryToolbar");
    EXPECT_EQ(recovery->accessibleName(), "After recovery");
    field->clearFocus();
    keyClick(&window, Qt::Key_R);
    EXPECT_TRUE(state.showRecoveryOriginal() && recovery->isChecked());
    EXPECT_EQ(recovery->accessibleName(), "Before recovery");
}

TEST_F(MainWindowTest, ALayerRequestOrTheBrushShowsTheInspectorOnlyWhenItChanges) {
    harness.open(harness.file("a.dng"));
    state.setRequestedEditLayer(EditLayer::exposure);
    settle();
    showInspector(false);
    // A window that first sees a request already made leaves the inspector as it is.
    MainWindow later(state, preferences);
    settle();
    EXPECT_FALSE(inspectorVisible());
    state.setRequestedEditLayer(EditLayer::contrast);
    settle();
    EXPECT_TRUE(inspectorVisible());
    showInspector(false);
    state.setRequestedEditLayer(std::nullopt);
    settle();
    EXPECT_FALSE(inspectorVisible());

    keyClick(&window, Qt::Key_J);
    EXPECT_TRUE(state.isSpotRepairActive() && inspectorVisible());
    showInspector(false);
    keyClick(&window, Qt::Key_J);
    EXPECT_FALSE(state.isSpotRepairActive() || inspectorVisible());
}

TEST_F(MainWindowTest, TheAlertFollowsTheErrorLineAndAnyDismissalClearsIt) {
    state.setLastError("Could not open <b>a.dng</b>.");
    settle();
    QMessageBox* box = window.errorAlert().box();
    ASSERT_TRUE(box && box->isVisible());
    EXPECT_EQ(box->windowTitle(), "Quillmere");
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    state.setLastError("A newer failure.");
    settle();
    EXPECT_EQ(box->text(), "A newer failure.");
    state.setLastError(std::nullopt);
    settle();
    EXPECT_FALSE(window.errorAlert().box());

    for (const bool viaOK : {true, false}) {
        state.setLastError("Once more.");
        settle();
        box = window.errorAlert().box();
        ASSERT_TRUE(box);
        viaOK ? QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton)
              : QTest::keyClick(box, Qt::Key_Escape);
        settle();
        EXPECT_FALSE(state.lastError());
    }
}

}  // namespace
}  // namespace quillmere
