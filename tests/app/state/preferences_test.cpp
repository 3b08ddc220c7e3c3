#include "app/state/preferences.h"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

TEST(Preferences, AnnounceEveryWriteStoreNoDefaultsAndReachTheFileAtOnce) {
    Preferences preferences;
    EXPECT_EQ(preferences.fileName().toStdString(),
              std::string(std::getenv("XDG_CONFIG_HOME")) + "/Quillmere/Quillmere.conf");
    std::vector<QString> announced;
    QObject::connect(&preferences, &Preferences::changed,
                     [&](const QString& key) { announced.push_back(key); });
    EXPECT_TRUE(preferences.value("library.visible", true).toBool());
    EXPECT_FALSE(preferences.contains("library.visible"));
    preferences.setValue("library.visible", false);
    preferences.setValue("library.visible", false);
    EXPECT_FALSE(Preferences().value("library.visible", true).toBool());
    preferences.remove("library.visible");
    EXPECT_TRUE(Preferences().value("library.visible", true).toBool());
    EXPECT_EQ(announced, std::vector<QString>(3, "library.visible"));
}

}  // namespace
}  // namespace quillmere
