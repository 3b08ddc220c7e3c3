#pragma once

#include <QObject>
#include <QPalette>
#include <optional>

#include "app/shell/app_appearance.h"

namespace quillmere {

class Preferences;

// Gives the whole application the palette of the appearance setting, at once and whenever the
// setting changes, so every window restyles together: "system" restores the palette the program
// found at start (the desktop's, or the style's own), "dark" and "light" set the program's dark
// and light palettes. Qt cannot follow a desktop that switches while the program runs.
class AppearanceController : public QObject {
    Q_OBJECT

  public:
    // Takes the application's current palette as the system's, then applies the stored setting.
    explicit AppearanceController(Preferences& preferences, QObject* parent = nullptr);

    // The palette `appearance` gives the application when the system's is `system`.
    static QPalette palette(AppAppearance appearance, const QPalette& system);

  private:
    void apply();

    Preferences& preferences_;
    const QPalette systemPalette_;
    std::optional<AppAppearance> applied_;
};

}  // namespace quillmere
