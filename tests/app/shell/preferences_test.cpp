#include "app/state/preferences.h"

#include <gtest/gtest.h>

#include <QFile>
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
    writeLegacy("appearance", "dark");
    writeLegacy("library.visible", false);
    writeLegacy("photoFolderAccess.bookmarks.v1", QStringList{"/photos/a", "/photos/b"});
    writeLegacy("develop.panelOrder", QByteArray("\x01\x02", 2));
    standard.setValue("appearance", "light");
    QFile legacy(legacyFile);
    ASSERT_TRUE(legacy.open(QIODevice::ReadOnly));
    const QByteArray legacyBefore = legacy.readAll();

    PreferenceMigration::run(standard, legacyFile, false);
    EXPECT_EQ(standard.value("appearance"), "light");
    EXPECT_FALSE(standard.value("library.visible", true).toBool());
    EXPECT_EQ(standard.value("photoFolderAccess.bookmarks.v1").toStringList(),
              QStringList({"/photos/a", "/photos/b"}));
    EXPECT_EQ(standard.value("develop.panelOrder"), QVariant(QByteArray("\x01\x02", 2)));
    EXPECT_TRUE(standard.value(PreferenceMigration::kMarkerKey).toBool());
    EXPECT_TRUE(legacy.seek(0));
    EXPECT_EQ(legacy.readAll(), legacyBefore);

    // A later start copies nothing, whatever the legacy file gained meanwhile.
    writeLegacy("filmstrip.visible", false);
    PreferenceMigration::run(standard, legacyFile, false);
    EXPECT_FALSE(standard.contains("filmstrip.visible"));
}

TEST_F(MigrationTest, SandboxedRunsLeaveNoTraceAndAMissingLegacyFileStillSetsTheMarker) {
    writeLegacy("appearance", "dark");
    PreferenceMigration::run(standard, legacyFile, true);
    EXPECT_FALSE(standard.contains("appearance"));
    EXPECT_FALSE(standard.contains(PreferenceMigration::kMarkerKey));
    PreferenceMigration::run(standard, legacyFile, false);
    EXPECT_EQ(standard.value("appearance"), "dark");

    Preferences fresh(file("Fresh.conf"));
    PreferenceMigration::run(fresh, file("Missing.conf"), false);
    EXPECT_TRUE(fresh.value(PreferenceMigration::kMarkerKey).toBool());
}

}  // namespace
}  // namespace quillmere
