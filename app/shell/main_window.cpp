#include "app/shell/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QTimer>

#include "app/sheets/export_sheet.h"
#include "app/shell/drop_overlay.h"
#include "app/shell/editor_toolbar.h"
#include "app/shell/error_alert.h"
#include "app/shell/quit_prompt.h"
#include "app/shell/window_geometry.h"
#include "app/shell/window_preferences.h"
#include "app/state/app_state.h"
#include "app/state/follow/state_follow.h"
#include "app/workspace/native_workspace.h"

namespace quillmere {
namespace {

using Field = AppState::Field;

constexpr QSize kDefaultSize(1440, 900);
constexpr QSize kMinimumSize(900, 640);

}  // namespace

MainWindow::MainWindow(AppState& state, Preferences& preferences, QWidget* parent)
    : QMainWindow(parent),
      state_(state),
      preferences_(preferences),
      watcher_(new StateWatcher(state, this)),
      toolbar_(new EditorToolbar(
          state, preferences, [this] { showExportSheet(); }, this)),
      dropOverlay_(nullptr),
      errorAlert_(new ErrorAlert(state, *this)),
      quitPrompt_(new QuitPrompt(state, *this)) {
    setObjectName(QStringLiteral("mainWindow"));
    setMinimumSize(kMinimumSize);
    WindowGeometry::keep(*this, preferences, kDefaultSize);
    addToolBar(Qt::TopToolBarArea, toolbar_);
    setCentralWidget(new NativeWorkspace(state, preferences));
    setAcceptDrops(true);
    // Last, so it lies over everything else.
    dropOverlay_ = new DropOverlay(this);

    follow(*watcher_, {Field::photo}, [this] { updateTitle(); });
    watcher_->onChange(
        {Field::requestedEditLayer}, [this] { return state_.requestedEditLayer(); },
        [this](const auto&, const auto& layer) {
            if (layer) revealInspector();
        });
    watcher_->onChange(
        {Field::isSpotRepairActive}, [this] { return state_.isSpotRepairActive(); },
        [this](bool, bool active) {
            if (active) revealInspector();
        });
}

MainWindow::~MainWindow() = default;

void MainWindow::updateTitle() {
    const auto url = state_.photoURL();
    // "[*]" in a title marks where Qt shows the modified mark; doubled, it reads as itself.
    setWindowTitle(url ? QString::fromStdString(url->filename().string())
                             .replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"))
                       : QStringLiteral("Quillmere"));
}

void MainWindow::revealInspector() {
    WindowPreferences::setVisible(preferences_, WindowPreferences::kInspectorVisible, true);
}

void MainWindow::showExportSheet() {
    auto* sheet = new ExportSheet(state_, this);
    // The sheet closes itself when it is done.
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Once the window is up; the state opens the launch argument only once per run.
    QTimer::singleShot(
        0, this, [this] { state_.openLaunchArgumentIfPresent(QCoreApplication::arguments()); });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (quitPrompt_->mayClose()) {
        QMainWindow::closeEvent(event);
    } else {
        event->ignore();
    }
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    dropOverlay_->setGeometry(rect());
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!event->mimeData()->hasUrls()) return event->ignore();
    event->acceptProposedAction();
    dropOverlay_->setTargeted(true);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dragLeaveEvent(QDragLeaveEvent* event) {
    dropOverlay_->setTargeted(false);
    QMainWindow::dragLeaveEvent(event);
}

void MainWindow::dropEvent(QDropEvent* event) {
    dropOverlay_->setTargeted(false);
    // Which files open, and the message when none can, are the state's.
    if (state_.requestOpenPhoto(event->mimeData()->urls())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

}  // namespace quillmere
