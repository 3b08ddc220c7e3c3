#include "app/shell/appearance_controller.h"

#include <QApplication>
#include <QStyle>

#include "app/shell/window_preferences.h"
#include "app/state/preferences.h"

namespace quillmere {
namespace {

// A dark grey window with light text and a blue accent; the photo canvas keeps its own neutral
// backdrop.
QPalette darkPalette() {
    const QColor window(0x2d, 0x2d, 0x2d);
    const QColor button(0x3a, 0x3a, 0x3a);
    const QColor text(0xe6, 0xe6, 0xe6);
    const QColor dimmed(0x80, 0x80, 0x80);
    // Derives the frame and shadow shades from the button and window colours.
    QPalette palette(button, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Base, QColor(0x1f, 0x1f, 0x1f));
    palette.setColor(QPalette::AlternateBase, QColor(0x27, 0x27, 0x27));
    palette.setColor(QPalette::ToolTipBase, QColor(0x3c, 0x3c, 0x3c));
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, dimmed);
    palette.setColor(QPalette::BrightText, QColor(0xff, 0x6b, 0x6b));
    palette.setColor(QPalette::Highlight, QColor(0x2f, 0x6f, 0xd6));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0x5a, 0xa9, 0xff));
    palette.setColor(QPalette::LinkVisited, QColor(0xb0, 0x8c, 0xff));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, dimmed);
    }
    palette.setColor(QPalette::Disabled, QPalette::Base, window);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, QColor(0x50, 0x50, 0x50));
    return palette;
}

}  // namespace

AppearanceController::AppearanceController(Preferences& preferences, QObject* parent)
    : QObject(parent), preferences_(preferences), systemPalette_(QApplication::palette()) {
    apply();
    connect(&preferences_, &Preferences::changed, this, [this](const QString& key) {
        if (key == WindowPreferences::kAppearance) apply();
    });
}

QPalette AppearanceController::palette(AppAppearance appearance, const QPalette& system) {
    switch (appearance) {
        case AppAppearance::system:
            return system;
        case AppAppearance::dark:
            return darkPalette();
        case AppAppearance::light:
            return QApplication::style()->standardPalette();
    }
    return system;
}

void AppearanceController::apply() {
    const AppAppearance appearance = storedAppearance(preferences_);
    if (applied_ == appearance) return;
    applied_ = appearance;
    QApplication::setPalette(palette(appearance, systemPalette_));
}

}  // namespace quillmere
