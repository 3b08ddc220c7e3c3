// The installed program on its own. Installed to a temporary prefix with `cmake --install`, and run
// where the source checkout and this build tree are empty folders (a mount namespace of its own),
// it finds its RAW checking helper, Detail model, licence notices and icon beside itself. Without
// its helper it stops at start, though this build tree's helper is in reach.
//
// Run as `install_tests --probe` from an installed place, this program prints what the program's
// own lookups find there instead.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QProcess>
#include <QPushButton>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

#include "app/shell/quillmere_app.h"
#include "app/shell/technology_licenses_view.h"
#include "app/state/photo_edit_store.h"
#include "core/decode/match_filter_model.h"
#include "core/decode/raw_file_vetting.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

const fs::path kBuild = QUILLMERE_BUILD_DIR, kSource = QUILLMERE_SOURCE_DIR;

// What the program's lookups find where this program lies: one "name value" line each.
int probe(int argc, char** argv) {
    QApplication application(argc, argv);
    const auto found = [](const char* name, auto lookup) {
        try {
            std::cout << name << " " << lookup() << "\n";
        } catch (const std::exception& missing) {
            std::cout << name << " error: " << missing.what() << "\n";
        }
    };
    found("helper", [] { return RAWFileVetting::locateHelper().string(); });
    found("model", [] { return MatchFilterModel::url().string(); });
    TechnologyLicensesView licenses;
    licenses.show();
    found("licenses", [&] { return licenses.licensesURL().value_or("none").string(); });
    found("licenseButton", [&] {
        return licenses.findChild<QPushButton*>("showLicenseFiles")->isVisible() ? "shown"
                                                                                 : "absent";
    });
    // Start-up gives the windows the program's icon.
    const QuillmereApp app;
    found("icon", [] { return QApplication::windowIcon().pixmap(32).isNull() ? "none" : "set"; });
    return 0;
}

struct Finished {
    int exitCode;
    std::string output, errors;
};

class InstalledProgram : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<testing::TemporaryFolder>();
        QProcess install;
        install.start(QUILLMERE_CMAKE, {"--install", kBuild.c_str(), "--prefix", prefix().c_str()});
        installed_ = install.waitForFinished(300'000) && install.exitCode() == 0;
        if (!installed_) std::cerr << install.readAllStandardError().toStdString();
        fs::copy_file(fs::path(QUILLMERE_TEST_DATA_DIR) / "tinydng_colorchart.dng", photo());
        fs::copy_file(kSource / "tests" / "lsan_suppressions.txt", home() / "lsan.txt");
    }
    static void TearDownTestSuite() { folder_.reset(); }

    void SetUp() override {
        ASSERT_TRUE(installed_) << "cmake --install failed";
        for (const fs::path& hidden : {kBuild, kSource}) {
            ASSERT_EQ(*fs::relative(home(), hidden).begin(), "..")
                << "the temporary folder " << home() << " lies in " << hidden;
        }
    }

    static const fs::path& home() { return folder_->path(); }
    static fs::path prefix() { return home() / "prefix"; }
    static fs::path photo() { return home() / "photo.dng"; }

    // The environment of a program run here: its own settings and data, no lookup redirected.
    static QProcessEnvironment environment() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            environment.insert(variable, QString::fromStdString((home() / variable).string()));
        }
        for (const char* variable : {"QUILLMERE_RAW_CHECK", "QUILLMERE_MATCHFILTER_MODEL",
                                     "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS"}) {
            environment.remove(variable);
        }
        environment.insert("LSAN_OPTIONS", QString::fromStdString("suppressions=" +
                                                                  (home() / "lsan.txt").string()));
        // Qt's keyboard layer on X11 copies bounded strings without a terminating NUL.
        environment.insert("ASAN_OPTIONS",
                           environment.value("ASAN_OPTIONS") + ":strict_string_checks=0");
        return environment;
    }

    // Runs `command` where the checkout and the build tree are empty folders: tmpfs mounted over
    // them in a mount namespace of its own. Root makes one itself (as CI runs); anyone else, or
    // root without the right to mount, in a user namespace of its own.
    static Finished runHidden(const QStringList& command, const QProcessEnvironment& environment) {
        static const std::optional<QStringList> namespaces = [] {
            for (const QStringList& mode :
                 {QStringList{"--mount"}, QStringList{"--user", "--map-root-user", "--mount"}}) {
                if (runIn(mode, {"true"}, QProcessEnvironment::systemEnvironment()).exitCode == 0) {
                    return std::optional(mode);
                }
            }
            return std::optional<QStringList>();
        }();
        if (!namespaces) {
            return {-1, "", "no mount namespace can be made here, to hide the checkout"};
        }
        return runIn(*namespaces, command, environment);
    }

    // The build tree goes first, as it may lie in the checkout.
    static Finished runIn(const QStringList& namespaces, const QStringList& command,
                          const QProcessEnvironment& environment) {
        static const char* const kHide = R"(set -e
            for folder in "$1" "$2"; do
              [ ! -d "$folder" ] || mount -t tmpfs -o size=1m,mode=0555 hidden "$folder"
            done
            if [ -e "$1/CMakeCache.txt" ] || [ -e "$2/CMakeLists.txt" ]; then
              echo "the build tree or the checkout is still there" >&2
              exit 97
            fi
            shift 2
            exec "$@")";
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start("unshare", namespaces +
                                     QStringList{"--propagation", "private", "sh", "-c", kHide,
                                                 "sh", kBuild.c_str(), kSource.c_str()} +
                                     command);
        if (!program.waitForFinished(200'000)) program.kill();
        return {program.exitCode(), program.readAllStandardOutput().toStdString(),
                program.readAllStandardError().toStdString()};
    }

    static inline std::unique_ptr<testing::TemporaryFolder> folder_;
    static inline bool installed_ = false;
};

TEST_F(InstalledProgram, FindsItsHelperModelLicencesAndIconBesideItselfAlone) {
    // This program, installed beside the real one, runs the real lookups from there.
    const fs::path probe = prefix() / "bin" / "quillmere-install-probe";
    std::error_code elsewhere;
    fs::create_hard_link(fs::read_symlink("/proc/self/exe"), probe, elsewhere);
    if (elsewhere) fs::copy_file(fs::read_symlink("/proc/self/exe"), probe);
    QProcessEnvironment offscreen = environment();
    offscreen.insert("QT_QPA_PLATFORM", "offscreen");
    const Finished finished = runHidden({probe.c_str(), "--probe"}, offscreen);
    fs::remove(probe);
    ASSERT_EQ(finished.exitCode, 0) << finished.errors;

    std::map<std::string, std::string> found;
    std::istringstream lines(finished.output);
    for (std::string name, value; lines >> name && std::getline(lines >> std::ws, value);) {
        found[name] = value;
    }
    const std::map<std::string, std::string> expected{
        {"helper", (prefix() / "libexec/quillmere/quillmere-raw-check").string()},
        {"model", (prefix() / "share/quillmere/Models/MatchFilter.onnx").string()},
        {"licenses", (prefix() / "share/quillmere/Licenses").string()},
        {"licenseButton", "shown"},
        {"icon", "set"},
    };
    EXPECT_EQ(found, expected) << finished.errors;
}

TEST_F(InstalledProgram, DevelopsARAWPhotoWithDetailAlone) {
    // The photo's saved edit asks for Detail, so the first render needs the helper and the model.
    EditParams detail;
    detail.denoiseMethod = DenoiseMethod::matchFilter;
    detail.denoise = 50;
    PhotoEditStore(home() / "XDG_DATA_HOME" / "Quillmere" / "Edits")
        .save({.params = detail}, photo());
    QProcessEnvironment grab = environment();
    const fs::path window = home() / "window.png";
    grab.insert("QUILLMERE_SMOKE_GRAB", window.c_str());
    // The first developed frame ends the program; a missing model or helper leaves none.
    const Finished finished =
        runHidden({"timeout", "90", "xvfb-run", "-a", "-s", "-screen 0 1600x1000x24",
                   (prefix() / "bin/quillmere").c_str(), "--open", photo().c_str()},
                  grab);
    ASSERT_EQ(finished.exitCode, 0) << "124: no developed frame within 90 s\n" << finished.errors;

    const QImage shot(window.c_str());
    const QStringList canvas = shot.text("canvas").split(',');
    ASSERT_EQ(canvas.size(), 4);
    const QRect area(canvas[0].toInt(), canvas[1].toInt(), canvas[2].toInt(), canvas[3].toInt());
    QHash<QRgb, int> colours;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) ++colours[shot.pixel(x, y)];
    }
    EXPECT_GT(colours.size(), 1000) << "the colour chart";
}

TEST_F(InstalledProgram, IsNeverInstalledIntoTheBuildFolderWhereItWouldTakeTheBuildTreesFiles) {
    const fs::path inside = kBuild / "install-test-stage";
    QProcess install;
    install.start(QUILLMERE_CMAKE, {"--install", kBuild.c_str(), "--prefix", inside.c_str()});
    ASSERT_TRUE(install.waitForFinished(60'000));
    EXPECT_NE(install.exitCode(), 0);
    EXPECT_FALSE(fs::exists(inside)) << "nothing is copied";
}

TEST_F(InstalledProgram, WithoutItsHelperStopsAtStartThoughTheBuildTreesIsInReach) {
    ASSERT_EQ(access((kBuild / "rawbridge/quillmere-raw-check").c_str(), X_OK), 0);
    const fs::path copy = home() / "without-helper";
    fs::copy(prefix(), copy, fs::copy_options::recursive | fs::copy_options::create_hard_links);
    fs::remove(copy / "libexec/quillmere/quillmere-raw-check");

    QProcess program;
    QProcessEnvironment offscreen = environment();
    offscreen.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(offscreen);
    program.setReadChannel(QProcess::StandardError);
    program.start((copy / "bin/quillmere").c_str(), {});
    // It says why on its standard error, then waits for its alert to be read.
    std::string errors;
    QElapsedTimer waited;
    waited.start();
    while (errors.find("again.\n") == std::string::npos && waited.elapsed() < 60'000 &&
           program.state() != QProcess::NotRunning) {
        program.waitForReadyRead(200);
        errors += program.readAllStandardError().toStdString();
    }
    program.kill();
    program.waitForFinished();
    EXPECT_NE(errors.find("quillmere: The RAW checking helper quillmere-raw-check is missing: it "
                          "is not in " +
                          (copy / "libexec/quillmere").string() + ". Install Quillmere again.\n"),
              std::string::npos)
        << errors;
}

}  // namespace
}  // namespace quillmere

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--probe") == 0) return quillmere::probe(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
