#include "app/shell/window_preferences.h"

#include <QAction>

#include "app/state/preferences.h"

namespace quillmere {

bool WindowPreferences::isVisible(const Preferences& preferences, const QString& key) {
    return preferences.value(key, true).toBool();
}

void WindowPreferences::setVisible(Preferences& preferences, const QString& key, bool visible) {
    preferences.setValue(key, visible);
}

void WindowPreferences::bindToggle(QAction& action, Preferences& preferences, const QString& key) {
    action.setCheckable(true);
    action.setChecked(isVisible(preferences, key));
    // `triggered` comes from the user only, so following the preference never writes it back.
    QObject::connect(&action, &QAction::triggered, &preferences,
                     [&preferences, key](bool checked) { setVisible(preferences, key, checked); });
    QObject::connect(&preferences, &Preferences::changed, &action,
                     [&action, &preferences, key](const QString& changed) {
                         if (changed == key) action.setChecked(isVisible(preferences, key));
                     });
}

}  // namespace quillmere
