#include "app/shell/preference_migration.h"

#include <QFileInfo>
#include <QSettings>

#include "app/state/preferences.h"

namespace quillmere {

QString PreferenceMigration::legacyFileName(const Preferences& standard) {
    const QString ownFolder = QFileInfo(standard.fileName()).absolutePath();
    return QFileInfo(ownFolder).absolutePath() + QStringLiteral("/Starlingmoor/Starlingmoor.conf");
}

void PreferenceMigration::run(Preferences& standard, const QString& legacyFile, bool sandboxed) {
    if (sandboxed || standard.value(kMarkerKey, false).toBool()) return;
    // QSettings treats a missing file as empty and never writes to a file it only read.
    const QSettings legacy(legacyFile, QSettings::IniFormat);
    for (const QString& key : legacy.allKeys()) {
        if (!standard.contains(key)) standard.setValue(key, legacy.value(key));
    }
    standard.setValue(kMarkerKey, true);
}

}  // namespace quillmere
