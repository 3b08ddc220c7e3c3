#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "core/reading/photo_reader.h"
#include "tests/fixtures/temporary_folder.h"

namespace quillmere::testing {

using reader_protocol::JobKind;

inline const std::filesystem::path kStandIn = QUILLMERE_STAND_IN_READER;

// A budget for the stand-in's claims (16 MiB and the claim phase's 64 MiB each): four readers,
// 1 GiB.
inline constexpr ReaderRoom::Budget kRoomy{4, std::uint64_t{1} << 30};

inline ReaderRequest request(const std::string& params, JobKind kind = JobKind::metadata) {
    return {kind, params, {}};
}

// The ReadingError `work` throws; fails the test when it throws none.
inline ReadingError errorOf(const std::function<void()>& work) {
    try {
        work();
    } catch (const ReadingError& error) {
        return error;
    }
    ADD_FAILURE() << "no ReadingError";
    return ReadingError(ReadingError::Kind::notRead, "none");
}

// A photo file of the test's own, and FIFOs for words between the test and a stand-in's job.
class ReadingTest : public ::testing::Test {
  protected:
    std::filesystem::path photo(const std::string& name = "photo.raw",
                                const std::string& bytes = "photo bytes") const {
        std::ofstream(folder.path() / name) << bytes;
        return folder.path() / name;
    }
    std::filesystem::path fifo(const std::string& name) const {
        const std::filesystem::path path = folder.path() / name;
        EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
        return path;
    }

    TemporaryFolder folder;
};

}  // namespace quillmere::testing
