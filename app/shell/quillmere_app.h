#pragma once

#include <QPointer>
#include <memory>

namespace quillmere {

class AppState;
class AppearanceController;
class AppearanceSettingsView;
class MainWindow;
class Preferences;
class TechnologyLicensesView;

// The application, made once by main() after the QApplication: it copies the previous product's
// preferences once, builds the render engine and the one application state that every window
// and menu shares, and gives the application the chosen appearance. The main window with its
// menus is built when it is first shown, so that the views it hosts (the develop panels and the
// sheets) can be installed in between. The Settings and "Technology & Licenses" windows are made
// on first request, as windows of the main window; a later request brings the same window to
// the front.
class QuillmereApp {
  public:
    QuillmereApp();
    ~QuillmereApp();

    QuillmereApp(const QuillmereApp&) = delete;
    QuillmereApp& operator=(const QuillmereApp&) = delete;

    // Built by the first showMainWindow().
    MainWindow& mainWindow() { return *mainWindow_; }

    // Builds the main window and its menus on the first call, then shows it.
    void showMainWindow();
    void showSettings();
    void showTechnologyLicenses();

  private:
    std::shared_ptr<Preferences> preferences_;
    std::unique_ptr<AppState> state_;
    std::unique_ptr<AppearanceController> appearance_;
    // Goes before the state it shows, with the two windows it owns: they close with it, so that
    // closing the main window ends the program.
    std::unique_ptr<MainWindow> mainWindow_;
    QPointer<AppearanceSettingsView> settings_;
    QPointer<TechnologyLicensesView> licenses_;
};

}  // namespace quillmere
