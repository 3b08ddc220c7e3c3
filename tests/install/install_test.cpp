// The installed program on its own. Installed to a temporary prefix with `cmake --install`, and run
// where the source checkout and this build tree are empty folders (a mount namespace of its own),
// it finds its photo reader, Detail model, licence notices and icon beside itself, and its reader
// runs there. Without its reader it stops at start, though this build tree's reader is in reach.
//
// Run as `install_tests --probe` from an installed place, this program prints what the program's
// own lookups find there instead.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>

#include "app/shell/quillmere_app.h"
#include "app/shell/technology_licenses_view.h"
#include "app/state/photo_edit_store.h"
#include "core/decode/match_filter_model.h"
#include "core/reading/photo_reader.h"
#include "core/reading/raw_answers.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

const fs::path kBuild = QUILLMERE_BUILD_DIR, kSource = QUILLMERE_SOURCE_DIR;

// `sh -c kHide sh BUILD SOURCE COMMAND...`: mounts an empty tmpfs over the build tree, then over
// the checkout (which may hold it), checks both are gone and runs COMMAND.
const char* const kHide = R"(set -e
    for folder in "$1" "$2"; do
      [ ! -d "$folder" ] || mount -t tmpfs -o size=1m hidden "$folder"
    done
    test ! -e "$1/CMakeCache.txt"
    test ! -e "$2/CMakeLists.txt"
    shift 2
    exec "$@")";

int probe(int argc, char** argv) {
    QApplication application(argc, argv);
    try {
        std::cout << PhotoReader::locate().string() << "\n"
                  << MatchFilterModel::url().string() << "\n";
        // The reader answers: LibRaw, which it runs, refuses this program as a photo.
        const auto self = OpenedFile::open("/proc/self/exe");
        PhotoReader::forProcess().ask(
            *self,
            {reader_protocol::JobKind::rawThumbnail, raw_answers::encodeThumbnailParams(180), {}});
    } catch (const ReadingError& answered) {
        std::cout << answered.what() << "\n";
    } catch (const std::exception& missing) {
        std::cout << missing.what() << "\n";
    }
    TechnologyLicensesView licenses;
    licenses.show();
    const bool button = licenses.findChild<QPushButton*>("showLicenseFiles")->isVisible();
    std::cout << licenses.licensesURL().value_or("none").string() << (button ? " shown\n" : "\n");
    const QuillmereApp app;  // start-up gives the windows their icon
    std::cout << (QApplication::windowIcon().pixmap(32).isNull() ? "no icon\n" : "icon\n");
    return 0;
}

struct Finished {
    int exitCode;
    std::string output, errors;
};

// Runs a program to its end, or until its standard error holds `until` (for at most 30 s).
Finished run(const QString& program, const QStringList& arguments,
             const QProcessEnvironment& environment, const std::string& until = {}) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setReadChannel(QProcess::StandardError);
    process.start(program, arguments);
    std::string errors;
    QElapsedTimer waited;
    waited.start();
    while ((until.empty() || errors.find(until) == std::string::npos) &&
           process.state() != QProcess::NotRunning &&
           waited.elapsed() < (until.empty() ? 200'000 : 30'000)) {
        process.waitForReadyRead(100);
        errors += process.readAllStandardError().toStdString();
    }
    process.kill();
    process.waitForFinished();
    errors += process.readAllStandardError().toStdString();
    return {process.exitCode(), process.readAllStandardOutput().toStdString(), errors};
}

class InstalledProgram : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<testing::TemporaryFolder>();
        installed_ =
            run(QUILLMERE_CMAKE, {"--install", kBuild.c_str(), "--prefix", prefix().c_str()},
                QProcessEnvironment::systemEnvironment())
                .exitCode == 0;
        fs::copy_file(kSource / "tests/data/tinydng_colorchart.dng", home() / "photo.dng");
        fs::copy_file(kSource / "tests/lsan_suppressions.txt", home() / "lsan.txt");
    }
    static void TearDownTestSuite() { folder_.reset(); }

    void SetUp() override {
        ASSERT_TRUE(installed_);
        for (const fs::path& hidden : {kBuild, kSource}) {
            ASSERT_EQ(*fs::relative(home(), hidden).begin(), "..") << home() << " in " << hidden;
        }
    }

    static const fs::path& home() { return folder_->path(); }
    static fs::path prefix() { return home() / "prefix"; }

    // A program's own settings and data, no lookup redirected, on `platform`.
    static QProcessEnvironment environment(const QString& platform) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"}) {
            environment.insert(variable, (home() / variable).c_str());
        }
        for (const char* variable : {"QUILLMERE_READER", "QUILLMERE_MATCHFILTER_MODEL",
                                     "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS"}) {
            environment.remove(variable);
        }
        if (!platform.isEmpty()) environment.insert("QT_QPA_PLATFORM", platform);
        environment.insert("LSAN_OPTIONS",
                           ("suppressions=" + (home() / "lsan.txt").string()).c_str());
        // Qt's keyboard layer on X11 copies bounded strings without a terminating NUL.
        environment.insert("ASAN_OPTIONS",
                           environment.value("ASAN_OPTIONS") + ":strict_string_checks=0");
        return environment;
    }

    // Runs `command` where the build tree and then the checkout (which may hold it) are empty
    // folders: tmpfs over them in a mount namespace of its own, which root makes itself (as CI
    // runs) and anyone else, or root without the right to mount, in a user namespace of its own.
    static Finished runHidden(const QStringList& command, const QProcessEnvironment& environment) {
        const auto runIn = [&](const QStringList& namespaces, const QStringList& command) {
            const QStringList hide{"--propagation", "private", "sh",           "-c",
                                   kHide,           "sh",      kBuild.c_str(), kSource.c_str()};
            return run("unshare", namespaces + hide + command, environment);
        };
        for (const QStringList& namespaces :
             {QStringList{"--mount"}, QStringList{"--user", "--map-root-user", "--mount"}}) {
            if (runIn(namespaces, {"true"}).exitCode == 0) return runIn(namespaces, command);
        }
        return {-1, "", "no mount namespace can be made here to hide the checkout"};
    }

    static inline std::unique_ptr<testing::TemporaryFolder> folder_;
    static inline bool installed_ = false;
};

TEST_F(InstalledProgram, FindsItsReaderModelLicencesAndIconBesideItselfAlone) {
    // This program, installed beside the real one, runs the real lookups from there.
    const fs::path probe = prefix() / "bin/quillmere-install-probe";
    fs::copy_file(fs::read_symlink("/proc/self/exe"), probe);
    const Finished found = runHidden({probe.c_str(), "--probe"}, environment("offscreen"));
    EXPECT_EQ(found.output, (prefix() / "libexec/quillmere/quillmere-reader\n").string() +
                                (prefix() / "share/quillmere/Models/MatchFilter.onnx\n").string() +
                                "Open RAW: Unsupported file format or not RAW file\n" +
                                (prefix() / "share/quillmere/Licenses shown\n").string() + "icon\n")
        << found.errors;
}

TEST_F(InstalledProgram, DevelopsARAWPhotoWithDetailAlone) {
    // The photo's saved edit asks for Detail, so its first render needs the reader and the model.
    EditParams detail;
    detail.denoiseMethod = DenoiseMethod::matchFilter;
    detail.denoise = 50;
    PhotoEditStore(home() / "XDG_DATA_HOME/Quillmere/Edits")
        .save({.params = detail}, home() / "photo.dng");
    // The first developed frame the window paints ends the program; a failed render paints none.
    QProcessEnvironment grab = environment({});
    grab.insert("QUILLMERE_SMOKE_GRAB", (home() / "window.png").c_str());
    const Finished shown =
        runHidden({"timeout", "90", "xvfb-run", "-a", "-s", "-screen 0 1600x1000x24",
                   (prefix() / "bin/quillmere").c_str(), "--open", (home() / "photo.dng").c_str()},
                  grab);
    EXPECT_EQ(shown.exitCode, 0) << "124: no developed frame within 90 s\n" << shown.errors;
}

TEST_F(InstalledProgram, WithoutItsModelSaysToInstallAgainAndWhereTheModelBelongs) {
    const fs::path copy = home() / "without-model";
    fs::copy(prefix(), copy, fs::copy_options::recursive | fs::copy_options::create_hard_links);
    const fs::path model = copy / "share/quillmere/Models/MatchFilter.onnx";
    fs::remove(model);
    // A probe of its own: the copy may hold the other test's, linked to the prefix's.
    const fs::path probe = copy / "bin/quillmere-install-probe";
    fs::remove(probe);
    fs::copy_file(fs::read_symlink("/proc/self/exe"), probe);
    const Finished found = runHidden({probe.c_str(), "--probe"}, environment("offscreen"));
    const std::string says =
        "\nThe Detail model is missing. Install Quillmere again to restore "
        "its Detail model. Model file: " +
        model.string() + "\n";
    EXPECT_NE(found.output.find(says), std::string::npos) << found.output << found.errors;
}

TEST_F(InstalledProgram, WithoutItsReaderStopsAtStartThoughTheBuildTreesIsInReach) {
    ASSERT_EQ(access((kBuild / "reader/quillmere-reader").c_str(), X_OK), 0);
    const fs::path copy = home() / "without-reader";
    fs::copy(prefix(), copy, fs::copy_options::recursive | fs::copy_options::create_hard_links);
    fs::remove(copy / "libexec/quillmere/quillmere-reader");
    // It says why on its standard error, then waits for its alert to be read.
    const std::string says =
        "quillmere: Quillmere's photo reader quillmere-reader is missing: it is not in " +
        (copy / "libexec/quillmere").string() + ". Install Quillmere again.\n";
    const Finished stopped =
        run((copy / "bin/quillmere").c_str(), {}, environment("offscreen"), says);
    EXPECT_NE(stopped.errors.find(says), std::string::npos) << stopped.errors;
}

TEST_F(InstalledProgram, IsNeverInstalledIntoTheBuildFolderWhereItWouldTakeTheBuildTreesFiles) {
    const fs::path inside = kBuild / "install-test-stage";
    EXPECT_NE(run(QUILLMERE_CMAKE, {"--install", kBuild.c_str(), "--prefix", inside.c_str()},
                  QProcessEnvironment::systemEnvironment())
                  .exitCode,
              0);
    EXPECT_FALSE(fs::exists(inside));
}

}  // namespace
}  // namespace quillmere

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--probe") == 0) return quillmere::probe(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
