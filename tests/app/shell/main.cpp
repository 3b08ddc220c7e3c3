// The shell tests drive the real windows and menus inside a QApplication in the Fusion style on
// the offscreen platform, with the user's data and configuration folders in a temporary folder.
// The offscreen desktop has two screens side by side, 1600 × 1000 (the primary) and 1280 × 800,
// and draws no window frames.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/fixtures/temporary_folder.h"

int main(int argc, char** argv) {
    const quillmere::testing::TemporaryFolder home;
    ::setenv("XDG_DATA_HOME", (home.path() / "data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home.path() / "config").c_str(), 1);
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform == nullptr || std::string(platform) == "offscreen") {
        const auto screens = home.path() / "screens.json";
        // Without window frames: a window's geometry is then the area it covers.
        std::ofstream(screens) << R"({"windowFrameMargins": false, "screens": [
            {"name": "Primary", "x": 0, "y": 0, "width": 1600, "height": 1000},
            {"name": "Second", "x": 1600, "y": 0, "width": 1280, "height": 800}]})";
        ::setenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens.string()).c_str(), 1);
    }

    QApplication application(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
