#include "core/reading/photo_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <csignal>
#include <cstdlib>
#include <future>

#include "core/common/program_files.h"
#include "core/reading/sealed_file.h"
#include "core/reading/wire.h"
#include "tests/reading/reading_test_support.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Kind = ReadingError::Kind;
using reader_protocol::JobKind;
using testing::errorOf;
using testing::kRoomy;
using testing::kStandIn;
using testing::request;

std::size_t openDescriptors() {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), {}));
}

class PhotoReaderTest : public testing::ReadingTest {};

TEST_F(PhotoReaderTest, EachEndOfAReaderIsToldAndKeptAsItsKindSays) {
    const std::string claimed = "a photo of 6000 × 4000 pixels may take.",
                      memory = "photo.raw needs more memory than ",
                      time = "photo.raw needs more processor time than ",
                      notRead = "photo.raw could not be read this time.";
    const struct {
        const char* params;
        std::optional<Kind> kind;
        std::string sentence;
        // Readers started for two requests, and for one more once time verdicts are forgotten.
        std::size_t twice, afterForgetting;
    } cases[] = {
        {"answer 16", std::nullopt, "", 2, 3},
        {"refuseClaim", Kind::refused, "The stand-in refuses this photo.", 1, 1},
        {"none", Kind::refused, "The stand-in has no behaviour none.", 1, 1},
        {"crash", Kind::crashed, "photo.raw could not be read: its reader crashed.", 1, 1},
        {"exceedMemory", Kind::exceededMemory, memory + claimed, 1, 1},
        {"crashAfterFailedAllocation", Kind::exceededMemory, memory + claimed, 1, 1},
        {"busErrorInAnswerFile", Kind::exceededMemory, memory + claimed, 1, 1},
        {"answerFileBeyondMemory", Kind::exceededMemory, memory + claimed, 1, 1},
        {"busErrorBesideAnswerFile", Kind::crashed,
         "photo.raw could not be read: its reader crashed.", 1, 1},
        {"throwBadAlloc", Kind::exceededMemory, memory + claimed, 1, 1},
        {"threadWithoutMemory", Kind::exceededMemory, memory + claimed, 1, 1},
        {"memoryInClaim", Kind::exceededMemory, memory + "a photo may take.", 1, 1},
        {"claimOverCeiling", Kind::exceededMemory,
         memory + "a photo of 99999 × 99999 pixels may take.", 1, 1},
        {"spin", Kind::timedOut, time + claimed, 1, 2},
        {"spinThenKill", Kind::timedOut, time + claimed, 1, 2},
        {"claimOverTime", Kind::timedOut, time + claimed, 1, 2},
        {"spinInClaim", Kind::timedOut, time + "a photo may take.", 1, 2},
        {"answerThenCrash", Kind::crashed, "photo.raw could not be read: its reader crashed.", 1,
         1},
        {"allocateWithinClaim", std::nullopt, "", 2, 3},
        {"rawClaim 1099511627776", Kind::exceededMemory, memory + "a photo may take.", 1, 1},
        {"killSelf", Kind::notRead, notRead, 2, 3},
        {"unreadableClaim", Kind::notRead, notRead, 2, 3},
        {"rawClaim 0", Kind::notRead, notRead, 2, 3},
        {"tooManyFiles 8", Kind::notRead, notRead, 2, 3},
    };
    const auto file = OpenedFile::open(photo());
    const std::size_t descriptors = openDescriptors();
    for (const auto& [params, kind, sentence, twice, afterForgetting] : cases) {
        SCOPED_TRACE(params);
        PhotoReader reader(kStandIn, kRoomy);
        const auto ask = [&] {
            try {
                reader.ask(*file, request(params));
                EXPECT_FALSE(kind);
            } catch (const ReadingError& error) {
                EXPECT_EQ(error.kind(), kind);
                EXPECT_EQ(error.what(), sentence);
            }
        };
        ask();
        ask();
        EXPECT_EQ(reader.readersStarted(), twice);
        reader.forgetTimeVerdicts(file->path());
        ask();
        EXPECT_EQ(reader.readersStarted(), afterForgetting);
    }
    // Every reader was reaped, every descriptor that came from one closed.
    EXPECT_EQ(openDescriptors(), descriptors);
}

TEST_F(PhotoReaderTest, AVerdictHoldsForTheFileVersionAndJobItWasGivenFor) {
    PhotoReader reader(kStandIn, kRoomy);
    const fs::path path = photo();
    const auto crash = [&](JobKind kind) {
        return errorOf([&] { reader.ask(*OpenedFile::open(path), request("crash", kind)); });
    };
    EXPECT_EQ(crash(JobKind::metadata).kind(), Kind::crashed);
    // Opening the photo again forgets no crash.
    reader.forgetTimeVerdicts(path);
    EXPECT_EQ(crash(JobKind::metadata).kind(), Kind::crashed);
    EXPECT_EQ(reader.readersStarted(), 1u);
    // A job the reader does not know is refused, and that is kept too.
    EXPECT_EQ(crash(JobKind::rawThumbnail).what(),
              std::string("This reader does not know that job."));
    EXPECT_EQ(crash(JobKind::rawThumbnail).kind(), Kind::refused);
    EXPECT_EQ(reader.readersStarted(), 2u);
    // Other bytes are another version, asked again.
    photo("photo.raw", "other bytes");
    EXPECT_EQ(crash(JobKind::metadata).kind(), Kind::crashed);
    EXPECT_EQ(reader.readersStarted(), 3u);
}

TEST_F(PhotoReaderTest, AnAnswersFilesAreTakenOnlySealedAndOfTheSizeItsBodySays) {
    PhotoReader reader(kStandIn, kRoomy);
    const auto file = OpenedFile::open(photo());
    const std::pair<const char*, bool> cases[] = {
        {"answer 5000", true}, {"unsealed 5000", false},           {"writeSealedOnly 5000", false},
        {"short 5000", false}, {"shrinkAfterSending 5000", false},
    };
    for (const auto& [params, taken] : cases) {
        ReaderAnswer answer = reader.ask(*file, request(params));
        WireReader body(answer.body);
        const std::uint64_t size = body.u64();
        body.finish();
        const std::optional<std::vector<SealedFile>> files =
            acceptSealedFiles(std::move(answer.files), std::span(&size, 1));
        EXPECT_EQ(files.has_value(), taken) << params;
        if (files) {
            EXPECT_EQ((*files)[0].data()[4999], std::byte{4999 % 251});
        }
    }
    // A body that is not what its job's answers are.
    const std::string garbageBody = reader.ask(*file, request("garbage")).body;
    WireReader garbage(garbageBody);
    EXPECT_THROW(garbage.u64(), WireError);
    // A request and an answer larger than a message travel in memory files.
    const std::string large = "echo " + std::string(100'000, 'x');
    EXPECT_EQ(reader.ask(*file, request(large)).body, large);
}

TEST_F(PhotoReaderTest, TheReaderReadsTheFileThatWasOpenedNotThePathsNewOne) {
    PhotoReader reader(kStandIn, kRoomy);
    const fs::path path = photo("photo.raw", "first file");
    const auto opened = OpenedFile::open(path);
    fs::rename(photo("other.raw", "second file"), path);
    // Each reader from the start of the file, wherever another moved its own offset.
    for (int time = 0; time < 2; ++time) {
        EXPECT_EQ(reader.ask(*opened, request("firstBytes 10")).body, "first file");
    }
}

TEST_F(PhotoReaderTest, AReaderThatHangsIsKilledWhenStoppedOrAtItsBackstop) {
    const auto file = OpenedFile::open(photo());
    PhotoReader reader(kStandIn, kRoomy);
    const fs::path hung = fifo("hung");
    std::stop_source stopping;
    auto asked = std::async(std::launch::async, [&] {
        return errorOf([&] {
            reader.ask(*file, request("spinThenHang " + hung.string()), stopping.get_token());
        });
    });
    // Its job runs, uses most of its processor time and hangs: killed on purpose, it did not run
    // out of time.
    EXPECT_EQ(std::ifstream(hung).get(), 'h');
    stopping.request_stop();
    EXPECT_EQ(asked.get().kind(), Kind::notRead);

    PhotoReader quick(kStandIn, kRoomy, {.work = 50ms, .workPerClaimed = 0});
    EXPECT_EQ(errorOf([&] { quick.ask(*file, request("hang")); }).kind(), Kind::notRead);
    EXPECT_EQ(errorOf([&] { quick.ask(*file, {}, stopping.get_token()); }).kind(), Kind::notRead);
    EXPECT_EQ(quick.readersStarted(), 1u);
}

TEST_F(PhotoReaderTest, AMissingReaderIsNamedWithTheFolderItIsNotIn) {
    const auto file = OpenedFile::open(photo());
    const fs::path none = folder.path() / "none";
    PhotoReader missing(none / "quillmere-reader", kRoomy);
    const std::string sentence =
        "Quillmere's photo reader quillmere-reader is missing: it is not in " + none.string() +
        ". Build Quillmere again.";
    for (int time = 0; time < 2; ++time) {
        const ReadingError error = errorOf([&] { missing.ask(*file, request("answer 1")); });
        EXPECT_EQ(error.kind(), Kind::readerMissing);
        EXPECT_EQ(error.what(), sentence);
    }

    // The build's own reader, unless the variable names another.
    ASSERT_EQ(std::getenv(reader_protocol::kLocationVariable), nullptr);
    const fs::path own = ProgramFiles::buildTree().readerFolder / "quillmere-reader";
    EXPECT_EQ(PhotoReader::locate(), own);
    setenv(reader_protocol::kLocationVariable, kStandIn.c_str(), 1);
    EXPECT_EQ(PhotoReader::locate(), kStandIn);
    setenv(reader_protocol::kLocationVariable, none.c_str(), 1);
    EXPECT_EQ(errorOf([] { PhotoReader::locate(); }).what(),
              "Quillmere's photo reader quillmere-reader is missing: QUILLMERE_READER names " +
                  none.string() + ", which is not a program.");
    unsetenv(reader_protocol::kLocationVariable);

    // The build's reader refuses a kind of job it does not know.
    PhotoReader real(own, kRoomy);
    EXPECT_EQ(errorOf([&] { real.ask(*file, request("", static_cast<JobKind>(0))); }).what(),
              std::string("This reader does not know that job."));
}

// A parent that ignores SIGCHLD has the kernel reap its children: their ends cannot be read.
TEST_F(PhotoReaderTest, AProgramStartedIgnoringSIGCHLDReadsItsReadersEndsAll) {
    const auto inherited = signal(SIGCHLD, SIG_IGN);
    PhotoReader reader(kStandIn, kRoomy);
    EXPECT_EQ(signal(SIGCHLD, inherited), SIG_DFL);
    EXPECT_EQ(reader.ask(*OpenedFile::open(photo()), request("echo")).body, "echo");
}

TEST_F(PhotoReaderTest, AReaderHasItsChannelPhotoAndNullStreamsOpenAndEverySignalAtItsDefault) {
    PhotoReader reader(kStandIn, kRoomy);
    const auto file = OpenedFile::open(photo());
    const UniqueDescriptor inheritable(fcntl(0, F_DUPFD, 10));
    const auto ignored = signal(SIGPIPE, SIG_IGN);
    sigset_t blocked, before;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &blocked, &before);
    EXPECT_EQ(reader.ask(*file, request("inherited")).body,
              "0=/dev/null 1=/dev/null 2=/dev/null 3= 4= SigBlk:0 SigIgn:0 ");
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    signal(SIGPIPE, ignored);
}

TEST(ReaderCommandLine, TheReaderRunsOnlyWithItsCommandLineParentAndPhoto) {
    // The shell's `$$` is the reader's parent ("; exit" keeps the shell from handing its
    // process to the reader); a channel that is no socket ends at once, with status 0.
    const std::string reader = "'" + fs::path(kStandIn).string() + "' ";
    const std::pair<std::string, int> cases[] = {
        {"$$ 1073741824 3</dev/null 4</dev/null", 2},
        {"$$ 1073741824 3</dev/null 4<'" + kStandIn.string() + "'", 0},
        {"1 1073741824 3</dev/null 4<'" + kStandIn.string() + "'", 2},
        {"$$ 0 3</dev/null 4<'" + kStandIn.string() + "'", 2},
        {"$$ 1073741824 5 3</dev/null 4<'" + kStandIn.string() + "'", 2},
        {"$$ 1073741824 3</dev/null 4<&-", 2},
    };
    for (const auto& [arguments, status] : cases) {
        const int ended = std::system((reader + arguments + "; exit $?").c_str());
        EXPECT_TRUE(WIFEXITED(ended)) << arguments;
        EXPECT_EQ(WEXITSTATUS(ended), status) << arguments;
    }
}

}  // namespace
}  // namespace quillmere
