#include "app/shell/quillmere_app.h"

#include <QApplication>
#include <QIcon>
#include <system_error>

#include "app/shell/appearance_controller.h"
#include "app/shell/appearance_settings_view.h"
#include "app/shell/file_dialog_prompts.h"
#include "app/shell/main_window.h"
#include "app/shell/menu_commands.h"
#include "app/shell/preference_migration.h"
#include "app/shell/smoke_grab.h"
#include "app/shell/technology_licenses_view.h"
#include "app/state/app_state.h"
#include "app/state/preferences.h"
#include "core/common/program_files.h"
#include "core/compute/device.h"
#include "core/edit/distribution_policy.h"
#include "core/render/engine/gpu_render_engine.h"

namespace quillmere {
namespace {

// Shows a window of `owner` made on first use, or brings the one already made to the front.
template <class Window, class Make>
void showSingle(QPointer<Window>& window, QWidget& owner, Make make) {
    if (!window) {
        window = make();
        window->setParent(&owner, Qt::Window);
    }
    window->show();
    window->raise();
    window->activateWindow();
}

// Gives every window the program's icon, the one its desktop entry names, also where the desktop
// does not look for it: a program run from its build tree, or installed under another prefix.
void setApplicationIcon() {
    const std::optional<ProgramFiles>& files = ProgramFiles::forProcess();
    std::error_code error;
    if (!files || !std::filesystem::is_regular_file(files->icon, error)) {
        qWarning("Quillmere's icon is missing: it is not at %s.",
                 files ? files->icon.c_str() : "a place the program can read (/proc/self/exe)");
        return;
    }
    QApplication::setWindowIcon(QIcon(QString::fromStdString(files->icon.string())));
}

}  // namespace

QuillmereApp::QuillmereApp() : preferences_(std::make_shared<Preferences>()) {
    // Before anything reads a preference, so migrated values are what the first window shows.
    PreferenceMigration::run(*preferences_, PreferenceMigration::legacyFileName(*preferences_),
                             DistributionPolicy::isSandboxed());
    state_ = std::make_unique<AppState>(
        std::make_shared<GPURenderEngine>(std::make_shared<Device>()),
        AppStateCollaborators{.preferences = preferences_,
                              .prompts = std::make_shared<FileDialogPrompts>()});
    appearance_ = std::make_unique<AppearanceController>(*preferences_);
    setApplicationIcon();
}

QuillmereApp::~QuillmereApp() = default;

void QuillmereApp::showMainWindow() {
    if (!mainWindow_) {
        mainWindow_ = std::make_unique<MainWindow>(*state_, *preferences_);
        installMenuCommands(*mainWindow_->menuBar(), *state_, *preferences_,
                            {.showSettings = [this] { showSettings(); },
                             .showTechnologyLicenses = [this] { showTechnologyLicenses(); }});
        installSmokeGrabIfRequested(*mainWindow_);
    }
    mainWindow_->show();
    // The program comes to the front when it starts.
    mainWindow_->raise();
    mainWindow_->activateWindow();
}

void QuillmereApp::showSettings() {
    showSingle(settings_, *mainWindow_,
               [this] { return new AppearanceSettingsView(*preferences_); });
}

void QuillmereApp::showTechnologyLicenses() {
    showSingle(licenses_, *mainWindow_, [] { return new TechnologyLicensesView(); });
}

}  // namespace quillmere
