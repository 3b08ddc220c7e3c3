#include "core/render/export/dng_converter.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <system_error>

#include "core/common/uuid.h"
#include "core/photo/path_extension.h"
#include "core/render/export/dng_export_error.h"
#include "core/render/export/dng_file.h"

extern char** environ;

namespace quillmere {
namespace fs = std::filesystem;
namespace {

bool isExecutableFile(const fs::path& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

// A fresh folder in the system's temporary directory, removed with everything in it when the
// conversion ends, however it ends. A failure to remove it is of no concern to the export.
class TemporaryFolder {
  public:
    TemporaryFolder()
        : path_(fs::temp_directory_path() / ("Quillmere-DNG-" + UUID::random().uuidString())) {
        fs::create_directories(path_);
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

class SpawnFileActions {
  public:
    SpawnFileActions() { ::posix_spawn_file_actions_init(&actions_); }
    ~SpawnFileActions() { ::posix_spawn_file_actions_destroy(&actions_); }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;

    posix_spawn_file_actions_t* get() { return &actions_; }

  private:
    posix_spawn_file_actions_t actions_;
};

[[noreturn]] void throwSystemError(int code, const std::string& what) {
    throw std::system_error(code, std::generic_category(), what);
}

// Runs the program directly, without a shell, its output discarded, and waits for it.
// True when it exited with status 0.
bool runToCompletion(const fs::path& executable, std::vector<std::string> arguments) {
    SpawnFileActions actions;
    for (int descriptor : {STDOUT_FILENO, STDERR_FILENO}) {
        if (const int error = ::posix_spawn_file_actions_addopen(actions.get(), descriptor,
                                                                 "/dev/null", O_WRONLY, 0)) {
            throwSystemError(error, "could not prepare " + executable.string());
        }
    }
    arguments.insert(arguments.begin(), executable.string());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);

    pid_t child = 0;
    if (const int error = ::posix_spawn(&child, executable.c_str(), actions.get(), nullptr,
                                        argv.data(), environ)) {
        throwSystemError(error, "could not launch " + executable.string());
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) throwSystemError(errno, "could not wait for " + executable.string());
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::optional<fs::path> firstDNGIn(const fs::path& folder) {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (lowercasedExtension(entry.path()) == "dng") return entry.path();
    }
    return std::nullopt;
}

}  // namespace

DNGConverterSetup DNGConverterSetup::standard() {
    return {.allowed = false, .executableCandidates = {}};
}

OpenedDNG convertToDNG(const fs::path& source, const DNGConverterSetup& setup) {
    if (!setup.allowed) {
        throw DNGExportError(DNGExportError::Code::externalConverterUnavailable);
    }
    std::optional<fs::path> converter;
    for (const fs::path& candidate : setup.executableCandidates) {
        if (isExecutableFile(candidate)) {
            converter = candidate;
            break;
        }
    }
    if (!converter) throw DNGExportError(DNGExportError::Code::converterRequired);

    const TemporaryFolder output;
    if (!runToCompletion(*converter,
                         {"-c", "-p0", "-d", output.path().string(), source.string()})) {
        throw DNGExportError(DNGExportError::Code::conversionFailed);
    }
    const std::optional<fs::path> converted = firstDNGIn(output.path());
    if (!converted) throw DNGExportError(DNGExportError::Code::conversionFailed);
    return readDNGFile(*converted);
}

}  // namespace quillmere
