// The developments the RAW checking helper hands back: what the program takes of them, keeps and
// serves, and that they spare it its own development of the file.
#include "core/decode/handed_back_development.h"

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

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
#include "tests/rawbridge/bridge_test_support.h"

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Verdict = RAWFileVetting::Verdict;
using Kind = HandedBackDevelopment::Kind;
using testing::countingValues;

const RAWCheckLimits kQuick{1s, 30s, std::uint64_t{1} << 30};

// Its pixels are `width` × `height` of the counting values from `firstValue` (development_files.h).
void expectPixels(const std::optional<HandedBackDevelopment>& taken, int width, int height,
                  std::uint16_t firstValue) {
    ASSERT_TRUE(taken);
    ASSERT_EQ(taken->width(), width);
    ASSERT_EQ(taken->height(), height);
    const std::vector<std::uint16_t> expected = countingValues(width * height * 4, firstValue);
    EXPECT_EQ(std::memcmp(taken->rgba(), expected.data(), expected.size() * 2), 0);
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

// The stand-in hands back a half-size development of 3 × 2 pixels counting from 100 and a full
// one of 6 × 4 counting from 1000, both at ISO 200; the full one broken as the case says.
TEST_F(HandedBackDevelopmentTest, OnlyWhatIsWhatItSaysIsServedOnceAndNeverChangesTheVerdict) {
    const std::tuple<std::string, Verdict, bool, bool> cases[] = {
        {"honest", Verdict::permitted, true, true},
        {"unsealed", Verdict::permitted, true, false},
        {"short", Verdict::permitted, true, false},
        {"long", Verdict::permitted, true, false},
        {"huge", Verdict::permitted, true, false},
        {"miscounted", Verdict::permitted, true, false},
        {"file", Verdict::permitted, true, false},
        {"three", Verdict::permitted, false, false},
        {"memory", Verdict::exceededMemory, false, false},
    };
    for (const auto& [handBack, verdict, half, full] : cases) {
        SCOPED_TRACE(handBack);
        // Room for the huge one, were it taken.
        RAWFileVetting vetting(helperHandingBack(handBack), kQuick,
                               {1, kQuick.memoryBytes, std::uint64_t{1} << 40});
        const fs::path file = photo(handBack + ".dng");
        EXPECT_EQ(vetting.verdict(file), verdict);
        const std::optional<HandedBackDevelopment> taken =
            vetting.takeDevelopment(file, Kind::half);
        EXPECT_EQ(taken.has_value(), half);
        if (half) {
            expectPixels(taken, 3, 2, 100);
            EXPECT_EQ(taken->iso(), 200.0f);
        }
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

TEST(HandedBackDevelopment, IsOneOfTheTwoDevelopmentsAHelperMakes) {
    for (const std::uint32_t kind : {0u, 1u, 2u, 3u}) {
        testing::DevelopmentFile file = testing::honestDevelopment(Kind::half, 2, 2, 0);
        file.header.kind = kind;
        const std::optional<HandedBackDevelopment> development =
            HandedBackDevelopment::accept(testing::makeDevelopmentFile(file));
        EXPECT_EQ(development ? static_cast<std::uint32_t>(development->kind()) : 0u,
                  kind == 1 || kind == 2 ? kind : 0u);
    }
}

TEST(KeptDevelopments, KeepWithinTheirBudgetTheOldestGoingFirst) {
    // A development of 4 × 1 pixels holds 24 + 32 bytes.
    constexpr std::uint64_t kFour = 56;
    const auto four = [](Kind kind, std::uint16_t firstValue) {
        return *HandedBackDevelopment::accept(
            testing::makeDevelopmentFile(testing::honestDevelopment(kind, 4, 1, firstValue)));
    };
    const auto developments = [](auto... made) {
        std::vector<HandedBackDevelopment> list;
        (list.push_back(std::move(made)), ...);
        return list;
    };
    const RAWFileVersion a{.path = "a"}, b{.path = "b"}, newerB{.path = "b", .changed = 1},
        c{.path = "c"}, d{.path = "d"};
    KeptDevelopments kept(3 * kFour);
    kept.keep(a, developments(four(Kind::full, 1), four(Kind::half, 2), four(Kind::half, 9)));
    kept.keep(b, developments(four(Kind::full, 3)));
    EXPECT_EQ(kept.bytes(), 3 * kFour);
    kept.keep(c, developments(four(Kind::full, 4)));
    EXPECT_EQ(kept.bytes(), 3 * kFour);
    // Larger than the whole budget: neither kept nor the cause of any other going.
    kept.keep(d, developments(*HandedBackDevelopment::accept(testing::makeDevelopmentFile(
                     testing::honestDevelopment(Kind::full, 4, 5, 5)))));
    EXPECT_EQ(kept.bytes(), 3 * kFour);
    // A newer version of b: the older one's bytes are gone from the file.
    kept.keep(newerB, developments(four(Kind::half, 6)));
    EXPECT_EQ(kept.bytes(), 3 * kFour);

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

// Counts the opens of one file from now on, by anyone.
class OpenWatch {
  public:
    explicit OpenWatch(const fs::path& file) : watch_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        EXPECT_GE(inotify_add_watch(watch_, file.c_str(), IN_OPEN), 0);
    }
    ~OpenWatch() { close(watch_); }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    bool opened() const {
        inotify_event event{};
        return read(watch_, &event, sizeof event) > 0;
    }

  private:
    int watch_;
};

// The real helper hands back LibRaw's developments of a file the bridge develops with LibRaw: the
// open and the thumbnail take them instead of reading the file again, and they are exactly what
// the bridge makes of it. A Bayer file the sensor read takes is read by the program itself.
TEST(HandedBackDevelopments, AreTheBridgesOwnAndSpareTheProgramReadingTheFile) {
    rawbridge::testing::TemporaryFolder folder;
    fixtures::SyntheticDNGOptions linear, fourColour, stretched, miscalibrated, bayer;
    linear.linearRaw = true;
    linear.iso = 400;
    linear.scene = fixtures::gradientScene(linear.width, linear.height);
    fourColour.cfaColours = std::array<std::uint8_t, 4>{3, 4, 5, 1};
    stretched.defaultScale = std::array{2.0, 1.0};
    miscalibrated.blackLevels = {3999};
    miscalibrated.whiteLevel = 4000;
    bayer.scene = linear.scene;
    const std::pair<std::string, bool> files[] = {
        {folder.dng("linear.dng", linear), true},
        {folder.dng("four-colour.dng", fourColour), true},
        {folder.dng("stretched.dng", stretched), true},
        {folder.dng("miscalibrated.dng", miscalibrated), true},
        {folder.dng("bayer.dng", bayer), false},
    };
    const Device device;
    for (const auto& [file, handedBack] : files) {
        SCOPED_TRACE(file);
        ASSERT_EQ(rawFileRefusal(file), std::nullopt);
        const OpenWatch watch(file);
        const LibRawFallbackImage image = LibRawFallback::decode(file, device);
        const std::shared_ptr<Texture> thumbnail = linearRAWThumbnail(file, device, 1 << 20);
        EXPECT_EQ(watch.opened(), !handedBack);

        const auto developed = rawbridge::testing::developOriginal(file);
        ASSERT_EQ(developed.result, 0) << developed.error;
        testing::expectDecodedTexture(*image.texture, PixelFormat::rgba16Float, developed.width,
                                      developed.height, "LibRaw fallback linear RGB",
                                      developed.rgba.get());
        EXPECT_EQ(image.iso, developed.iso);
        std::int32_t size[2] = {};
        std::uint16_t* pixels = nullptr;
        ASSERT_EQ(qx_raw_thumbnail(file.c_str(), size, &pixels, nullptr, 0), 0);
        const rawbridge::testing::BridgeBuffer<std::uint16_t> small(pixels);
        ASSERT_NE(thumbnail, nullptr);
        testing::expectDecodedTexture(*thumbnail, PixelFormat::rgba16Float, size[0], size[1],
                                      "RAW thumbnail", small.get());
    }
}

}  // namespace
}  // namespace quillmere
