#include "rawbridge/bridge_steps.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <libraw/libraw.h>

#include <atomic>
#include <stdexcept>

#include "rawbridge/bridge_call.h"
#include "rawbridge/libraw_instance.h"
#include "tests/rawbridge/bridge_test_support.h"

namespace {

std::atomic<int> unpacks{0};
std::atomic<int> developments{0};

template <typename Function>
Function libraws(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace

// This test program's own definitions of LibRaw's unpacking and development come before the
// library's: they count each call and go on to LibRaw's.
int LibRaw::unpack() {
    static const auto own = libraws<int (*)(LibRaw*)>("_ZN6LibRaw6unpackEv");
    ++unpacks;
    return own(this);
}

int LibRaw::dcraw_process() {
    static const auto own = libraws<int (*)(LibRaw*)>("_ZN6LibRaw13dcraw_processEv");
    ++developments;
    return own(this);
}

namespace quillmere::rawbridge {
namespace {

using fixtures::SyntheticDNGOptions;

// The checking helper's steps are the ones the bridge takes on each kind of file: a Bayer file is
// unpacked and nothing developed; a file the sensor read refuses is also developed as the
// fallback develops it; any other file is developed as its thumbnail and as the fallback.
TEST(BridgeSteps, UnpackABayerFileAndDevelopEveryFileTheProgramHasLibRawDevelop) {
    const testing::TemporaryFolder folder;
    SyntheticDNGOptions narrow = testing::greyCard();
    narrow.width = 30;  // too small for the sensor read
    SyntheticDNGOptions linear;
    linear.linearRaw = true;
    const struct {
        std::string path;
        int unpacks, developments;
    } cases[] = {
        {folder.dng("bayer.dng", testing::greyCard()), 1, 0},
        {folder.dng("narrow.dng", narrow), 2, 1},
        {folder.dng("linear.dng", linear), 2, 2},
        {testing::testData("tinydng_colorchart.dng"), 1, 0},
    };
    for (const auto& file : cases) {
        SCOPED_TRACE(file.path);
        unpacks = developments = 0;
        takeBridgeSteps(file.path.c_str());
        EXPECT_EQ(unpacks, file.unpacks);
        EXPECT_EQ(developments, file.developments);
    }
}

TEST(BridgeSteps, FailAsTheBridgeFailsAndTellRunningOutOfMemoryApart) {
    unpacks = 0;
    EXPECT_THROW(takeBridgeSteps(testing::testData("exiftool_Nikon.nef").c_str()),
                 std::runtime_error);
    EXPECT_EQ(unpacks, 0);  // no image data: refused before anything is unpacked
    EXPECT_THROW(takeBridgeSteps(testing::testData("missing.dng").c_str()), std::runtime_error);
    EXPECT_THROW(check(LIBRAW_UNSUFFICIENT_MEMORY, "Unpack RAW"), OutOfMemory);
}

}  // namespace
}  // namespace quillmere::rawbridge
