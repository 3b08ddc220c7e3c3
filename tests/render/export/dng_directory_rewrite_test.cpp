#include "core/render/export/dng_directory_rewrite.h"

#include <gtest/gtest.h>

#include "core/render/export/dng_export_error.h"
#include "tests/render/export/classic_tiff_builder.h"
#include "tests/render/export/sample_dng.h"

namespace quillmere {
namespace {

using testing::ClassicTIFFBuilder;
using testing::ClassicTIFFReader;
using testing::makeSampleDNG;
using testing::SampleDNG;
using testing::TIFFEntry;

constexpr std::uint16_t kLong = 4;

XMPPacketBuilder fixedPacket(std::string packet) {
    return [packet](std::optional<std::string_view>) { return packet; };
}

void expectInvalid(std::string bytes) {
    try {
        rewriteDNGDirectory(std::move(bytes), fixedPacket("<new/>"), true);
        ADD_FAILURE() << "the file was accepted";
    } catch (const DNGExportError& error) {
        EXPECT_EQ(error.code(), DNGExportError::Code::invalidDNG);
    }
}

class DNGDirectoryRewriteTest : public ::testing::TestWithParam<bool> {
  protected:
    bool bigEndian() const { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(ByteOrders, DNGDirectoryRewriteTest, ::testing::Bool(),
                         [](const auto& info) {
                             return info.param ? "BigEndian" : "LittleEndian";
                         });

// Every byte of the source but the header's directory offset stays; a new first directory with
// the kept entries and the new values, in tag order, follows it.
TEST_P(DNGDirectoryRewriteTest, AppendsANewDirectoryAndKeepsEveryOtherByte) {
    const SampleDNG sample = makeSampleDNG(bigEndian());
    const std::string packet = "<x:xmpmeta>new packet</x:xmpmeta>";
    const std::string output = rewriteDNGDirectory(sample.bytes, fixedPacket(packet), true);
    EXPECT_EQ(output.substr(0, 4), sample.bytes.substr(0, 4));
    EXPECT_EQ(output.substr(8, sample.bytes.size() - 8), sample.bytes.substr(8));
    const ClassicTIFFReader reader(output);

    const std::uint32_t directory = reader.firstDirectory();
    EXPECT_GE(directory, sample.bytes.size());
    EXPECT_EQ(directory % 2, 0u);
    // The same tags in the same order: the sample's entries are sorted, and it has both new ones.
    const std::vector<TIFFEntry> entries = reader.entries(directory);
    ASSERT_EQ(entries.size(), sample.firstDirectory.size());
    for (std::size_t kept : {0, 1, 2, 5}) EXPECT_EQ(entries[kept], sample.firstDirectory[kept]);
    const TIFFEntry& software = entries[3];
    const TIFFEntry& xmp = entries[4];
    EXPECT_EQ(software.tag, 305);
    EXPECT_EQ(xmp.tag, 700);
    EXPECT_EQ(xmp.type, 1);
    EXPECT_EQ(reader.byteValue(xmp), packet);
    EXPECT_EQ(software.type, 2);
    EXPECT_EQ(reader.byteValue(software), std::string("Quillmere\0", 10));
    // Appended values start on even offsets (the old packet ends the source on an odd length).
    ASSERT_EQ(sample.bytes.size() % 2, 1u);
    for (const TIFFEntry* appended : {&xmp, &software}) {
        EXPECT_EQ(static_cast<unsigned char>(appended->value[bigEndian() ? 3 : 0]) % 2, 0);
    }
    EXPECT_EQ(reader.number(directory + 2 + 12 * entries.size(), 4), sample.secondDirectory);
}

TEST_P(DNGDirectoryRewriteTest, EveryTruncationIsInvalid) {
    const SampleDNG sample = makeSampleDNG(bigEndian());
    for (std::size_t length = 0; length < sample.bytes.size(); ++length) {
        SCOPED_TRACE(length);
        expectInvalid(sample.bytes.substr(0, length));
    }
}

TEST_P(DNGDirectoryRewriteTest, RefusesWhatIsNotAClassicDNG) {
    const SampleDNG sample = makeSampleDNG(bigEndian());
    const ClassicTIFFBuilder orderOf(bigEndian());

    std::string bigTIFF = sample.bytes;
    bigTIFF.replace(2, 2, orderOf.u16(43));
    expectInvalid(bigTIFF);

    std::string unknownOrder = sample.bytes;
    unknownOrder.replace(0, 2, "IM");
    expectInvalid(unknownOrder);

    ClassicTIFFBuilder withoutDNGVersion(bigEndian());
    withoutDNGVersion.setFirstDirectory(withoutDNGVersion.appendDirectory(
        {{256, 3, 1, withoutDNGVersion.inlineShort(16)}, {700, 1, 3, std::string("abc\0", 4)}}, 0));
    expectInvalid(withoutDNGVersion.bytes());

    ClassicTIFFBuilder emptyDirectory(bigEndian());
    emptyDirectory.setFirstDirectory(emptyDirectory.appendDirectory({}, 0));
    expectInvalid(emptyDirectory.bytes());
}

TEST_P(DNGDirectoryRewriteTest, CraftedOffsetsNearFourGigabytesDoNotWrapAround) {
    const SampleDNG sample = makeSampleDNG(bigEndian());
    const ClassicTIFFBuilder orderOf(bigEndian());
    const std::uint32_t directory = ClassicTIFFReader(sample.bytes).firstDirectory();
    const std::size_t xmpEntry = directory + 2 + 4 * 12;

    // In 32 bits, 0xFFFFFFF8 + 2 + 12 × n + 4 wraps around to a small number.
    std::string directoryOffset = sample.bytes;
    directoryOffset.replace(4, 4, orderOf.u32(0xFFFFFFF8));
    expectInvalid(directoryOffset);

    // In 32 bits, offset + count of this packet wraps around into the data.
    std::string packetOffset = sample.bytes;
    packetOffset.replace(xmpEntry + 4, 8, orderOf.u32(0x200) + orderOf.u32(0xFFFFFF00));
    expectInvalid(packetOffset);

    std::string packetCount = sample.bytes;
    packetCount.replace(xmpEntry + 4, 4, orderOf.u32(0xFFFFFFFF));
    expectInvalid(packetCount);
}

TEST_P(DNGDirectoryRewriteTest, EntryCountLimitLeavesRoomForTheTwoNewEntries) {
    const auto fileWithEntries = [this](std::size_t count) {
        ClassicTIFFBuilder builder(bigEndian());
        std::vector<TIFFEntry> entries(count - 1, {254, kLong, 1, builder.u32(0)});
        entries.push_back({50706, 1, 4, std::string("\x01\x04\x00\x00", 4)});
        builder.setFirstDirectory(builder.appendDirectory(entries, 0));
        return builder.bytes();
    };
    const std::string largest =
        rewriteDNGDirectory(fileWithEntries(65529), fixedPacket("<new packet/>"), true);
    const ClassicTIFFReader reader(largest);
    EXPECT_EQ(reader.number(reader.firstDirectory(), 2), 65531u);
    expectInvalid(fileWithEntries(65530));
}

}  // namespace
}  // namespace quillmere
