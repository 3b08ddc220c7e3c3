// The developments the RAW checking helper hands back: what the program takes of them, keeps and
// serves, and that they spare it its own development of the file.
#include "core/decode/handed_back_development.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>

#include <cstring>
#include <fstream>
#include <functional>

#include "core/decode/kept_developments.h"
#include "core/decode/libraw_fallback.h"
#include "core/decode/raw_file_vetting.h"
#include "core/decode/raw_thumbnail.h"
#include "tests/decode/decode_test_support.h"
#include "tests/decode/development_files.h"
#include "tests/decode/fake_raw_check_helper.h"
#include "tests/fixtures/texture_fixtures.h"
#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Verdict = RAWFileVetting::Verdict;
using Kind = HandedBackDevelopment::Kind;
using testing::development;
using testing::makeDevelopmentFile;

const RAWCheckLimits kQuick{1s, 30s, std::uint64_t{1} << 30};

std::optional<HandedBackDevelopment> accepted(const testing::DevelopmentFile& file) {
    return HandedBackDevelopment::accept(makeDevelopmentFile(file));
}

// Its pixels are `width` × `height` of the values counting from `firstValue`.
void expectPixels(const std::optional<HandedBackDevelopment>& taken, int width, int height,
                  std::uint16_t firstValue) {
    ASSERT_TRUE(taken);
    ASSERT_EQ(std::pair(taken->width(), taken->height()), std::pair(width, height));
    const auto expected = testing::countingValues(std::size_t{4} * width * height, firstValue);
    EXPECT_EQ(std::memcmp(taken->rgba(), expected.data(), expected.size() * 2), 0);
}

TEST(HandedBackDevelopment, IsTakenOnlyFromASealedMemoryFileExactlyAsItsHeaderSays) {
    const testing::DevelopmentFile honest = development(Kind::full, 6, 4, 1000, 200.0f);
    const auto changed = [&](const std::function<void(testing::DevelopmentFile&)>& change) {
        testing::DevelopmentFile file = honest;
        change(file);
        return file;
    };
    const std::pair<const char*, testing::DevelopmentFile> broken[] = {
        {"unsealed", changed([](auto& file) { file.seals &= ~F_SEAL_WRITE; })},
        {"short", changed([](auto& file) { file.sizeChange = -8; })},
        {"long", changed([](auto& file) { file.sizeChange = 8; })},
        {"a pixel miscounted", changed([](auto& file) { file.header.pixelBytes -= 8; })},
        {"kind 0", changed([](auto& file) { file.header.kind = 0; })},
        {"kind 3", changed([](auto& file) { file.header.kind = 3; })},
        // Its size true to its header, as a sparse file.
        {"over the largest image", development(Kind::full, 16385, 16384, 0)},
    };
    for (const auto& [name, file] : broken) EXPECT_FALSE(accepted(file)) << name;
    // A file on disk, whose bytes may change at any time.
    const testing::TemporaryFolder folder;
    const fs::path onDisk = folder.path() / "development";
    EXPECT_FALSE(HandedBackDevelopment::accept(makeDevelopmentFile(honest, onDisk.c_str())));

    const std::optional<HandedBackDevelopment> taken = accepted(honest);
    expectPixels(taken, 6, 4, 1000);
    EXPECT_EQ(taken->kind(), Kind::full);
    EXPECT_EQ(taken->iso(), 200.0f);
}

class HandedBackDevelopmentTest : public ::testing::Test {
  protected:
    // The stand-in helper handing back `handBack` (fake_development_helper.cpp).
    fs::path helperHandingBack(const std::string& handBack) {
        return helpers.running("exec '" QUILLMERE_FAKE_DEVELOPMENT_HELPER "' " + handBack +
                               " \"$@\"");
    }
    fs::path photo(const std::string& name, const std::string& bytes = "RAW") const {
        std::ofstream(helpers.folder.path() / name) << bytes;
        return helpers.folder.path() / name;
    }

    testing::FakeRAWCheckHelpers helpers;
};

TEST_F(HandedBackDevelopmentTest, AreServedOnceEachBesideAPermitAndNeverChangeTheVerdict) {
    const std::tuple<std::string, Verdict, bool, bool> cases[] = {
        {"honest", Verdict::permitted, true, true},
        {"unsealed", Verdict::permitted, true, false},
        {"three", Verdict::permitted, false, false},
        {"memory", Verdict::exceededMemory, false, false},
    };
    for (const auto& [handBack, verdict, half, full] : cases) {
        SCOPED_TRACE(handBack);
        RAWFileVetting vetting(helperHandingBack(handBack), kQuick,
                               {1, kQuick.memoryBytes, 1 << 20});
        const fs::path file = photo(handBack + ".dng");
        EXPECT_EQ(vetting.verdict(file), verdict);
        const std::optional<HandedBackDevelopment> taken =
            vetting.takeDevelopment(file, Kind::half);
        if (half) expectPixels(taken, 3, 2, 100);
        EXPECT_EQ(taken.has_value(), half);
        EXPECT_EQ(vetting.takeDevelopment(file, Kind::full).has_value(), full);
        EXPECT_FALSE(vetting.takeDevelopment(file, Kind::half));
        EXPECT_FALSE(vetting.takeDevelopment(file, Kind::full));
    }
}

TEST_F(HandedBackDevelopmentTest, AFileRewrittenOrReplacedIsServedOnlyItsNewVersionsOwn) {
    RAWFileVetting vetting(helperHandingBack("honest"), kQuick, {1, kQuick.memoryBytes, 1 << 20});
    const fs::path file = photo("a.dng");
    // Other bytes of the same size under the same modification time, in place or in a copy
    // renamed over it.
    const std::function<void()> changes[] = {
        [&] { photo("a.dng", "RAX"); },
        [&] { fs::rename(photo("copy", "RAY"), file); },
    };
    for (const std::function<void()>& change : changes) {
        EXPECT_EQ(vetting.verdict(file), Verdict::permitted);
        const fs::file_time_type modified = fs::last_write_time(file);
        change();
        fs::last_write_time(file, modified);
        EXPECT_FALSE(vetting.takeDevelopment(file, Kind::half));
        EXPECT_FALSE(vetting.takeDevelopment(file, Kind::full));
    }
    EXPECT_EQ(vetting.verdict(file), Verdict::permitted);
    expectPixels(vetting.takeDevelopment(file, Kind::full), 6, 4, 1000);
}

TEST(KeptDevelopments, KeepWithinTheirBudgetTheOldestGoingFirst) {
    // Each development of 4 × 1 pixels holds 24 + 32 bytes; the budget is three.
    KeptDevelopments kept(3 * 56);
    const auto keep = [&](const RAWFileVersion& version, Kind kind, std::uint16_t value,
                          int height = 1) {
        std::vector<HandedBackDevelopment> developments;
        developments.push_back(*accepted(development(kind, 4, height, value)));
        kept.keep(version, std::move(developments));
    };
    const RAWFileVersion a{.path = "a"}, b{.path = "b"}, newerB{.path = "b", .changed = 1},
        c{.path = "c"}, d{.path = "d"};
    keep(a, Kind::full, 1);
    keep(a, Kind::half, 2);
    keep(a, Kind::half, 9);  // a second of a kind
    keep(b, Kind::full, 3);
    keep(c, Kind::full, 4);       // a's full one goes
    keep(d, Kind::full, 5, 5);    // larger than the whole budget: not kept, nothing goes
    keep(newerB, Kind::half, 6);  // b's older version goes
    EXPECT_EQ(kept.bytes(), 3u * 56);
    // Which development is taken, by its first value; 0 for none.
    const auto taken = [&](const RAWFileVersion& version, Kind kind) {
        const std::optional<HandedBackDevelopment> development = kept.take(version, kind);
        return development ? development->rgba()[0] : 0;
    };
    EXPECT_EQ(taken(a, Kind::full), 0);
    EXPECT_EQ(taken(a, Kind::half), 2);
    EXPECT_EQ(taken(newerB, Kind::half), 6);
    EXPECT_EQ(taken(b, Kind::full), 0);
    EXPECT_EQ(taken(c, Kind::full), 4);
    EXPECT_EQ(taken(d, Kind::full), 0);
    EXPECT_EQ(kept.bytes(), 0u);
}

// The real helper hands back LibRaw's developments of a file the bridge develops with LibRaw: the
// open and the thumbnail take them instead of reading the file (no one opens it), and they are
// exactly what the bridge makes of it, as the next open and thumbnail show. A Bayer file the
// sensor read takes is read by the program.
TEST(HandedBackDevelopments, AreTheBridgesOwnAndSpareTheProgramReadingTheFile) {
    rawbridge::testing::TemporaryFolder folder;
    fixtures::SyntheticDNGOptions linear, fourColour, stretched, miscalibrated, bayer;
    linear.linearRaw = true;
    linear.iso = 400;
    linear.scene = bayer.scene = fixtures::gradientScene(linear.width, linear.height);
    fourColour.cfaColours = std::array<std::uint8_t, 4>{3, 4, 5, 1};
    stretched.defaultScale = std::array{2.0, 1.0};
    miscalibrated.blackLevels = {3999};
    miscalibrated.whiteLevel = 4000;
    const std::pair<std::string, bool> files[] = {
        {folder.dng("linear.dng", linear), true},
        {folder.dng("four-colour.dng", fourColour), true},
        {folder.dng("stretched.dng", stretched), true},
        {folder.dng("miscalibrated.dng", miscalibrated), true},
        {folder.dng("bayer.dng", bayer), false},
    };
    const Device device;
    const auto developed = [&](const std::string& file) {
        const LibRawFallbackImage image = LibRawFallback::decode(file, device);
        return std::tuple(testing::readBytes(*image.texture), image.iso,
                          testing::readBytes(*linearRAWThumbnail(file, device, 1 << 20)));
    };
    for (const auto& [file, handedBack] : files) {
        SCOPED_TRACE(file);
        ASSERT_EQ(rawFileRefusal(file), std::nullopt);
        const int opens = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(inotify_add_watch(opens, file.c_str(), IN_OPEN), 0);
        const auto taken = developed(file);
        inotify_event opened{};
        EXPECT_EQ(read(opens, &opened, sizeof opened) > 0, !handedBack);
        close(opens);
        EXPECT_EQ(taken, developed(file));
    }
}

}  // namespace
}  // namespace quillmere
