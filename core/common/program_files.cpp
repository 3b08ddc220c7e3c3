#include "core/common/program_files.h"

#include <system_error>

#include "core/common/build_config.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;

constexpr const char* kModelFile = "MatchFilter.onnx";
constexpr const char* kIconFile = "quillmere.svg";

// Whether `path` is `folder` or lies inside it, compared by whole components: /b/build-other is
// not inside /b/build.
bool liesInside(const fs::path& path, const fs::path& folder) {
    const fs::path relative = path.lexically_normal().lexically_relative(folder.lexically_normal());
    return !relative.empty() && *relative.begin() != "..";
}

// The folder as /proc/self/exe would spell a file in it (symbolic links resolved), so that a build
// folder reached through a link still holds its programs; as written when it cannot be resolved.
fs::path resolved(const fs::path& folder) {
    std::error_code error;
    fs::path canonical = fs::weakly_canonical(folder, error);
    return error ? folder : canonical;
}

}  // namespace

ProgramFiles ProgramFiles::installed(const fs::path& prefix) {
    const fs::path data = prefix / build_config::kInstalledDataDir;
    return {.readerFolder = prefix / build_config::kInstalledHelperDir,
            .detailModel = data / "Models" / kModelFile,
            .licenses = data / "Licenses",
            .icon = prefix / build_config::kInstalledIconDir / kIconFile,
            .inBuildTree = false};
}

ProgramFiles ProgramFiles::buildTree() {
    const fs::path resources = build_config::kSourceResourcesDir;
    return {.readerFolder = build_config::kBuildTreeReaderDir,
            .detailModel = resources / "models" / kModelFile,
            .licenses = resources / "licenses",
            .icon = resources / kIconFile,
            .inBuildTree = true};
}

ProgramFiles ProgramFiles::forExecutable(const fs::path& executable, const fs::path& buildFolder) {
    if (liesInside(executable, resolved(buildFolder))) return buildTree();
    // <prefix>/bin/quillmere
    return installed(executable.parent_path().parent_path());
}

const std::optional<ProgramFiles>& ProgramFiles::forProcess() {
    static const std::optional<ProgramFiles> files = []() -> std::optional<ProgramFiles> {
        std::error_code error;
        const fs::path executable = fs::read_symlink("/proc/self/exe", error);
        if (error || !executable.is_absolute()) return std::nullopt;
        return forExecutable(executable, build_config::kBuildTreeDir);
    }();
    return files;
}

}  // namespace quillmere
