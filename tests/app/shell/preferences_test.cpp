#include "app/state/preferences.h"

#include <gtest/gtest.h>

#include <QSettings>

#include "app/shell/preference_migration.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

struct MigrationTest : ::testing::Test {
    QString file(const char* name) const {
        return QString::fromStdString((folder.path() / name).string());
    }
    void writeLegacy(const QString& key, const QVariant& value) {
        QSettings(legacyFile, QSettings::IniFormat).setValue(key, value);
    }

    testing::TemporaryFolder folder;
    QString legacyFile = file("Starlingmoor.conf");
    Preferences standard{file("Quillmere.conf")};
};

TEST_F(MigrationTest, CopiesOnlyKeysTheProgramLacksWithTheirValuesAndOnlyOnce) {
    EXPECT_EQ(PreferenceMigration::legacyFileName(Preferences()).toStdString(),
              std::string(std::getenv("XDG_CONFIG_HOME")) + "/Starlingmoor/Starlingmoor.conf");
    // Values of every kind, as read.
    const std::map<QString, QVariant> legacyOnly{
        {"library.visible", false},
        {"photoFolderAccess.bookmarks.v1", QStringList{"/photos/a", "/photos/b"}},
        {"develop.panelOrder", QByteArray("\x01\x02", 2)}};
    for (const auto& [key, value] : legacyOnly) writeLegacy(key, value);
    writeLegacy("appearance", "dark");
    standard.setValue("appearance", "light");

    PreferenceMigration::run(standard, legacyFile, false);
    EXPECT_EQ(standard.value("appearance"), "light");
    for (const auto& [key, value] : legacyOnly) EXPECT_EQ(standard.value(key), value);
    EXPECT_TRUE(standard.value(PreferenceMigration::kMarkerKey).toBool());

    // A later start copies nothing, whatever the legacy file gained meanwhile.
    writeLegacy("filmstrip.visible", false);
    PreferenceMigration::run(standard, legacyFile, false);
    EXPECT_FALSE(standard.contains("filmstrip.visible"));
}

TEST_F(MigrationTest, SandboxedRunsLeaveNoTraceAndAMissingLegacyFileStillSetsTheMarker) {
    writeLegacy("appearance", "dark");
    PreferenceMigration::run(standard, legacyFile, true);
    EXPECT_FALSE(standard.contains("appearance") || standard.contains(PreferenceMigration::kMarkerKey));
    PreferenceMigration::run(standard, legacyFile, false);
    EXPECT_EQ(standard.value("appearance"), "dark");

    Preferences fresh(file("Fresh.conf"));
    PreferenceMigration::run(fresh, file("Missing.conf"), false);
    EXPECT_TRUE(fresh.value(PreferenceMigration::kMarkerKey).toBool());
}

}  // namespace
}  // namespace quillmere
