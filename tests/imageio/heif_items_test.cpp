// What a HEIF file's items may cost, and how they are read: every layout libheif reads alike opens
// as the same picture, and every file holding more than a photo does, or a picture libheif cannot
// truly decode, is refused with a sentence that names why, before libheif reads it.

#include <gtest/gtest.h>

#include <functional>

#include "core/imageio/image_properties.h"
#include "reader/heif/av1_picture_size.h"
#include "reader/heif/heif_file.h"
#include "reader/heif/heif_item_checks.h"
#include "reader/heif/hevc_picture_size.h"
#include "reader/metadata/image_properties_reading.h"
#include "reader/raster/raster_decoder.h"
#include "reader/raster/thumbnail.h"
#include "tests/fixtures/hostile_heif.h"
#include "tests/fixtures/test_exif.h"
#include "tests/fixtures/test_pattern.h"
#include "tests/imageio/imageio_test_support.h"

namespace quillmere {
namespace {

using namespace fixtures::heif_boxes;
using fixtures::CodedPicture;
using fixtures::PixelExtent;

const std::string kDamaged = "The image data is damaged or incomplete. ";

// Why the decoder refuses `file`; the thumbnail must refuse it too.
std::string refusalOf(const std::string& file) {
    EXPECT_FALSE(Thumbnail::heif(file));
    try {
        decodeRasterData(file);
    } catch (const ImageIOError& error) {
        return error.what();
    }
    return "decoded";
}

// The bytes of the NAL units that code pictures (types 0 to 31) among `slices`, each behind its
// four-byte length.
std::uint64_t sliceSegmentBytes(const std::string& slices) {
    std::uint64_t bytes = 0;
    for (std::size_t at = 0; at + 4 < slices.size();) {
        std::uint32_t length = 0;
        for (int byte = 0; byte < 4; ++byte)
            length = length << 8 | static_cast<unsigned char>(slices[at + byte]);
        if ((static_cast<unsigned char>(slices[at + 4]) >> 1 & 0x3F) < 32) bytes += length;
        at += 4 + length;
    }
    return bytes;
}

class HeifItems : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fixtures::canEncodeHeic())
            GTEST_SKIP() << "libheif on this machine cannot encode HEVC";
        stream = fixtures::encodeHevc(fixtures::noisePicture(64, 64), {.quality = 50});
        picture = fixtures::hevcPicture(stream);
    }
    HeifLayout plain() const { return fixtures::onePicture(picture, size); }
    // The picture hidden as the one tile of a grid, the primary image, beside a hidden copy of it
    // (item 3).
    static void gridOfOneTile(HeifLayout& layout) {
        layout.items[0].hidden = true;
        layout.items.push_back({.id = 2, .type = "grid", .properties = {2},
                                .data = std::string("\0\0\0\0\0\x40\0\x40", 8), .inIdat = true});
        layout.items.push_back(
            {.id = 3, .type = "hvc1", .hidden = true, .properties = {1, 2}, .sameDataAs = 1});
        layout.primary = 2;
        layout.references.push_back({"dimg", 2, {1}});
    }

    fixtures::HevcStream stream;
    CodedPicture picture;
    static constexpr PixelExtent size{64, 64};
};

// One picture laid out as cameras, phones and other writers lay it out, or saying a thing twice the
// way libheif reads past: each opens as the same picture and shows a thumbnail.
TEST_F(HeifItems, LayoutsLibheifReadsAlikeOpenAsTheSamePicture) {
    const auto variant = [&](const std::function<void(HeifLayout&)>& change) {
        HeifLayout layout = plain();
        change(layout);
        return writeHeif(layout);
    };
    const auto second = [&](std::string type, bool hidden, std::vector<int> properties) {
        return Item{.id = 2,
                    .type = std::move(type),
                    .hidden = hidden,
                    .properties = std::move(properties),
                    .sameDataAs = 1};
    };
    const std::string tiff = fixtures::exifBlock({.make = "Camera"});
    const struct {
        const char* what;
        std::string file;
    } variants[] = {
        {"8-byte offsets and lengths", variant([](HeifLayout& l) {
             l.locations = {0, 8, 8, 0, 0};
         })},
        {"a base offset and no extent offset", variant([](HeifLayout& l) {
             l.locations = {1, 0, 4, 4, 0};
         })},
        {"version 2 with 8-byte base offsets and extent indices", variant([](HeifLayout& l) {
             l.locations = {2, 4, 4, 8, 4};
         })},
        // libheif reads a field of another size as absent.
        {"a base offset size of 2, written as absent", variant([](HeifLayout& l) {
             l.locations = {1, 4, 4, 2, 0};
         })},
        {"a second 'infe' of the picture, hidden",
         variant([](HeifLayout& l) { l.extraItemInfos = {itemInfo(1, "hvc1", true)}; })},
        {"a first 'ispe' of 2048 × 2048 before the true one", variant([](HeifLayout& l) {
             l.properties.push_back(ispe(2048, 2048));
             l.items[0].properties = {1, 3, 2};
         })},
        {"its brand only at the end of the compatible list", variant([](HeifLayout& l) {
             l.majorBrand = "isom";
             l.compatibleBrands = {"isom", "iso8", "mif1"};
         })},
        {"an alpha channel that is not hidden", variant([&](HeifLayout& l) {
             l.properties.push_back(auxC("urn:mpeg:hevc:2015:auxid:1"));
             l.items.push_back(second("hvc1", false, {1, 2, 3}));
             l.references.push_back({"auxl", 2, {1}});
         })},
        {"a thumbnail", variant([&](HeifLayout& l) {
             l.items.push_back(second("hvc1", false, {1, 2}));
             l.references.push_back({"thmb", 2, {1}});
         })},
        {"EXIF and XMP", variant([&](HeifLayout& l) {
             l.items.push_back({.id = 2, .type = "Exif", .data = bigEndian(0, 4) + tiff});
             l.items.push_back({.id = 3,
                                .type = "mime",
                                .data = "<x:xmpmeta xmlns:x='adobe:ns:meta/'/>",
                                .contentType = "application/rdf+xml"});
             l.references.push_back({"cdsc", 2, {1}});
             l.references.push_back({"cdsc", 3, {1}});
         })},
        {"compressed XMP", variant([&](HeifLayout& l) {
             l.items.push_back({.id = 2,
                                .type = "mime",
                                .data = fixtures::deflated("<x:xmpmeta xmlns:x='adobe:ns:meta/'/>" +
                                                           std::string(4096, ' ')),
                                .contentType = "application/rdf+xml",
                                .contentEncoding = "deflate"});
             l.references.push_back({"cdsc", 2, {1}});
         })},
        // The same picture coded on its own beside another it could be predicted from.
        {"a hidden picture beside it", variant([&](HeifLayout& l) {
             l.items.push_back(second("hvc1", true, {1, 2}));
         })},
        {"a grid of one tile beside a hidden picture",
         variant([&](HeifLayout& l) { gridOfOneTile(l); })},
        // libheif reads every 'infe' an 'iinf' holds, whatever count it states.
        {"an 'iinf' stating fewer items than it holds", variant([&](HeifLayout& l) {
             l.items.push_back({.id = 2, .type = "Exif", .data = bigEndian(0, 4) + tiff});
             l.references.push_back({"cdsc", 2, {1}});
             l.statedItemCount = 1;
         })},
        {"derived by identity as many levels deep as a photo may be",
         fixtures::identityChainHeif(picture, size, 8)},
    };
    const LinearImage expected = decodeRasterData(writeHeif(plain()));
    for (const auto& [what, file] : variants) {
        SCOPED_TRACE(what);
        EXPECT_TRUE(decodeRasterData(file).rgba == expected.rgba);
        EXPECT_TRUE(Thumbnail::heif(file));
    }
}

TEST_F(HeifItems, AvifOpens) {
    if (!fixtures::canEncodeAvif()) GTEST_SKIP() << "libheif on this machine cannot encode AV1";
    const fixtures::TestPattern pattern;
    const std::string avif =
        fixtures::encodeTestHeic(fixtures::makePattern(pattern), {.av1 = true});
    const LinearImage image = decodeRasterData(avif);
    ASSERT_EQ((std::array{image.width, image.height}), (std::array{pattern.width, pattern.height}));
    using testing_support::isColour, testing_support::linearColour, testing_support::pixelAt;
    EXPECT_TRUE(isColour(pixelAt(image, 4, 4), linearColour(pattern.marker), 0.05f));
    EXPECT_TRUE(isColour(pixelAt(image, 40, 30), linearColour(pattern.background), 0.05f));
    // The same picture in a layout of our own.
    const CodedPicture av1 = fixtures::pictureOf(avif);
    const std::string laidOut =
        writeHeif(fixtures::onePicture(av1, {static_cast<std::uint32_t>(pattern.width),
                                             static_cast<std::uint32_t>(pattern.height)}));
    EXPECT_TRUE(decodeRasterData(laidOut).rgba == image.rgba);
    EXPECT_TRUE(Thumbnail::heif(laidOut));
}

TEST_F(HeifItems, FilesHoldingMoreThanAPhotoOrPicturesLibheifCannotDecodeAreRefused) {
    const auto variant = [&](const std::function<void(HeifLayout&)>& change) {
        HeifLayout layout = plain();
        change(layout);
        return writeHeif(layout);
    };
    fixtures::HevcStream large =
        fixtures::encodeHevc(fixtures::noisePicture(64, 64), {.quality = 50});
    large.sps = fixtures::withPictureSize(large.sps, 2048, 2048);
    const auto wholeFile = [&](Item item) {
        return variant([&](HeifLayout& l) {
            item.wholeFile = true;
            item.extentCopies = 32;
            l.items.push_back(item);
            if (!item.hidden)
                l.references.push_back({item.type == "hvc1" ? "thmb" : "cdsc", item.id, {1}});
        });
    };
    const auto av1Headers = [&](int operatingPoints, bool decoderModel) {
        return variant([&](HeifLayout& l) {
            l.items[0].type = "av01";
            l.items[0].data = fixtures::av1Padding(64);
            l.properties[0] = box("av1C", std::string("\x81\x00\x0C\x00", 4) +
                                              fixtures::av1SequenceHeader(
                                                  {2048, 2048}, operatingPoints, decoderModel));
        });
    };
    const std::string thirtyTwoTimes = wholeFile({.id = 2, .type = "Exif"});
    const std::string inflating = variant([](HeifLayout& l) {
        l.items.push_back({.id = 2,
                           .type = "mime",
                           .data = fixtures::deflated(std::string(64 << 20, '\0')),
                           .contentType = "application/rdf+xml",
                           .contentEncoding = "deflate"});
    });
    CodedPicture padded = picture;
    padded.configuration = fixtures::paddedHvcC(stream, 300000);
    const std::string largerThanStated =
        "Its item 1 holds a picture of 2048 × 2048 pixels, larger than the 64 × 64 it states.";
    const struct {
        const char* what;
        std::string file;
        std::string refusal;
    } hostile[] = {
        {"a picture predicted from another", variant([&](HeifLayout& l) {
             l.items[0].hidden = true;
             l.items.push_back({.id = 2, .type = "hvc1", .properties = {1, 2}, .sameDataAs = 1});
             l.primary = 2;
             l.references.push_back({"pred", 2, {1}});
         }),
         "Its item 2 is predicted from item 1, and cannot be decoded on its own."},
        {"a grid tile predicted from another picture", variant([&](HeifLayout& l) {
             gridOfOneTile(l);
             l.references.push_back({"pred", 1, {3}});
         }),
         "Its item 1 is predicted from item 3, and cannot be decoded on its own."},
        {"a 'pred' reference naming no item",
         variant([](HeifLayout& l) { l.references.push_back({"pred", 1, {}}); }),
         "Its item 1 is predicted from another picture, and cannot be decoded on its own."},
        {"1001 items, of which 'iinf' states one", variant([](HeifLayout& l) {
             for (std::uint32_t id = 2; id <= 1001; ++id) {
                 l.items.push_back({.id = id, .type = "Exif"});
             }
             l.statedItemCount = 1;
         }),
         "It holds 1001 items, more than a photo holds."},
        {"a VVC picture", variant([](HeifLayout& l) { l.items[0].type = "vvc1"; }),
         "Its item 1 is a picture of a kind this program does not decode ('vvc1')."},
        {"a grid of a VVC picture", variant([](HeifLayout& l) {
             l.items[0].type = "vvc1";
             l.items[0].hidden = true;
             l.items.push_back({.id = 2,
                                .type = "grid",
                                .properties = {2},
                                .data = std::string("\0\0\0\0\0\x40\0\x40", 8),
                                .inIdat = true});
             l.primary = 2;
             l.references.push_back({"dimg", 2, {1}});
         }),
         "Its item 1 is a picture of a kind this program does not decode ('vvc1')."},
        {"1001 items", fixtures::manyItemsHeif(picture, size, 1001),
         "It holds 1001 items, more than a photo holds."},
        {"1001 references", variant([](HeifLayout& l) {
             l.items.push_back({.id = 2, .type = "Exif", .data = std::string(8, '\0')});
             l.references.assign(1001, Reference{"cdsc", 2, {1}});
         }),
         "It holds 1001 references, more than a photo holds."},
        {"1001 property associations", variant([](HeifLayout& l) {
             for (std::uint32_t id = 100; id < 1100; ++id) l.extraAssociations.push_back({id, {2}});
         }),
         "It holds 1001 property associations, more than a photo holds."},
        {"1001 located items", variant([](HeifLayout& l) { l.extraLocations = 1000; }),
         "It holds 1001 located items, more than a photo holds."},
        {"derived by identity one level deeper than a photo may be",
         fixtures::identityChainHeif(picture, size, 9),
         "Its image is derived from images 9 levels deep, more than a photo is."},
        {"an EXIF item naming the whole file 32 times", thirtyTwoTimes,
         // The picture's data come with its configuration's payload (the box less its header).
         "Its items name " +
             std::to_string(32 * thirtyTwoTimes.size() + picture.data.size() +
                            picture.configuration.size() - 8) +
             " bytes of a file of " + std::to_string(thirtyTwoTimes.size()) + "."},
        // libheif reads each picture's data with its configuration's units before it.
        {"1000 pictures sharing a configuration of 300 KB",
         fixtures::manyItemsHeif(padded, size, 1000), ""},
        {"an XMP item inflating to 64 MB", inflating,
         "Its items inflate to more than " + std::to_string(2 * inflating.size() + 65536) +
             " bytes, in a file of " + std::to_string(inflating.size()) + "."},
        {"an XMP item naming the whole file 32 times",
         wholeFile({.id = 2, .type = "mime", .contentType = "application/rdf+xml"}), ""},
        {"a thumbnail naming the whole file 32 times",
         wholeFile({.id = 2, .type = "hvc1", .properties = {1, 2}}), ""},
        {"a hidden picture naming the whole file 32 times",
         wholeFile({.id = 2, .type = "hvc1", .hidden = true, .properties = {1, 2}}), ""},
        {"a 2048 × 2048 picture whose last 'ispe' states 64 × 64", variant([&](HeifLayout& l) {
             l.properties = {fixtures::hevcPicture(large).configuration, ispe(2048, 2048),
                             ispe(64, 64)};
             l.items[0].properties = {1, 2, 3};
         }),
         largerThanStated},
        {"a second 'infe' naming the picture an Exif item", variant([&](HeifLayout& l) {
             l.properties[0] = fixtures::hevcPicture(large).configuration;
             l.extraItemInfos = {itemInfo(1, "Exif", false)};
         }),
         largerThanStated},
        {"33 extents", variant([](HeifLayout& l) { l.items[0].extentCopies = 33; }),
         "Its boxes cannot be read."},
        {"an AV1 sequence header of three operating points", av1Headers(3, false),
         largerThanStated},
        {"an AV1 sequence header with a decoder model", av1Headers(2, true), largerThanStated},
    };
    for (const auto& [what, file, refusal] : hostile) {
        SCOPED_TRACE(what);
        const std::string said = refusalOf(file);
        if (refusal.empty()) {
            EXPECT_TRUE(said.starts_with(kDamaged + "Its items name ")) << said;
        } else {
            EXPECT_EQ(said, kDamaged + refusal);
        }
    }
}

// Every path reads item data through the same bound, counting what the extents name: an Exif item
// naming a 17 MB file 32 times, more than libheif reads of one item (512 MiB), costs the image
// properties, the decoder and the thumbnail nothing, where libheif would read 512 MiB of it first.
TEST_F(HeifItems, EveryReadIsHeldToTheItemDataBound) {
    const std::string file = fixtures::exifNamingTheFileHeif(picture, size, 32, 17 << 20);
    const std::uint64_t growth = testing_support::peakGrowthDuring([&] {
        EXPECT_FALSE(readImagePropertiesData(file).make);
        EXPECT_TRUE(refusalOf(file).starts_with(kDamaged + "Its items name ")) << refusalOf(file);
        EXPECT_THROW(HeifFile{file}, ImageIOError);
    });
    EXPECT_LT(growth, std::uint64_t{100} << 20);
}

// The EXIF block starts at the TIFF header the Exif item's first four bytes point past.
TEST_F(HeifItems, ExifIsReadFromItsTiffHeader) {
    const std::string tiff = fixtures::exifBlock({.make = "Camera"});
    const auto withExif = [&](const std::string& data, std::uint32_t describes) {
        HeifLayout layout = plain();
        layout.items.push_back({.id = 2, .type = "Exif", .data = data});
        layout.references.push_back({"cdsc", 2, {describes}});
        return HeifFile(writeHeif(layout)).exif();
    };
    EXPECT_EQ(withExif(bigEndian(0, 4) + tiff, 1), tiff);
    EXPECT_EQ(withExif(bigEndian(6, 4) + std::string("Exif\0\0", 6) + tiff, 1), tiff);
    EXPECT_EQ(withExif(bigEndian(tiff.size(), 4) + tiff, 1), std::nullopt);
    EXPECT_EQ(withExif(bigEndian(0, 4) + tiff, 7), std::nullopt);
}

// Only the bytes that code pictures count as coded data: a grid naming one flat tile in its 256
// places is refused however many bytes of other units its configuration carries, and an image
// derived by identity makes a picture of its own.
TEST_F(HeifItems, OnlyCodedPicturesCountAsCodedBytes) {
    const fixtures::HevcStream flat = fixtures::encodeFlatHevc(1024);
    const std::uint64_t tileBytes = sliceSegmentBytes(flat.slices);
    const std::uint64_t tile = 1024 * 1024, canvas = 16384ull * 16384;
    const std::string padded =
        fixtures::paddedConfigurationGridHeif(flat, {1024, 1024}, 16, 16, 270000);
    const std::uint64_t growth = testing_support::peakGrowthDuring([&] {
        EXPECT_EQ(refusalOf(padded), kDamaged + "Its image would make " +
                                         std::to_string(256 * tile + canvas) + " pixels from " +
                                         std::to_string(tileBytes) + " bytes of image data.");
    });
    EXPECT_LT(growth, std::uint64_t{100} << 20);
    EXPECT_EQ(refusalOf(fixtures::identityChainHeif(fixtures::hevcPicture(flat), {1024, 1024}, 8)),
              kDamaged + "Its image would make " + std::to_string(9 * tile) + " pixels from " +
                  std::to_string(tileBytes) + " bytes of image data.");

    if (!fixtures::canEncodeAvif()) GTEST_SKIP() << "libheif on this machine cannot encode AV1";
    const Rgb8Image grey{1024, 1024, std::vector<std::uint8_t>(1024 * 1024 * 3, 128)};
    CodedPicture av1 =
        fixtures::pictureOf(fixtures::encodeTestHeic(grey, {.quality = 50, .av1 = true}));
    av1.data += fixtures::av1Padding(270000);
    HeifLayout grid{
        .majorBrand = "avif",
        .compatibleBrands = {"mif1", "avif"},
        .primary = 2,
        .items = {{.id = 1, .type = "av01", .hidden = true, .properties = {1, 2}, .data = av1.data},
                  {.id = 2,
                   .type = "grid",
                   .properties = {3},
                   .data =
                       std::string("\0\1\x0F\x0F", 4) + bigEndian(16384, 4) + bigEndian(16384, 4),
                   .inIdat = true}},
        .properties = {av1.configuration, ispe(1024, 1024), ispe(16384, 16384)},
        .references = {{"dimg", 2, std::vector<std::uint32_t>(256, 1)}}};
    const std::string said = refusalOf(writeHeif(grid));
    const std::string prefix =
        kDamaged + "Its image would make " + std::to_string(256 * tile + canvas) + " pixels from ";
    ASSERT_TRUE(said.starts_with(prefix)) << said;
    EXPECT_LT(std::stoull(said.substr(prefix.size())), 2000u);
}

// An image's depth is that of its deepest path from the primary image: a grid of two places, one
// an image derived by identity from the picture, the other the top of a chain of such images
// ending in the same picture, lies as deep as the chain's end, whichever place comes first.
TEST_F(HeifItems, DerivationDepthIsTheDeepestPath) {
    const auto gridBesideChain = [&](std::uint32_t chain, bool chainFirst) {
        HeifLayout layout = plain();
        layout.items[0].hidden = true;
        layout.properties.push_back(ispe(128, 64));
        layout.items.push_back({.id = 2,
                                .type = "grid",
                                .properties = {3},
                                .data = std::string("\0\0\0\1\0\x80\0\x40", 8),
                                .inIdat = true});
        layout.references.push_back(
            {"dimg", 2,
             chainFirst ? std::vector<std::uint32_t>{4, 3} : std::vector<std::uint32_t>{3, 4}});
        // Item 3 is drawn from the picture, and so is the last of the chain from item 4 on.
        for (std::uint32_t id = 3; id < 4 + chain; ++id) {
            layout.items.push_back({.id = id, .type = "iden", .hidden = true, .properties = {2}});
            layout.references.push_back(
                {"dimg", id, {id == 3 || id + 1 == 4 + chain ? 1 : id + 1}});
        }
        layout.primary = 2;
        return writeHeif(layout);
    };
    // The grid, 7 images of the chain, the picture: 8 levels below the grid is as deep as a photo
    // may go; one more image in the chain is not.
    for (const bool chainFirst : {false, true}) {
        EXPECT_EQ(decodeRasterData(gridBesideChain(7, chainFirst)).width, 128);
        EXPECT_EQ(
            refusalOf(gridBesideChain(8, chainFirst)),
            kDamaged + "Its image is derived from images 9 levels deep, more than a photo is.");
    }
}

// libde265 decodes only some of the slice segments it is given: none of another layer or of a
// temporal layer above the base, none of a reserved type or a skipped leading picture, none whose
// header names a parameter set it has not read, begins no picture where one is needed or codes a
// slice predicted from pictures a lone picture does not have. Those count as left out, and
// parameter sets, SEI and other units as neither.
TEST_F(HeifItems, OnlySliceSegmentsLibde265DecodesCountAsCodedBytes) {
    using fixtures::NalHeader, fixtures::sliceSegment;
    using Bytes = hevc_picture_size::SliceBytes;
    const std::uint64_t own = sliceSegmentBytes(stream.slices);
    const auto intra = [](const NalHeader& header, bool first = true) {
        return sliceSegment(header, first, 0, 2, 100);
    };
    const std::string segment = intra({});  // 100 bytes of filler behind three bytes of header
    const std::uint64_t unit = segment.size();
    // Longer headers: a slice type of 3 and a parameter set id of 5 take five bits each.
    const std::string typeThree = sliceSegment({}, true, 0, 3, 100),
                      fifthSet = sliceSegment({}, true, 5, 2, 100);
    fixtures::HevcStream withoutPictureSet = stream;
    withoutPictureSet.pps.clear();
    const struct {
        const char* what;
        const fixtures::HevcStream& configured;
        std::vector<std::string> units;  // after the stream's own slices
        Bytes expected;
    } cases[] = {
        {"an intra slice beginning a picture", stream, {segment}, {own + unit, 0}},
        {"an intra slice in the picture begun", stream, {intra({.type = 1}, false)},
         {own + unit, 0}},
        {"a slice of layer 1", stream, {intra({.layer = 1})}, {own, unit}},
        {"a slice of temporal layer 1", stream, {intra({.temporalIdPlusOne = 2})}, {own, unit}},
        {"a slice of no temporal layer", stream, {intra({.temporalIdPlusOne = 0})}, {own, unit}},
        {"a slice of reserved type 10", stream, {intra({.type = 10})}, {own, unit}},
        {"a slice of reserved random-access type 22", stream, {intra({.type = 22})}, {own, unit}},
        {"a skipped leading picture (RASL)", stream, {intra({.type = 8})}, {own, unit}},
        {"a P slice", stream, {sliceSegment({.type = 1}, true, 0, 1, 100)}, {own, unit}},
        {"a slice of type 3", stream, {typeThree}, {own, typeThree.size()}},
        {"a slice naming picture parameter set 5", stream, {fifthSet}, {own, fifthSet.size()}},
        {"SEI and a unit of unspecified type",
         stream,
         {fixtures::withNalHeader(segment, {.type = 39}),
          fixtures::withNalHeader(segment, {.type = 48})},
         {own, 0}},
        // Read in order: a parameter set counts from where it is read, and a sequence parameter
        // set read again drops the picture parameter sets drawn from the one it replaces.
        {"a slice before its picture parameter set, one after",
         withoutPictureSet,
         {segment, stream.pps, segment},
         {own + unit, unit}},
        {"a slice after its sequence parameter set is read again",
         stream,
         {stream.sps, segment, stream.pps, segment},
         {own + unit, unit}},
    };
    for (const auto& [what, configured, units, expected] : cases) {
        SCOPED_TRACE(what);
        const std::string hvcC = fixtures::hevcPicture(configured).configuration.substr(8);
        const bool ownFirst = &configured == &stream;
        const std::string data = (ownFirst ? stream.slices : "") + fixtures::lengthPrefixed(units) +
                                 (ownFirst ? "" : stream.slices);
        EXPECT_EQ(hevc_picture_size::codedSliceBytes(hvcC, data), expected);
    }
    // Before any picture is begun, a segment that does not begin one is not decoded.
    const std::string hvcC = picture.configuration.substr(8);
    EXPECT_EQ(hevc_picture_size::codedSliceBytes(
                  hvcC, fixtures::lengthPrefixed({intra({.type = 1}, false)}) + stream.slices),
              (Bytes{own, unit}));
}

// A one-tile grid of 16384 × 16384 pixels (5 GB for libheif and libde265 to make) whose tile codes
// one flat 64-pixel block, padded with a copy of its slice in another layer to the bytes the
// picture would need, is refused before libheif reads it, naming what its decoder leaves out; the
// same copy in the base layer, which libde265 decodes, passes the checks.
TEST_F(HeifItems, SlicesOfAnotherLayerDoNotPayForPictures) {
    fixtures::HevcStream large = fixtures::encodeFlatHevc(64);
    large.sps = fixtures::withPictureSize(large.sps, 16384, 16384);
    const std::uint64_t own = sliceSegmentBytes(large.slices);
    const std::uint64_t copy = fixtures::nalUnits(large.slices).front().size() + 270000;
    const std::string hostile = fixtures::layerPaddedGridHeif(large, 16384, 270000, 1);
    const std::uint64_t growth = testing_support::peakGrowthDuring([&] {
        EXPECT_EQ(refusalOf(hostile), kDamaged + "Its image would make " +
                                          std::to_string(2 * 16384ull * 16384) + " pixels from " +
                                          std::to_string(own) +
                                          " bytes of image data; its decoder leaves out another " +
                                          std::to_string(copy) + " bytes.");
    });
    EXPECT_LT(growth, std::uint64_t{100} << 20);
    const heif::HeifItemChecks twin = heif::checkHeifItems(
        heif::Items::read(fixtures::layerPaddedGridHeif(large, 16384, 270000, 0)));
    EXPECT_EQ(twin.fault, std::nullopt);
    EXPECT_EQ(twin.longestStatedSide, 16384u);
}

// dav1d and libaom decode the tiles of frames after a sequence header, in the layers of its first
// operating point (an OBU without an extension header in layer 0); tile lists, which only a
// decoder of large-scale tiles reads, and tiles before what they need are left out.
TEST(HeifCodedTiles, OnlyTilesTheDecoderReadsCountAsCodedBytes) {
    using av1_picture_size::TileBytes;
    const auto sequence = [](int layers) {
        return fixtures::av1SequenceHeader({64, 64}, 1, false, layers);
    };
    const std::string tiles(100, '\x5A');
    const auto frame = [&](std::optional<std::pair<int, int>> layers = std::nullopt) {
        return fixtures::av1Obu(6, tiles, layers);
    };
    const struct {
        const char* what;
        std::string obus;
        TileBytes expected;
    } cases[] = {
        {"a frame", sequence(0) + frame(), {100, 0}},
        {"a frame of temporal layer 1, every layer decoded",
         sequence(0) + frame({{1, 0}}),
         {100, 0}},
        {"a frame of temporal layer 1 outside the operating point",
         sequence(0x101) + frame({{1, 0}}),
         {0, 100}},
        {"a frame of spatial layer 1 outside the operating point",
         sequence(0x101) + frame({{0, 1}}),
         {0, 100}},
        {"a frame of temporal layer 1 inside the operating point",
         sequence(0x103) + frame({{1, 0}}),
         {100, 0}},
        {"a frame without layers, layer 0 in the operating point",
         sequence(0x101) + frame(),
         {100, 0}},
        {"a frame without layers, layer 0 outside the operating point",
         sequence(0x102) + frame(),
         {0, 100}},
        {"a tile list", sequence(0) + fixtures::av1Obu(8, tiles), {0, 100}},
        {"a frame before the sequence header", frame() + sequence(0), {0, 100}},
        {"a tile group before any frame header",
         sequence(0) + fixtures::av1Obu(4, tiles),
         {0, 100}},
        {"a tile group after a frame header",
         sequence(0) + fixtures::av1Obu(3, "\x10") + fixtures::av1Obu(4, tiles),
         {100, 0}},
        {"padding", sequence(0) + fixtures::av1Padding(100), {0, 0}},
    };
    for (const auto& [what, obus, expected] : cases) {
        EXPECT_EQ(av1_picture_size::codedTileBytes(obus), expected) << what;
    }
}

}  // namespace
}  // namespace quillmere
