#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/fixtures/temporary_folder.h"

namespace quillmere::testing {

// Stand-ins for the RAW checking helper: shell scripts that note each run in a log, then run a
// body with the helper's command line (MEMORY_BYTES CPU_SECONDS PROGRAM_PID FILE as $1 to $4)
// and the channel to the program on descriptor 3 ("printf read >&3" permits the file).
class FakeRAWCheckHelpers {
  public:
    std::filesystem::path running(const std::string& body) {
        const std::filesystem::path script = folder.path() / ("helper" + std::to_string(++made_));
        std::ofstream(script) << "#!/bin/sh\necho >> '" << log().string() << "'\n" << body;
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
        return script;
    }
    long runs() const {
        std::ifstream in(log());
        return std::count(std::istreambuf_iterator<char>(in), {}, '\n');
    }
    std::filesystem::path log() const { return folder.path() / "runs.log"; }

    TemporaryFolder folder;

  private:
    int made_ = 0;
};

}  // namespace quillmere::testing
