#include "reader/metadata/checks/metadata_check.h"

#include <gtest/gtest.h>

#include <chrono>
#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <string>

#include "core/common/file_io.h"
#include "core/imageio/exiv2_lock.h"
#include "core/imageio/image_properties.h"
#include "core/imageio/jpeg/jpeg_encoder.h"
#include "core/imageio/photo_metadata.h"
#include "core/imageio/xmp_document.h"
#include "reader/metadata/checks/metadata_refusal.h"
#include "reader/metadata/checks/xmp_structure.h"
#include "reader/metadata/exiv2_image.h"
#include "reader/metadata/image_properties_reading.h"
#include "reader/metadata/photo_metadata_reading.h"
#include "reader/raster/raster_decoder.h"
#include "reader/raster/thumbnail.h"
#include "tests/fixtures/hostile_metadata.h"
#include "tests/fixtures/synthetic_dng.h"
#include "tests/fixtures/temporary_folder.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_heic.h"
#include "tests/fixtures/test_pattern.h"

namespace quillmere {
namespace {

using fixtures::TiffBlock;
using fixtures::TiffEntry;
using metadata::MetadataContainer;

constexpr std::uint16_t kUndefined = 7;
constexpr std::uint16_t kLong = 4;

// Why the check refuses `bytes`; empty when it lets them through.
std::string refusal(MetadataContainer container, const std::string& bytes) {
    try {
        metadata::checkMetadata(container, bytes);
        return {};
    } catch (const metadata::MetadataRefusal& error) {
        return error.what();
    }
}

// An EXIF block of one directory.
std::string singleDirectory(TiffBlock block, const std::vector<TiffEntry>& entries) {
    block.setFirstDirectory(block.appendDirectory(entries));
    return block.bytes();
}

// Values named once fit; named twice, the same bytes claim more than the block holds.
std::string namingSharedBytes(int times) {
    TiffBlock block;
    const std::uint32_t shared = block.append(std::string(400, 'v'));
    return singleDirectory(block, fixtures::entriesNaming(0x9000, times, shared, 400));
}

// IFD0, then IFD1 whose next directory is IFD0 again when `loop`.
std::string chainedDirectories(bool loop) {
    TiffBlock block;
    const std::uint32_t ifd0 = 8;
    const std::uint32_t ifd1 = ifd0 + 2 + 12 + 4;
    EXPECT_EQ(block.appendDirectory({{0x9000, 3, 1, 1}}, ifd1), ifd0);
    EXPECT_EQ(block.appendDirectory({{0x9001, 3, 1, 1}}, loop ? ifd0 : 0), ifd1);
    block.setFirstDirectory(ifd0);
    return block.bytes();
}

// IFD0 naming one EXIF directory as its EXIF and its GPS directory, which Exiv2 reads once.
std::string directoryNamedTwice() {
    TiffBlock block;
    const std::uint32_t exif = block.appendDirectory({{0x9000, 3, 1, 1}});
    return singleDirectory(block, {{0x8769, kLong, 1, exif}, {0x8825, kLong, 1, exif}});
}

// IFD0's EXIF offsets name four directories, which Exiv2 files under the EXIF, GPS,
// interoperability and MPF groups in turn; it reads no entry of the last, whose entries here
// name one value twice.
std::string exifOffsetsIntoTheMpfGroup() {
    TiffBlock block;
    const std::uint32_t shared = block.append(std::string(400, 'v'));
    std::string offsets;
    for (int index = 0; index < 3; ++index) {
        const std::uint32_t directory = block.appendDirectory({{0x9000, 3, 1, 1}});
        offsets.append(reinterpret_cast<const char*>(&directory), 4);
    }
    const std::uint32_t mpf =
        block.appendDirectory(fixtures::entriesNaming(0x9000, 2, shared, 400));
    offsets.append(reinterpret_cast<const char*>(&mpf), 4);
    const std::uint32_t at = block.append(offsets);
    return singleDirectory(block, {{0x8769, kLong, 4, at}});
}

// A Fujifilm maker note whose directory holds a sub-directory holding a sub-directory ... `depth`
// deep, each of Fujifilm's own group.
std::string fujifilmNesting(int depth) {
    TiffBlock block;
    const std::uint32_t make = block.append(std::string("FUJIFILM\0", 10));
    // The note: its header, then directories of one entry each, the last empty. Offsets in it
    // count from its first byte.
    std::string note("FUJIFILM\x0c\0\0\0", 12);
    for (int level = 0; level < depth; ++level) {
        const auto next = static_cast<std::uint32_t>(note.size() + 18);
        note += std::string("\x01\0\0\xf0\x04\0\x01\0\0\0", 10);
        note.append(reinterpret_cast<const char*>(&next), 4);
        note += std::string(4, '\0');
    }
    note += std::string(6, '\0');
    const std::uint32_t noteAt = block.append(note);
    const std::uint32_t exif = block.appendDirectory(
        {{0x927c, kUndefined, static_cast<std::uint32_t>(note.size()), noteAt}});
    return singleDirectory(block, {{0x010f, 2, 10, make}, {0x8769, kLong, 1, exif}});
}

// A Nikon maker note, with its own TIFF header, whose offsets count from that header: its preview
// directory, at offset 8, holds `times` entries naming one value. Counted from the block's start
// instead, offset 8 would be an empty directory.
std::string nikonPreviewNaming(int times) {
    const auto directoryBytes = [](const std::vector<TiffEntry>& entries) {
        TiffBlock directory;
        directory.appendDirectory(entries);
        return directory.bytes().substr(8);
    };
    constexpr std::uint32_t shared = 56;
    // Offsets from the note's TIFF header: the preview directory at 8, the main one at 38
    // (0x26), the shared value at 56.
    std::string note("Nikon\0\x02\x10\0\0II*\0\x26\0\0\0", 18);
    note += directoryBytes(fixtures::entriesNaming(0x9000, times, shared, 400));
    note.resize(10 + 38, '\0');
    note += directoryBytes({{0x0011, 13, 1, 8}});
    note.resize(10 + shared, '\0');
    note += std::string(400, 's');

    TiffBlock block;
    block.append(std::string(8, '\0'));
    const std::uint32_t make = block.append(std::string("NIKON\0", 6));
    const std::uint32_t noteAt = block.append(note);
    const std::uint32_t exif = block.appendDirectory(
        {{0x927c, kUndefined, static_cast<std::uint32_t>(note.size()), noteAt}});
    return singleDirectory(block, {{0x010f, 2, 6, make}, {0x8769, kLong, 1, exif}});
}

// A Canon maker note whose camera settings array holds `bytes` bytes: Exiv2 makes an entry of
// each 16-bit number.
std::string canonSettings(std::uint32_t bytes) {
    TiffBlock block;
    const std::uint32_t make = block.append(std::string("Canon\0", 6));
    const std::uint32_t settings = block.append(std::string(bytes, '\0'));
    const std::uint32_t note =
        block.appendDirectory({{0x0001, 3, bytes / 2, settings}, {0x0002, 3, 1, 1}});
    const std::uint32_t exif = block.appendDirectory({{0x927c, kUndefined, 30, note}});
    return singleDirectory(block, {{0x010f, 2, 6, make}, {0x8769, kLong, 1, exif}});
}

// An EXIF directory naming one Canon maker note of most of the block `times` times: Exiv2 reads
// its directory once but keeps its bytes for each.
std::string makernoteNamed(int times) {
    TiffBlock block;
    const std::uint32_t make = block.append(std::string("Canon\0", 6));
    const std::uint32_t note = block.appendDirectory({{0x0002, 3, 1, 1}});
    block.append(std::string(600, 'n'));
    const std::vector<TiffEntry> notes(times, TiffEntry{0x927c, kUndefined, 618, note});
    const std::uint32_t exif = block.appendDirectory(notes);
    return singleDirectory(block, {{0x010f, 2, 6, make}, {0x8769, kLong, 1, exif}});
}

// IFD1 naming a thumbnail of most of the block `copies` times: Exiv2 copies it for each.
std::string thumbnailNamed(int copies) {
    TiffBlock block;
    const std::uint32_t thumbnail = block.append(std::string(600, 't'));
    std::vector<TiffEntry> entries{{0x0202, kLong, 1, 600}};
    for (int copy = 0; copy < copies; ++copy) entries.push_back({0x0201, kLong, 1, thumbnail});
    const std::uint32_t ifd1 = block.appendDirectory(entries);
    block.setFirstDirectory(block.appendDirectory({{0x9000, 3, 1, 1}}, ifd1));
    return block.bytes();
}

// IFD0 with an IPTC block of `datasets` one-letter keywords.
std::string iptcDatasets(int datasets) {
    TiffBlock block;
    std::string iptc;
    for (int index = 0; index < datasets; ++index) iptc += std::string("\x1c\x02\x19\0\x01k", 6);
    const std::uint32_t at = block.append(iptc);
    return singleDirectory(block,
                           {{0x83bb, kUndefined, static_cast<std::uint32_t>(iptc.size()), at}});
}

// IFD0 with an XMP packet.
std::string tiffXmp(const std::string& packet) {
    TiffBlock block;
    const std::uint32_t at = block.append(packet);
    return singleDirectory(block, {{0x02bc, 1, static_cast<std::uint32_t>(packet.size()), at}});
}

// A JPEG's opening segments with `segments` ICC profile segments.
std::string jpegIccSegments(int segments) {
    std::string jpeg = "\xff\xd8";
    for (int index = 1; index <= segments; ++index) {
        jpeg += std::string("\xff\xe2\0\x14ICC_PROFILE\0", 16);
        jpeg += static_cast<char>(index);
        jpeg += static_cast<char>(segments);
        jpeg += std::string(4, '\0');
    }
    return jpeg + "\xff\xd9";
}

// A CRW file whose heaps each name the heap inside them `fanOut` times, `levels` deep: Exiv2
// reads the innermost one fanOut^levels times.
std::string ciffFanOut(int fanOut, int levels) {
    std::string heap("\0\0\0\0\0\0", 6);  // no entries; the directory at 0
    for (int level = 0; level < levels; ++level) {
        const auto inner = static_cast<std::uint32_t>(heap.size());
        std::string outer = heap;
        outer += static_cast<char>(fanOut);
        outer += '\0';
        for (int index = 0; index < fanOut; ++index) {
            outer += std::string("\x0a\x30", 2);  // a sub-heap, its value elsewhere
            outer.append(reinterpret_cast<const char*>(&inner), 4);
            outer += std::string(4, '\0');
        }
        outer.append(reinterpret_cast<const char*>(&inner), 4);
        heap = outer;
    }
    return std::string("II\x0e\0\0\0HEAPCCDR", 14) + heap;
}

void appendBigEndian32(std::string& bytes, std::size_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<char>(value >> shift));
}

// A Fujifilm RAF whose embedded JPEG's EXIF is `tiff` (Exiv2 reads it from its TIFF header on).
std::string inRaf(const std::string& tiff) {
    std::string raf = "FUJIFILMCCD-RAW ";
    raf.resize(84, '\0');
    appendBigEndian32(raf, 108);               // the JPEG's offset
    appendBigEndian32(raf, 12 + tiff.size());  // and length
    raf.resize(108, '\0');                     // no second TIFF structure
    return raf + "\xff\xd8\xff\xe1" + std::string(2, '\0') + "Exif" + std::string(2, '\0') + tiff;
}

// A Minolta MRW whose TTW block is `tiff`, after a block of another kind.
std::string inMrw(const std::string& tiff) {
    std::string mrw("\0MRM", 4);
    appendBigEndian32(mrw, 8 + 12 + 8 + tiff.size());
    mrw += std::string("\0PRD", 4);
    appendBigEndian32(mrw, 4);
    mrw += "prd.";
    mrw += std::string("\0TTW", 4);
    appendBigEndian32(mrw, tiff.size());
    return mrw + tiff;
}

std::string nested(int depth) {
    std::string packet;
    for (int level = 0; level < depth; ++level) packet += "<a>";
    for (int level = 0; level < depth; ++level) packet += "</a>";
    return packet;
}

// `packet` in UTF-16 or UTF-32 of either byte order, as some editors write XMP (ASCII only).
std::string recoded(const std::string& packet, std::size_t unitSize, bool bigEndian) {
    std::string coded;
    for (const char c : packet) {
        std::string unit(unitSize, '\0');
        unit[bigEndian ? unitSize - 1 : 0] = c;
        coded += unit;
    }
    return coded;
}

// Each bound of the check, just within and just past it; the limits come from the bounds'
// definitions (a claim no larger than its block, 32768 entries, 24 levels, 4096 datasets, 8192
// XMP properties of one element, of which the description's frame makes 2, 262144 XMP items, of
// which the frame of an array makes 9, 64 ICC segments, 8192 CIFF components).
TEST(MetadataCheck, EachBoundRefusesJustPastIt) {
    struct Case {
        const char* name;
        MetadataContainer container;
        std::string bytes;
        const char* refusal;  // what the refusal names; empty for none
    };
    const MetadataContainer tiff = MetadataContainer::tiff;
    const Case cases[] = {
        {"a value named once", tiff, namingSharedBytes(1), ""},
        {"the same value named twice", tiff, namingSharedBytes(2), "bytes or more of a block"},
        {"a directory chain", tiff, chainedDirectories(false), ""},
        {"a directory chain looping", tiff, chainedDirectories(true), "directories loop"},
        {"one directory named twice, not a loop", tiff, directoryNamedTwice(), ""},
        {"a directory of a group without entries", tiff, exifOffsetsIntoTheMpfGroup(), ""},
        {"maker note directories 3 deep", tiff, fujifilmNesting(3), ""},
        {"maker note directories 30 deep", tiff, fujifilmNesting(30), "nest too deep"},
        {"a Nikon preview naming a value once", tiff, nikonPreviewNaming(1), ""},
        {"a Nikon preview naming it twice", tiff, nikonPreviewNaming(2),
         "bytes or more of a block"},
        {"Canon settings of 100 numbers", tiff, canonSettings(200), ""},
        {"Canon settings of 32768 numbers", tiff, canonSettings(65536), "too many entries"},
        {"a maker note named once", tiff, makernoteNamed(1), ""},
        {"a maker note named twice", tiff, makernoteNamed(2), "maker notes name more bytes"},
        {"a thumbnail copied once", tiff, thumbnailNamed(1), ""},
        {"a thumbnail copied twice", tiff, thumbnailNamed(2), "bytes or more of a block"},
        {"4096 IPTC datasets", tiff, iptcDatasets(4096), ""},
        {"4097 IPTC datasets", tiff, iptcDatasets(4097), "too many datasets"},
        {"8192 XMP properties", tiff, tiffXmp(fixtures::xmpPacketOfProperties(8190)), ""},
        {"8193 XMP properties", tiff, tiffXmp(fixtures::xmpPacketOfProperties(8191)),
         "too many properties"},
        {"262144 XMP items", tiff, tiffXmp(fixtures::xmpPacketOfArrayItems(262135)), ""},
        {"262145 XMP items", tiff, tiffXmp(fixtures::xmpPacketOfArrayItems(262136)),
         "too many items"},
        {"XMP nested 64 deep", tiff, tiffXmp(nested(64)), ""},
        {"XMP nested 65 deep", tiff, tiffXmp(nested(65)), "nest too deep"},
        {"UTF-16 XMP", tiff, tiffXmp(recoded(fixtures::xmpPacketOfProperties(8), 2, false)), ""},
        {"UTF-16 XMP, big-endian, nested 64 deep", tiff, tiffXmp(recoded(nested(64), 2, true)), ""},
        {"UTF-16 XMP nested 65 deep", tiff, tiffXmp(recoded(nested(65), 2, false)),
         "nest too deep"},
        {"UTF-32 XMP", tiff, tiffXmp(recoded(fixtures::xmpPacketOfProperties(8), 4, true)), ""},
        {"UTF-32 XMP of 8193 properties", tiff,
         tiffXmp(recoded(fixtures::xmpPacketOfProperties(8191), 4, false)), "too many properties"},
        {"XMP with a document type", tiff, tiffXmp("<!DOCTYPE a [<!ENTITY b 'c'>]><a>&b;</a>"),
         "document type"},
        {"64 ICC segments", MetadataContainer::jpeg, jpegIccSegments(64), ""},
        {"65 ICC segments", MetadataContainer::jpeg, jpegIccSegments(65), "too many ICC segments"},
        {"a RAF's EXIF naming a value once", MetadataContainer::raf, inRaf(namingSharedBytes(1)),
         ""},
        {"a RAF's EXIF naming it twice", MetadataContainer::raf, inRaf(namingSharedBytes(2)),
         "bytes or more of a block"},
        {"an MRW's TIFF naming a value once", MetadataContainer::mrw, inMrw(namingSharedBytes(1)),
         ""},
        {"an MRW's TIFF naming it twice", MetadataContainer::mrw, inMrw(namingSharedBytes(2)),
         "bytes or more of a block"},
        {"CRW heaps read 4 + 16 times", MetadataContainer::crw, ciffFanOut(4, 2), ""},
        {"CRW heaps read 16^4 times", MetadataContainer::crw, ciffFanOut(16, 4),
         "too many components"},
    };
    for (const Case& testCase : cases) {
        SCOPED_TRACE(testCase.name);
        const std::string why = refusal(testCase.container, testCase.bytes);
        EXPECT_EQ(why.empty(), *testCase.refusal == '\0') << why;
        EXPECT_NE(why.find(testCase.refusal), std::string::npos) << why;
    }
}

// Every real photo keeps every tag Exiv2 read from it before the check: the check lets each
// through, and Exiv2 then reads the same entries.
TEST(MetadataCheck, RealPhotosKeepEveryTag) {
    const std::filesystem::path data = QUILLMERE_TEST_DATA_DIR;
    for (const char* name : {"exiftool_CanonRaw.cr2", "exiftool_CanonRaw.crw", "exiftool_DNG.dng",
                             "exiv2_IMG_1361.dng", "tinydng_colorchart.dng",
                             "exiftool_FujiFilm.raf", "exiftool_Nikon.nef"}) {
        SCOPED_TRACE(name);
        Exiv2Lock lock;
        Exiv2::Image::AutoPtr unchecked = Exiv2::ImageFactory::open((data / name).string());
        unchecked->readMetadata();
        Exiv2::Image::AutoPtr checked;
        ASSERT_NO_THROW(checked = exiv2_image::read(data / name));
        EXPECT_GT(unchecked->exifData().count(), 50);
        EXPECT_EQ(checked->exifData().count(), unchecked->exifData().count());
        EXPECT_EQ(checked->xmpData().count(), unchecked->xmpData().count());
        EXPECT_EQ(checked->iptcData().count(), unchecked->iptcData().count());
    }
}

// The hostile families: EXIF whose entries all name one large block, in a JPEG's APP1 segment, a
// HEIC's EXIF item and a DNG's own directories. Each photo still opens and shows a thumbnail,
// without its metadata; its honest neighbour keeps it.
TEST(MetadataCheck, SharedValueFamiliesLoseTheirMetadataOnly) {
    const std::string picture = encodeJpeg(fixtures::makePattern({.width = 24, .height = 16}), 0.9);
    const std::string jpeg = fixtures::withApp1Segment(picture, fixtures::exifIdentifier,
                                                       fixtures::sharedValueExif(255, 50000));
    EXPECT_EQ(readImagePropertiesData(jpeg), ImageProperties{});
    EXPECT_FALSE(readPhotoMetadataData(jpeg));
    EXPECT_EQ(decodeRasterData(jpeg).width, 24);
    EXPECT_TRUE(Thumbnail::raster(jpeg));
    const std::string honest = fixtures::withExif(
        picture,
        {.make = "Canon", .model = "Camera", .makerNote = true, .thumbnail = true, .gps = true});
    EXPECT_EQ(readImagePropertiesData(honest).model, "Camera");
    EXPECT_EQ(readPhotoMetadataData(honest)->exifValue("Exif.GPSInfo.GPSLatitudeRef"), "N");

    if (fixtures::canEncodeHeic()) {
        const std::string heic =
            fixtures::encodeTestHeic(fixtures::makePattern({.width = 64, .height = 64}),
                                     {.exif = fixtures::sharedValueExif(255, 900000)});
        EXPECT_EQ(readImagePropertiesData(heic), ImageProperties{});
        EXPECT_FALSE(readPhotoMetadataData(heic));
        EXPECT_TRUE(Thumbnail::raster(heic));
    }

    const testing::TemporaryFolder folder;
    const std::filesystem::path dng = folder.path() / "shared.dng";
    fixtures::writeSyntheticDNG(dng, fixtures::SyntheticDNGOptions());
    ASSERT_EQ(readImageProperties(dng).make, "Quillmere");
    file_io::writeFileAtomically(
        dng, fixtures::withSharedValueDirectories(*file_io::readFile(dng), 255, 900000));
    EXPECT_EQ(readImageProperties(dng), ImageProperties{});
    EXPECT_FALSE(readCaptureMetadata(dng));
}

// An XMP packet of more properties than a photo's XMP holds parses as none; a record far larger
// than any photo's, in one property, still parses.
TEST(MetadataCheck, XmpOfTooManyPropertiesReadsAsUnparsed) {
    EXPECT_THROW(metadata::checkXmpPacket(fixtures::xmpPacketOfProperties(20000)),
                 metadata::MetadataRefusal);
    XmpDocument record;
    record.setText("quillmere:EditRecord", std::string(4 << 20, 'r'));
    EXPECT_NO_THROW(metadata::checkXmpPacket(record.serialize()));
}

}  // namespace
}  // namespace quillmere
