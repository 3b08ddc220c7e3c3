#pragma once

#include <QString>

namespace quillmere {

class Preferences;

// Copies, once, the preferences the previous product (Starlingmoor) left in its own file into
// the program's preferences, where a key holds nothing yet. Runs at start-up before anything
// reads the preferences, so migrated window settings are what the first window shows.
namespace PreferenceMigration {

// Set to true once the migration has run.
inline const QString kMarkerKey = QStringLiteral("migration.previousBrand.preferences");

// The previous product's preferences: "Starlingmoor/Starlingmoor.conf" beside the folder of
// `standard`'s file ("Quillmere/Quillmere.conf" in the user's configuration folder).
QString legacyFileName(const Preferences& standard);

// Unless `sandboxed` (then nothing is copied and the marker is not written) or the marker is
// already set: copies every key of the INI file `legacyFile` that `standard` has no value for,
// with its value as read, and sets the marker, also when the file is absent or empty. The legacy
// file is only read.
void run(Preferences& standard, const QString& legacyFile, bool sandboxed);

}  // namespace PreferenceMigration

}  // namespace quillmere
