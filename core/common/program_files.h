#pragma once

#include <filesystem>
#include <optional>

namespace quillmere {

// Where the running program's own files are: the folder of its photo reader, the Detail model, the
// folder of licence notices and its icon. Every lookup of these files starts here; none keeps a
// rule of its own.
//
// An installed program finds them beside itself, under whatever prefix it was installed to: its
// executable is <prefix>/bin/quillmere, so they are <prefix>/libexec/quillmere/,
// <prefix>/share/quillmere/Models/MatchFilter.onnx, <prefix>/share/quillmere/Licenses/ and
// <prefix>/share/icons/hicolor/scalable/apps/quillmere.svg (the install rules of the CMakeLists
// put them there). A program run from its build tree (the application, the tests, the benchmarks
// and the bench tools, each in a folder of its own there) finds the reader where the build makes
// it and the rest in the source checkout it was built from. Neither looks in the other's places:
// an installed program must work alone, with the checkout and the build tree gone, and must never
// take a reader or model of a build that may be another version than itself.
struct ProgramFiles {
    // The folder that holds the photo reader (reader_protocol::kProgramName):
    // <prefix>/libexec/quillmere/ once installed, the build tree's reader/ folder in a build.
    std::filesystem::path readerFolder;
    // The Detail denoiser's model file.
    std::filesystem::path detailModel;
    // The folder of the licence notices of the libraries the program links.
    std::filesystem::path licenses;
    // The program's icon (SVG).
    std::filesystem::path icon;
    // True for a program of the build tree.
    bool inBuildTree = false;

    bool operator==(const ProgramFiles&) const = default;

    // The files of a program installed under `prefix`.
    static ProgramFiles installed(const std::filesystem::path& prefix);
    // The files of a program of this build tree.
    static ProgramFiles buildTree();

    // The files of the program whose executable is `executable` (an absolute path without
    // symbolic links, as /proc/self/exe gives it). A program runs from its build tree when its
    // executable lies inside `buildFolder`, the build's binary folder: every program a build makes
    // is made there, and the install rules refuse a prefix inside it, so an installed copy never
    // lies there. Otherwise it is installed, in <prefix>/bin.
    static ProgramFiles forExecutable(const std::filesystem::path& executable,
                                      const std::filesystem::path& buildFolder);

    // The running program's, from /proc/self/exe and the binary folder of the build that made it;
    // worked out once. Nothing when the program cannot read where it is (no /proc): then it has
    // no files of its own, rather than files found relative to an unknown place.
    static const std::optional<ProgramFiles>& forProcess();
};

}  // namespace quillmere
