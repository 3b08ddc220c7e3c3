#include "core/reading/reading_error.h"

#include "core/reading/reader_protocol.h"

namespace quillmere {
namespace {

// What a file that made no claim is said to be.
constexpr std::string_view kUnclaimed = "a photo";

std::string sentence(ReadingError::Kind kind, const std::string& name, std::string_view detail) {
    using Kind = ReadingError::Kind;
    const std::string claimed(detail.empty() ? kUnclaimed : detail);
    switch (kind) {
        case Kind::notFound:
            return name + " cannot be found.";
        case Kind::notRegularFile:
            return name + " is not a regular file.";
        case Kind::unreadable:
            return name + " cannot be opened.";
        case Kind::refused:
            return std::string(detail);
        case Kind::timedOut:
            return name + " needs more processor time than " + claimed + " may take.";
        case Kind::exceededMemory:
            return name + " needs more memory than " + claimed + " may take.";
        case Kind::crashed:
            return name + " could not be read: its reader crashed.";
        case Kind::notRead:
            break;
        case Kind::readerMissing:
            return std::string("Quillmere's photo reader ") + reader_protocol::kProgramName +
                   " is missing.";
    }
    return name + " could not be read this time.";
}

}  // namespace

ReadingError::ReadingError(Kind kind, const std::filesystem::path& file, std::string_view detail)
    : ReadingError(sentence(kind, file.filename().string(), detail), kind) {}

ReadingError::ReadingError(std::string sentence, Kind kind)
    : Error(""), kind_(kind), sentence_(std::move(sentence)) {}

ReadingError ReadingError::readerNotIn(const std::filesystem::path& folder, bool inBuildTree) {
    return missingReader(std::string("Quillmere's photo reader ") + reader_protocol::kProgramName +
                         " is missing: it is not in " + folder.string() + ". " +
                         (inBuildTree ? "Build Quillmere again." : "Install Quillmere again."));
}

ReadingError ReadingError::missingReader(std::string sentence) {
    return ReadingError(std::move(sentence), Kind::readerMissing);
}

}  // namespace quillmere
