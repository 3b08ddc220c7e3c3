#pragma once

#include <QString>

class QAction;

namespace quillmere {

class Preferences;

// The window preferences that the main window, its toolbar, the menus and the workspace share.
// Every reader assumes the same default while a key holds nothing, and nobody writes a default,
// so a change made in one place is what every other place shows.
namespace WindowPreferences {

inline const QString kAppearance = QStringLiteral("appearance");
inline const QString kLibraryVisible = QStringLiteral("library.visible");
inline const QString kInspectorVisible = QStringLiteral("inspector.visible");
inline const QString kFilmstripVisible = QStringLiteral("filmstrip.visible");

// A pane's preference: shown while the key holds nothing.
bool isVisible(const Preferences& preferences, const QString& key);
void setVisible(Preferences& preferences, const QString& key, bool visible);

// Makes `action` a toggle of the pane preference `key`: it shows the stored value, follows every
// write of the key from anywhere, and writes the key when the user toggles it. A menu item and a
// toolbar button bound to the same key therefore mirror each other.
void bindToggle(QAction& action, Preferences& preferences, const QString& key);

}  // namespace WindowPreferences

}  // namespace quillmere
