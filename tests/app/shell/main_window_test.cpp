#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>

#include "app/sheets/export_sheet.h"
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
    void hideInspector() {
        WindowPreferences::setVisible(preferences, WindowPreferences::kInspectorVisible, false);
    }
    // Drags `files` over the window and drops them; whether the drop was taken.
    bool drop(const QStringList& files) {
        QMimeData data;
        for (const QString& file : files) data.setUrls(data.urls() << QUrl::fromLocalFile(file));
        QDragEnterEvent enter({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        EXPECT_TRUE(window.dropOverlay().isTargeted());
        QDropEvent dropped({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &dropped);
        settle();
        return dropped.isAccepted();
    }
};

TEST_F(MainWindowTest, ByDefaultEveryPaneShowsAndTitleAndToolsFollowThePhotoAndTheBusyFlags) {
    EXPECT_EQ(window.windowTitle(), "Quillmere");
    expectEnabled(true, false);
    harness.open(harness.file("a[*].dng"));
    settle();
    for (const char* pane : {"librarySidebar", "sliderPanel", "filmstrip"}) {
        const QWidget* shown = window.findChild<QWidget*>(pane);
        EXPECT_TRUE(shown && shown->isVisible()) << pane;
    }
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
    EXPECT_TRUE(drop({"/photos/a.dng", "/notes.txt", "/photos/c.JPG"}));
    ASSERT_EQ(state.sessionPhotos().size(), 2u);
    EXPECT_EQ(state.sessionPhotos()[1].url, "/photos/c.JPG");
    QTest::qWait(250);
    EXPECT_FALSE(window.dropOverlay().isVisible());

    harness.answerOpen();
    EXPECT_FALSE(drop({"/notes.txt"}));
    EXPECT_TRUE(state.lastError());
}

TEST_F(MainWindowTest, ExportShowsTheRealSheetOverTheWindowUntilItIsClosed) {
    harness.open(harness.file("a.dng"));
    settle();
    tool("Export…")->trigger();
    QPointer<ExportSheet> sheet = window.findChild<ExportSheet*>();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(sheet->isVisible() && sheet->windowModality() == Qt::WindowModal);
    sheet->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(sheet.isNull()) << "deleted when closed";
}

TEST_F(MainWindowTest, ShowOriginalReplacesTheOtherComparisonsAndRecoveryNamesItsSide) {
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
    settle();
    QToolButton* recovery = window.findChild<QToolButton*>("compareRecoveryToolbar");
    EXPECT_EQ(recovery->accessibleName(), "After recovery");
    keyClick(&window, Qt::Key_R);
    EXPECT_TRUE(state.showRecoveryOriginal() && recovery->isChecked());
    EXPECT_EQ(recovery->accessibleName(), "Before recovery");
}

TEST_F(MainWindowTest, EveryToolNamesItsKeyAsTheMenusWriteIt) {
    for (QAction* action : window.toolbar().actions()) {
        if (action->shortcut().isEmpty()) continue;
        const QString key = action->shortcut().toString(QKeySequence::NativeText);
        EXPECT_TRUE(action->toolTip().endsWith(" (" + key + ")"))
            << action->toolTip().toStdString();
    }
    EXPECT_EQ(tool("Show original")->toolTip(), "Toggle before/after (\\)");
}

TEST_F(MainWindowTest, ALayerRequestOrTheBrushShowsTheInspectorOnlyWhenItChanges) {
    harness.open(harness.file("a.dng"));
    state.setRequestedEditLayer(EditLayer::exposure);
    settle();
    hideInspector();
    state.setRequestedEditLayer(EditLayer::contrast);
    settle();
    EXPECT_TRUE(inspectorVisible());
    hideInspector();
    state.setRequestedEditLayer(std::nullopt);
    settle();
    EXPECT_FALSE(inspectorVisible());

    keyClick(&window, Qt::Key_J);
    EXPECT_TRUE(state.isSpotRepairActive() && inspectorVisible());
    hideInspector();
    keyClick(&window, Qt::Key_J);
    EXPECT_FALSE(state.isSpotRepairActive() || inspectorVisible());
}

TEST_F(MainWindowTest, TheAlertFollowsTheErrorLineAndAnyDismissalClearsIt) {
    const auto showError = [&](const char* text) {
        state.setLastError(text);
        settle();
        return window.errorAlert().box();
    };
    QMessageBox* box = showError("Could not open <b>a.dng</b>.");
    ASSERT_TRUE(box && box->isVisible());
    EXPECT_TRUE(box->windowTitle() == "Quillmere" && box->windowModality() == Qt::WindowModal &&
                box->textFormat() == Qt::PlainText);
    EXPECT_TRUE(showError("A newer failure.") == box && box->text() == "A newer failure.");
    state.setLastError(std::nullopt);
    settle();
    EXPECT_FALSE(window.errorAlert().box());

    QTest::mouseClick(showError("Once more.")->button(QMessageBox::Ok), Qt::LeftButton);
    EXPECT_FALSE(state.lastError());
    QTest::keyClick(showError("And again."), Qt::Key_Escape);
    EXPECT_FALSE(state.lastError());
}

// A drag that leaves the window takes the overlay with it.
TEST_F(MainWindowTest, TheDropOverlayGoesWhenADragLeaves) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/photos/a.dng")});
    QDragEnterEvent enter({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    EXPECT_TRUE(window.dropOverlay().isVisible());
    QDragLeaveEvent leave;
    QApplication::sendEvent(&window, &leave);
    EXPECT_FALSE(window.dropOverlay().isTargeted());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.dropOverlay().isVisible(); }, 1000));
    EXPECT_TRUE(state.sessionPhotos().empty());
}

}  // namespace
}  // namespace quillmere
