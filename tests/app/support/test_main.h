#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "tests/fixtures/temporary_folder.h"

namespace quillmere::testing {

// The main of an application test executable: its tests run inside a Qt application of the
// kind they need (the clipboard and images need one, widgets a QApplication) on the offscreen
// platform, with the user's data and configuration folders moved to a temporary folder.
// `setUp`, when given, runs once the application exists.
template <class Application>
int runApplicationTests(int argc, char** argv, const std::function<void()>& setUp = {}) {
    const TemporaryFolder home;
    ::setenv("XDG_DATA_HOME", (home.path() / "data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home.path() / "config").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    Application application(argc, argv);
    if (setUp) setUp();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

}  // namespace quillmere::testing
