#pragma once

#include <QString>
#include <array>
#include <optional>

namespace quillmere {

class Preferences;

// Whether the program follows the desktop's light or dark appearance or is always dark or always
// light. Stored as its raw value under the preference "appearance".
enum class AppAppearance { system, dark, light };

// Every case, in the order every picker shows them.
inline constexpr std::array kAllAppearances{AppAppearance::system, AppAppearance::dark,
                                            AppAppearance::light};

// "system", "dark", "light".
QString rawValue(AppAppearance appearance);
// "System", "Dark", "Light".
QString title(AppAppearance appearance);
// The case whose raw value is exactly `raw` (case-sensitive); nothing for any other text.
std::optional<AppAppearance> appearanceFromRawValue(const QString& raw);

// The stored setting; `system` while the key holds nothing or a text that is no raw value. Reading
// never rewrites what is stored.
AppAppearance storedAppearance(const Preferences& preferences);
void storeAppearance(Preferences& preferences, AppAppearance appearance);

}  // namespace quillmere
