#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/imageio/jpeg/jpeg_encoder.h"
#include "reader/jpeg/jpeg_file.h"
#include "tests/fixtures/exiv2_orientation.h"
#include "tests/fixtures/test_pattern.h"

namespace quillmere {
namespace {

// A TIFF block written field by field, in either byte order.
class TiffWriter {
  public:
    explicit TiffWriter(bool bigEndian) : bigEndian_(bigEndian) {}

    TiffWriter& u16(std::uint32_t value) { return field(value, 2); }
    TiffWriter& u32(std::uint32_t value) { return field(value, 4); }
    TiffWriter& bytes(const std::string& raw) {
        data_ += raw;
        return *this;
    }
    // The header, its first directory right after it.
    TiffWriter& header() { return bytes(bigEndian_ ? "MM" : "II").u16(42).u32(8); }
    // A directory entry: tag, type, count and the four bytes of its value or offset (a value
    // narrower than four bytes is written at their start).
    TiffWriter& entry(std::uint16_t tag, std::uint16_t type, std::uint32_t count,
                      std::uint32_t value, int valueBytes = 2) {
        u16(tag).u16(type).u32(count);
        field(value, static_cast<std::size_t>(valueBytes));
        return bytes(std::string(4 - static_cast<std::size_t>(valueBytes), '\0'));
    }
    const std::string& data() const { return data_; }

  private:
    TiffWriter& field(std::uint32_t value, std::size_t width) {
        for (std::size_t index = 0; index < width; ++index) {
            const std::size_t shift = 8 * (bigEndian_ ? width - 1 - index : index);
            data_ += static_cast<char>((value >> shift) & 0xFF);
        }
        return *this;
    }

    bool bigEndian_;
    std::string data_;
};

constexpr std::uint16_t kOrientation = 0x0112;
enum Type : std::uint16_t {
    kByte = 1,
    kAscii = 2,
    kShort = 3,
    kLong = 4,
    kRational = 5,
    kSignedByte = 6,
    kSignedShort = 8,
    kSignedLong = 9,
};

// A first directory holding the given entries (each 12 bytes, as TiffWriter::entry writes them),
// then no next directory, then `after`.
std::string tiffWith(bool bigEndian, std::uint16_t entries,
                     const std::function<void(TiffWriter&)>& write, const std::string& after = {}) {
    TiffWriter tiff(bigEndian);
    tiff.header().u16(entries);
    write(tiff);
    tiff.u32(0).bytes(after);
    return tiff.data();
}

std::string orientationTiff(std::uint16_t type, std::uint32_t count, std::uint32_t value,
                            bool bigEndian = false) {
    const int width = type == kLong || type == kSignedLong ? 4 : type == kShort || type == kSignedShort ? 2 : 1;
    return tiffWith(bigEndian, 1,
                    [&](TiffWriter& tiff) { tiff.entry(kOrientation, type, count, value, width); });
}

std::string segment(unsigned char marker, const std::string& payload) {
    const std::size_t length = payload.size() + 2;
    return std::string{'\xFF', static_cast<char>(marker), static_cast<char>(length >> 8),
                       static_cast<char>(length & 0xFF)} +
           payload;
}

std::string exifSegment(const std::string& tiff) {
    return segment(0xE1, std::string("Exif\0\0", 6) + tiff);
}

// A whole JPEG whose first segments are `segments`, then the picture's own.
std::string jpegWith(const std::string& segments) {
    static const std::string picture =
        encodeJpeg(fixtures::makePattern({.width = 16, .height = 8, .markerSize = 4}), 0.9);
    return picture.substr(0, 2) + segments + picture.substr(2);
}

TEST(ExifOrientation, ReadsWhatExiv2ReadsOfTheFirstExifSegment) {
    const std::string six = exifSegment(orientationTiff(kShort, 1, 6));
    const std::string comment = segment(0xFE, "a comment");
    const std::string emptyComment = segment(0xFE, std::string(3, '\0'));
    const std::string fiveEmptyComments =
        emptyComment + emptyComment + emptyComment + emptyComment + emptyComment;
    // A frame header of a 16 × 8 picture, as Exiv2 reads one for the image's size.
    const std::string frame = segment(0xC0, std::string("\x08\0\x08\0\x10\x01\x01\x11\0", 9));
    // Photoshop resource blocks: one IPTC block of 4 bytes whose size field says `stated`.
    const auto photoshop = [](std::uint32_t stated) {
        return segment(0xED, std::string("Photoshop 3.0\0" "8BIM\x04\x04\0\0", 22) +
                                 TiffWriter(true).u32(stated).data() + "abcd");
    };
    // One of `chunks` ICC profile chunks of 20 bytes, the profile stating `stated` bytes.
    const auto profileChunk = [](int chunk, int chunks, std::uint32_t stated) {
        return segment(0xE2, std::string("ICC_PROFILE", 12) + static_cast<char>(chunk) +
                                 static_cast<char>(chunks) + TiffWriter(true).u32(stated).data() +
                                 std::string(16, 'p'));
    };
    const struct {
        const char* name;
        std::string jpeg;
        int expected;
    } cases[] = {
        {"a short, little-endian", jpegWith(six), 6},
        {"a short, big-endian", jpegWith(exifSegment(orientationTiff(kShort, 1, 8, true))), 8},
        {"a long", jpegWith(exifSegment(orientationTiff(kLong, 1, 3))), 3},
        {"a signed long, big-endian",
         jpegWith(exifSegment(orientationTiff(kSignedLong, 1, 5, true))), 5},
        {"a byte", jpegWith(exifSegment(orientationTiff(kByte, 1, 2))), 2},
        {"a signed byte", jpegWith(exifSegment(orientationTiff(kSignedByte, 1, 7))), 7},
        {"a signed short", jpegWith(exifSegment(orientationTiff(kSignedShort, 1, 4))), 4},
        {"a rational is no orientation",
         jpegWith(exifSegment(tiffWith(false, 1, [](TiffWriter& tiff) {
             tiff.entry(kOrientation, kRational, 1, 26, 4);
         }, std::string("\x06\0\0\0\x01\0\0\0", 8)))), 1},
        {"text is no orientation", jpegWith(exifSegment(orientationTiff(kAscii, 2, '6'))), 1},
        {"no values", jpegWith(exifSegment(orientationTiff(kShort, 0, 6))), 1},
        {"0", jpegWith(exifSegment(orientationTiff(kShort, 1, 0))), 1},
        {"9", jpegWith(exifSegment(orientationTiff(kShort, 1, 9))), 1},
        {"-1 as a signed short", jpegWith(exifSegment(orientationTiff(kSignedShort, 1, 0xFFFF))),
         1},
        {"a long of 2^32 - 2", jpegWith(exifSegment(orientationTiff(kLong, 1, 0xFFFFFFFE))), 1},
        {"two values: the first counts", jpegWith(exifSegment(orientationTiff(kShort, 2, 0x00030006))),
         6},
        {"three values after the directory",
         jpegWith(exifSegment(tiffWith(true, 1, [](TiffWriter& tiff) {
             tiff.entry(kOrientation, kShort, 3, 26, 4);
         }, std::string("\0\x05\0\x02\0\x01", 6)))), 5},
        {"three values beyond the block",
         jpegWith(exifSegment(tiffWith(false, 1, [](TiffWriter& tiff) {
             tiff.entry(kOrientation, kShort, 3, 4000, 4);
         }))), 1},
        {"three values partly beyond the block",
         jpegWith(exifSegment(tiffWith(false, 1, [](TiffWriter& tiff) {
             tiff.entry(kOrientation, kShort, 3, 26, 4);
         }, std::string("\x06\0", 2)))), 1},
        {"an entry of too many values is skipped for the next",
         jpegWith(exifSegment(tiffWith(false, 2, [](TiffWriter& tiff) {
             tiff.entry(kOrientation, kShort, 0x10000000, 3);
             tiff.entry(kOrientation, kShort, 1, 6);
         }))), 6},
        {"the first of two entries counts",
         jpegWith(exifSegment(tiffWith(false, 2, [](TiffWriter& tiff) {
             tiff.entry(kOrientation, kShort, 1, 3);
             tiff.entry(kOrientation, kShort, 1, 6);
         }))), 3},
        {"an empty first entry hides the second",
         jpegWith(exifSegment(tiffWith(false, 2, [](TiffWriter& tiff) {
             tiff.entry(kOrientation, kShort, 0, 3);
             tiff.entry(kOrientation, kShort, 1, 6);
         }))), 1},
        {"after other tags", jpegWith(exifSegment(tiffWith(false, 2, [](TiffWriter& tiff) {
             tiff.entry(0x010F, kAscii, 4, 'A', 1);
             tiff.entry(kOrientation, kShort, 1, 7);
         }))), 7},
        {"a directory of more than 256 entries",
         jpegWith(exifSegment(tiffWith(false, 257, [](TiffWriter& tiff) {
             tiff.entry(kOrientation, kShort, 1, 6);
         }))), 1},
        {"a directory cut off in its entry",
         jpegWith(exifSegment(tiffWith(false, 2, [](TiffWriter& tiff) {
             tiff.entry(0x010F, kAscii, 4, 'A', 1);
             tiff.entry(kOrientation, kShort, 1, 6);
         }).substr(0, 28))), 1},
        {"not TIFF's magic number", jpegWith(exifSegment(std::string("II\x2b\0", 4) + orientationTiff(kShort, 1, 6).substr(4))), 1},
        {"a first directory beyond the block", jpegWith(exifSegment(std::string("II*\0\xff\0\0\0", 8))), 1},
        {"of two EXIF segments, the first",
         jpegWith(exifSegment(orientationTiff(kShort, 1, 3)) + six), 3},
        {"of two EXIF segments, the first without an orientation",
         jpegWith(exifSegment(tiffWith(false, 0, [](TiffWriter&) {})) + six), 1},
        {"after a comment, an XMP packet and padding",
         jpegWith(comment + segment(0xE1, std::string("http://ns.adobe.com/xap/1.0/\0<x/>", 33)) +
                  "\xFF\xFF" + six), 6},
        {"bytes between segments are skipped", jpegWith(comment + "junk" + six), 6},
        {"a segment running past the file",
         std::string("\xFF\xD8", 2) + six + segment(0xE2, "cut").substr(0, 5), 1},
        {"the EXIF segment running past the file", std::string("\xFF\xD8", 2) + six.substr(0, 20),
         1},
        {"a one-chunk profile stating more than it holds",
         jpegWith(six + segment(0xE2, std::string("ICC_PROFILE\0\x01\x01\0\0\x10\0abcd", 22))), 1},
        {"six empty comments before the EXIF segment",
         jpegWith(emptyComment + emptyComment + emptyComment + emptyComment + emptyComment +
                  emptyComment + six),
         1},
        {"five empty comments before the EXIF segment", jpegWith(fiveEmptyComments + six), 6},
        {"five empty comments and a frame before the EXIF segment",
         jpegWith(fiveEmptyComments + frame + six), 1},
        {"five empty comments and whole Photoshop blocks before the EXIF segment",
         jpegWith(fiveEmptyComments + photoshop(4) + six), 1},
        {"five empty comments and Photoshop blocks running past theirs before the EXIF segment",
         jpegWith(fiveEmptyComments + photoshop(100) + six), 6},
        {"a profile in two chunks as long as it states",
         jpegWith(six + profileChunk(1, 2, 40) + profileChunk(2, 2, 40)), 6},
        {"a profile in two chunks shorter than it states",
         jpegWith(six + profileChunk(1, 2, 1000) + profileChunk(2, 2, 1000)), 1},
        {"no EXIF", jpegWith(comment), 1},
        {"not a JPEG", "GIF89a" + six, 1},
    };
    for (const auto& [name, jpeg, expected] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(JpegFile::orientationOf(jpeg), expected);
        EXPECT_EQ(fixtures::exiv2JpegOrientation(jpeg).value_or(1), expected);
    }
}

}  // namespace
}  // namespace quillmere
