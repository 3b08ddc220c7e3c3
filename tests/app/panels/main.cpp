// The panel tests drive real widgets inside a QApplication on the offscreen platform, in the
// Fusion style with American English number formats, with the user's data and configuration
// folders moved to a temporary folder and every delay and animation a hundred times faster.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QStyleFactory>
#include <cstdlib>

#include "app/panels/kit/ui_timing.h"
#include "tests/fixtures/temporary_folder.h"

int main(int argc, char** argv) {
    const quillmere::testing::TemporaryFolder home;
    ::setenv("XDG_DATA_HOME", (home.path() / "data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home.path() / "config").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);

    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    quillmere::UiTiming::setScale(0.01);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
