#include "core/reading/wire.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace quillmere {
namespace {

// Every value, read back in the order written: the one order both sides know.
void readAll(WireReader& reader) {
    EXPECT_EQ(reader.u8(), 0xAB);
    EXPECT_EQ(reader.u32(), 0x01020304u);
    EXPECT_EQ(reader.u64(), 0x0102030405060708u);
    EXPECT_EQ(reader.i32(), -2);
    EXPECT_EQ(reader.i64(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(reader.f32(), -1.5f);
    EXPECT_TRUE(std::isnan(reader.f64()));
    EXPECT_TRUE(reader.boolean());
    EXPECT_EQ(reader.text(8), "naïve");
    EXPECT_EQ(reader.bytes(3), std::string_view("\0\1\2", 3));
    reader.finish();
}

std::string message() {
    return WireWriter()
        .u8(0xAB)
        .u32(0x01020304)
        .u64(0x0102030405060708)
        .i32(-2)
        .i64(std::numeric_limits<std::int64_t>::min())
        .f32(-1.5f)
        .f64(std::nan(""))
        .boolean(true)
        .text("naïve")
        .bytes(std::string_view("\0\1\2", 3))
        .take();
}

TEST(Wire, ValuesAreLittleEndianFixedWidthWithoutPadding) {
    const std::string bytes = message();
    // 1 + 4 + 8 + 4 + 8 + 4 + 8 + 1 + (8 + 6) + (8 + 3)
    ASSERT_EQ(bytes.size(), 63u);
    EXPECT_EQ(bytes.substr(1, 4), std::string("\x04\x03\x02\x01", 4));
    EXPECT_EQ(bytes.substr(13, 4), std::string("\xFE\xFF\xFF\xFF", 4));
    WireReader reader(bytes);
    readAll(reader);
}

TEST(Wire, EveryCutShortOrOverlongMessageThrows) {
    const std::string bytes = message();
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        WireReader reader(std::string_view(bytes).substr(0, length));
        EXPECT_THROW(readAll(reader), WireError) << "cut at " << length;
    }
    const std::string longer = bytes + '\0';
    WireReader reader(longer);
    EXPECT_THROW(readAll(reader), WireError);
}

TEST(Wire, LengthsAndBooleansAreCheckedBeforeTheyAreUsed) {
    const std::pair<std::string, std::function<void(WireReader&)>> cases[] = {
        // Longer than the caller allows, though the bytes are there.
        {WireWriter().text("12345").take(), [](WireReader& r) { r.text(4); }},
        {WireWriter().bytes("12345").take(), [](WireReader& r) { r.bytes(4); }},
        // A length no message holds: nothing is allocated for it.
        {WireWriter().u64(std::uint64_t{1} << 63).take(), [](WireReader& r) { r.text(SIZE_MAX); }},
        {WireWriter().u8(2).take(), [](WireReader& r) { r.boolean(); }},
    };
    for (const auto& [bytes, read] : cases) {
        WireReader reader(bytes);
        EXPECT_THROW(read(reader), WireError);
    }
    const std::string exactly = WireWriter().text("1234").take();
    WireReader exact(exactly);
    EXPECT_EQ(exact.text(4), "1234");
}

}  // namespace
}  // namespace quillmere
