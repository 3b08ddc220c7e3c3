#include <QDropEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>

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

// An alert keeps its text whole however long it is (a save that failed on 216 photos lists each
// of them) and fits the screen of its window: a long text scrolls inside it, never cut at the
// side, whether its lines wrap or not, and OK stays on the screen, also when a longer text
// replaces the one shown. A short text shows without a scroll bar.
TEST_F(MainWindowTest, AnAlertFitsItsScreenAndALongTextScrollsInsideIt) {
    QStringList wide, narrow;
    for (int index = 1; index <= 216; ++index) {
        const QString name =
            QString("IMG_%1_from_the_second_card.jpg").arg(index, 4, 10, QChar('0'));
        wide << name + ": Cannot decode " + name + " as a supported photo.";
        narrow << QString("%1.jpg: damaged").arg(index);
    }
    const QString shortText = wide.mid(0, 2).join('\n'), wrapping = wide.join('\n'),
                  unwrapped = narrow.join('\n');
    // On the 1600 × 1000 screen, and on the 1280 × 800 one.
    for (const QRect place : {QRect(100, 50, 1000, 700), QRect(1700, 50, 1000, 700)}) {
        window.setGeometry(place);
        const QRect screen = window.screen()->availableGeometry();
        const auto expectShown = [&](const QString& text, bool scrolls) {
            settle();
            QMessageBox* box = window.errorAlert().box();
            ASSERT_TRUE(box && box->isVisible());
            // As an X11 desktop has it do once shown, the box measures itself again.
            QCoreApplication::postEvent(box, new QEvent(QEvent::LayoutRequest));
            settle();
            EXPECT_EQ(box->text(), text);
            const QList<QLabel*> labels = box->findChildren<QLabel*>();
            const auto label = std::find_if(labels.begin(), labels.end(),
                                            [&](QLabel* found) { return found->text() == text; });
            ASSERT_NE(label, labels.end());
            EXPECT_EQ((*label)->visibleRegion().boundingRect().width(), (*label)->width())
                << "the text is cut at the side";
            EXPECT_TRUE(screen.contains(box->frameGeometry()))
                << box->frameGeometry().height() << " px high on a screen of " << screen.height();
            const QAbstractButton* ok = box->button(QMessageBox::Ok);
            EXPECT_TRUE(screen.contains(QRect(ok->mapToGlobal(QPoint()), ok->size())))
                << "OK at " << ok->mapToGlobal(QPoint()).y() << " on a screen of "
                << screen.height();
            const QList<QScrollBar*> bars = box->findChildren<QScrollBar*>();
            const bool barShown = std::any_of(bars.begin(), bars.end(), [](QScrollBar* bar) {
                return bar->isVisible() && bar->maximum() > 0;
            });
            EXPECT_EQ(barShown, scrolls) << text.count('\n') + 1 << " lines";
        };
        state.setLastError(shortText.toStdString());
        expectShown(shortText, false);
        state.setLastError(wrapping.toStdString());
        expectShown(wrapping, true);
        QTest::mouseClick(window.errorAlert().box()->button(QMessageBox::Ok), Qt::LeftButton);
        state.setLastError(unwrapped.toStdString());
        expectShown(unwrapped, true);
        QTest::keyClick(window.errorAlert().box(), Qt::Key_Escape);
        EXPECT_FALSE(state.lastError());
    }
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
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.dropOverlay().isVisible(); }, 60'000));
    EXPECT_TRUE(state.sessionPhotos().empty());
}

}  // namespace
}  // namespace quillmere
