// Starts the real program on a virtual X server with the sample photo and checks that its window
// shows the developed photo.

#include <gtest/gtest.h>

#include <QHash>
#include <QImage>
#include <QProcess>

#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

TEST(Smoke, TheWindowShowsTheDevelopedSamplePhoto) {
    const testing::TemporaryFolder home;
    const QString folder = QString::fromStdString(home.path().string());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
        environment.insert(variable, folder + "/" + variable);
    }
    environment.insert("QUILLMERE_SMOKE_GRAB", folder + "/window.png");
    environment.remove("QT_QPA_PLATFORM");
    environment.remove("DBUS_SESSION_BUS_ADDRESS");
    // Qt's keyboard layer on X11 (libxkbcommon) copies bounded strings out of buffers without a
    // terminating NUL (strndup), which strict string checks take for an overflow.
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":strict_string_checks=0");
    QProcess program;
    program.setProcessEnvironment(environment);
    // The watchdog: from start to the first developed frame, sanitisers included. `timeout` ends
    // the whole process group, the virtual X server and the program included.
    program.start("timeout", {"120", "xvfb-run", "-a", "-s", "-screen 0 1600x1000x24",
                              QUILLMERE_EXECUTABLE, "--open",
                              QUILLMERE_TEST_DATA_DIR "/tinydng_colorchart.dng"});
    ASSERT_TRUE(program.waitForFinished(150'000));
    ASSERT_EQ(program.exitCode(), 0) << "124: no developed frame within 120 s\n"
                                     << program.readAllStandardError().toStdString();

    const QImage window(folder + "/window.png");
    const QStringList canvas = window.text("canvas").split(',');
    ASSERT_EQ(canvas.size(), 4);
    const QRect area(canvas[0].toInt(), canvas[1].toInt(), canvas[2].toInt(), canvas[3].toInt());
    ASSERT_TRUE(window.rect().contains(area) && area.width() > 200 && area.height() > 200);
    // The colour chart: many colours, and the canvas's backdrop only around the photo.
    QHash<QRgb, int> colours;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) ++colours[window.pixel(x, y)];
    }
    EXPECT_GT(colours.size(), 1000);
    EXPECT_LT(*std::max_element(colours.begin(), colours.end()), area.width() * area.height() / 2);
}

}  // namespace
}  // namespace quillmere
