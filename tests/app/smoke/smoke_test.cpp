// Starts the real program on a virtual X server with the sample photo and checks that its window
// shows the developed photo.

#include <gtest/gtest.h>

#include <QImage>
#include <QMap>
#include <QProcess>
#include <QStringList>

#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

// How long the program may take from start to its first developed frame, sanitisers included.
constexpr int kWatchdogMilliseconds = 120'000;

TEST(Smoke, TheWindowShowsTheDevelopedSamplePhoto) {
    const testing::TemporaryFolder home;
    const QString folder = QString::fromStdString(home.path().string());
    const QString grab = folder + "/window.png";

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The program's own preferences, data and window system: the virtual X server's.
    environment.insert("XDG_CONFIG_HOME", folder + "/config");
    environment.insert("XDG_DATA_HOME", folder + "/data");
    environment.insert("XDG_CACHE_HOME", folder + "/cache");
    environment.insert("QUILLMERE_SMOKE_GRAB", grab);
    environment.remove("QT_QPA_PLATFORM");
    environment.remove("DBUS_SESSION_BUS_ADDRESS");
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start("xvfb-run", {"-a", "-s", "-screen 0 1600x1000x24", QUILLMERE_EXECUTABLE, "--open",
                               QUILLMERE_TEST_DATA_DIR "/tinydng_colorchart.dng"});
    ASSERT_TRUE(program.waitForStarted()) << "xvfb-run is missing (scripts/install-deps)";
    if (!program.waitForFinished(kWatchdogMilliseconds)) {
        program.kill();
        program.waitForFinished();
        FAIL() << "no developed frame within " << kWatchdogMilliseconds / 1000 << " s\n"
               << program.readAllStandardError().toStdString();
    }
    ASSERT_EQ(program.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();

    const QImage window(grab);
    ASSERT_FALSE(window.isNull());
    const QStringList canvas = window.text("canvas").split(',');
    ASSERT_EQ(canvas.size(), 4);
    const QRect area(canvas[0].toInt(), canvas[1].toInt(), canvas[2].toInt(), canvas[3].toInt());
    ASSERT_TRUE(window.rect().contains(area)) << window.text("canvas").toStdString();
    ASSERT_GT(area.width() * area.height(), 200 * 200);

    // The colour chart under the canvas: many colours, and the backdrop only around the photo.
    QMap<QRgb, int> colours;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) ++colours[window.pixel(x, y)];
    }
    int mostFrequent = 0;
    for (const int count : colours) mostFrequent = std::max(mostFrequent, count);
    EXPECT_GT(colours.size(), 1000);
    EXPECT_LT(mostFrequent, area.width() * area.height() / 2);
}

}  // namespace
}  // namespace quillmere
