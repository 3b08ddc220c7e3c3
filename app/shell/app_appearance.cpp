#include "app/shell/app_appearance.h"

#include "app/shell/window_preferences.h"
#include "app/state/preferences.h"

namespace quillmere {

QString rawValue(AppAppearance appearance) {
    switch (appearance) {
        case AppAppearance::system:
            return QStringLiteral("system");
        case AppAppearance::dark:
            return QStringLiteral("dark");
        case AppAppearance::light:
            return QStringLiteral("light");
    }
    return {};
}

QString title(AppAppearance appearance) {
    switch (appearance) {
        case AppAppearance::system:
            return QStringLiteral("System");
        case AppAppearance::dark:
            return QStringLiteral("Dark");
        case AppAppearance::light:
            return QStringLiteral("Light");
    }
    return {};
}

std::optional<AppAppearance> appearanceFromRawValue(const QString& raw) {
    for (AppAppearance appearance : kAllAppearances) {
        if (rawValue(appearance) == raw) return appearance;
    }
    return std::nullopt;
}

AppAppearance storedAppearance(const Preferences& preferences) {
    const QString stored = preferences.value(WindowPreferences::kAppearance).toString();
    return appearanceFromRawValue(stored).value_or(AppAppearance::system);
}

void storeAppearance(Preferences& preferences, AppAppearance appearance) {
    preferences.setValue(WindowPreferences::kAppearance, rawValue(appearance));
}

}  // namespace quillmere
