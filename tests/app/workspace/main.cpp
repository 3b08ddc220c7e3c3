// The workspace tests drive real widgets inside a QApplication on the offscreen platform, with
// the user's data and configuration folders moved to a temporary folder for the whole run.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "tests/fixtures/temporary_folder.h"

int main(int argc, char** argv) {
    const quillmere::testing::TemporaryFolder home;
    ::setenv("XDG_DATA_HOME", (home.path() / "data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home.path() / "config").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);

    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
