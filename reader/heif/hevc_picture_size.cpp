#include "reader/heif/hevc_picture_size.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "reader/heif/bit_reader.h"

namespace quillmere::hevc_picture_size {
namespace {

constexpr int kSequenceParameterSet = 33;
// NAL unit types below this one are the video coding layer: slice segments, reserved ones included.
constexpr int kFirstNonVclType = 32;

int nalTypeOf(std::string_view nal) { return static_cast<unsigned char>(nal[0]) >> 1 & 0x3F; }

// An unsigned Exp-Golomb code, as far as 32 bits of value.
std::optional<std::uint64_t> readExpGolomb(heif::BitReader& bits) {
    const std::optional<int> zeros = bits.leadingZeros(32);
    if (!zeros) return std::nullopt;
    const std::optional<std::uint64_t> rest = bits.read(*zeros);
    if (!rest) return std::nullopt;
    return (std::uint64_t{1} << *zeros) - 1 + *rest;
}

// A NAL unit never holds 00 00 followed by 00 to 03: its writer puts 03 after every 00 00 such a
// byte follows, which the reader drops.
std::string withoutEmulationPrevention(std::string_view payload) {
    std::string bytes;
    int zeros = 0;
    for (const char byte : payload) {
        if (zeros >= 2 && byte == 3) {
            zeros = 0;
            continue;
        }
        bytes += byte;
        zeros = byte == 0 ? zeros + 1 : 0;
    }
    return bytes;
}

// The profile, tier and level of the stream and of each of its sub-layers, which come before the
// picture size and are skipped.
bool skipProfileTierLevel(heif::BitReader& bits, std::uint64_t subLayers) {
    if (!bits.skip(96)) return false;  // general profile (88 bits) and level (8)
    std::uint64_t profilePresent = 0, levelPresent = 0;
    for (std::uint64_t layer = 0; layer < subLayers; ++layer) {
        const auto profile = bits.read(1), level = bits.read(1);
        if (!profile || !level) return false;
        profilePresent |= *profile << layer;
        levelPresent |= *level << layer;
    }
    if (subLayers > 0 && !bits.skip(2 * static_cast<int>(8 - subLayers))) return false;
    for (std::uint64_t layer = 0; layer < subLayers; ++layer) {
        if ((profilePresent >> layer & 1) && !bits.skip(88)) return false;
        if ((levelPresent >> layer & 1) && !bits.skip(8)) return false;
    }
    return true;
}

// The fields of a sequence parameter set up to its picture size.
struct SequenceHead {
    std::uint64_t id = 0;
    std::uint64_t subLayers = 0;  // less one
    heif::PixelSize size;
};

// Reads them from the set's payload (after its NAL unit header, emulation prevention removed);
// nothing when it ends before its size.
std::optional<SequenceHead> readSequenceHead(heif::BitReader& bits) {
    if (!bits.skip(4)) return std::nullopt;  // video parameter set id
    const std::optional<std::uint64_t> subLayers = bits.read(3);
    if (!subLayers || !bits.skip(1) || !skipProfileTierLevel(bits, *subLayers)) return std::nullopt;
    const std::optional<std::uint64_t> id = readExpGolomb(bits);
    const std::optional<std::uint64_t> chromaFormat = id ? readExpGolomb(bits) : std::nullopt;
    if (!chromaFormat || (*chromaFormat == 3 && !bits.skip(1))) return std::nullopt;
    const std::optional<std::uint64_t> width = readExpGolomb(bits);
    const std::optional<std::uint64_t> height = readExpGolomb(bits);
    if (!width || !height) return std::nullopt;
    return SequenceHead{*id, *subLayers, {*width, *height}};
}

// The luma picture size one sequence parameter set NAL unit (its two-byte header included, with
// emulation prevention bytes) declares; nothing when it ends before its size.
std::optional<heif::PixelSize> ofParameterSet(std::string_view nal) {
    heif::BitReader bits(withoutEmulationPrevention(nal.substr(2)));
    const std::optional<SequenceHead> head = readSequenceHead(bits);
    return head ? std::optional(head->size) : std::nullopt;
}

// The units of a decoder configuration record, as libheif reads it: 22 bytes of profile and
// format fields and the NAL length size, the count of arrays, then the arrays of units; units of
// no bytes are left out. Nothing when the record ends early.
std::optional<std::vector<std::string_view>> configurationUnits(std::string_view hvcC) {
    if (hvcC.size() < 23) return std::nullopt;
    std::vector<std::string_view> units;
    std::size_t at = 23;
    const auto byteAt = [&](std::size_t index) { return static_cast<unsigned char>(hvcC[index]); };
    for (int arrays = byteAt(22); arrays > 0; --arrays) {
        if (hvcC.size() - at < 3) return std::nullopt;
        int count = byteAt(at + 1) << 8 | byteAt(at + 2);
        at += 3;
        for (; count > 0; --count) {
            if (hvcC.size() - at < 2) return std::nullopt;
            const std::size_t length = std::size_t{byteAt(at)} << 8 | byteAt(at + 1);
            at += 2;
            if (length > hvcC.size() - at) return std::nullopt;
            if (length > 0) units.push_back(hvcC.substr(at, length));
            at += length;
        }
    }
    return units;
}

constexpr std::size_t kLengthSize = 4;

// The NAL units the decoder is given: the record's, then the data's behind their four-byte
// lengths; nothing when the record cannot be read or a length runs past the data.
std::optional<std::vector<std::string>> decoderUnits(std::string_view hvcC, std::string_view data) {
    const std::optional<std::vector<std::string_view>> configuration = configurationUnits(hvcC);
    if (!configuration) return std::nullopt;
    std::vector<std::string> units(configuration->begin(), configuration->end());
    for (std::size_t at = 0; at < data.size();) {
        if (data.size() - at < kLengthSize) return std::nullopt;
        std::size_t length = 0;
        for (std::size_t byte = 0; byte < kLengthSize; ++byte) {
            length = length << 8 | static_cast<unsigned char>(data[at + byte]);
        }
        at += kLengthSize;
        if (length > data.size() - at) return std::nullopt;
        units.emplace_back(data.substr(at, length));
        at += length;
    }
    return units;
}

// The NAL unit header's fields: its type, layer and temporal layer (plus one).
struct UnitHeader {
    int type = 0;
    int layer = 0;
    int temporalIdPlusOne = 0;
};

std::optional<UnitHeader> headerOf(std::string_view nal) {
    if (nal.size() < 2) return std::nullopt;
    const auto first = static_cast<unsigned char>(nal[0]),
               second = static_cast<unsigned char>(nal[1]);
    return UnitHeader{nalTypeOf(nal), (first & 1) << 5 | second >> 3, second & 7};
}

// libde265's limits on parameter set ids and picture sizes in coding tree blocks.
constexpr std::uint64_t kSequenceParameterSets = 16;
constexpr std::uint64_t kPictureParameterSets = 64;
constexpr std::uint64_t kMaxCodingBlockLog2 = 6;
constexpr std::uint64_t kMaxPictureBuffering = 16;
constexpr int kPictureParameterSet = 34;
constexpr std::uint64_t kIntraSlice = 2;

bool isIrap(int type) { return type >= 16 && type <= 23; }
// Slice segments libde265 decodes and a still picture may hold: not those of a reserved type (10
// to 15, 22 to 31), nor skipped leading pictures (RASL, 8 and 9), which a picture decoded from
// its own data has none to lead and libde265 decodes without output.
bool isDecodedSliceType(int type) { return (type >= 0 && type <= 7) || (type >= 16 && type <= 21); }

std::uint64_t bitsFor(std::uint64_t count) {
    std::uint64_t bits = 0;
    while ((std::uint64_t{1} << bits) < count) ++bits;
    return bits;
}

// What libde265 keeps of the parameter sets it read and the slice segments before, to tell
// whether it decodes the next slice segment. It reads the headers on, as far as the slice's type;
// what lies beyond them is taken as it reads it.
class SliceDecoding {
  public:
    // Whether libde265 decodes `nal` as a slice segment; every unit is given in order.
    bool decodes(std::string_view nal) {
        const std::optional<UnitHeader> header = headerOf(nal);
        // libde265 drops the units of other layers, and of temporal layers above those it decodes:
        // a still picture's are all in temporal layer 0.
        if (!header || header->layer != 0 || header->temporalIdPlusOne != 1) return false;
        heif::BitReader bits(withoutEmulationPrevention(nal.substr(2)));
        if (header->type == kSequenceParameterSet) {
            readSequence(bits);
        } else if (header->type == kPictureParameterSet) {
            readPicture(bits);
        } else if (isDecodedSliceType(header->type)) {
            return readSlice(bits, isIrap(header->type));
        }
        return false;
    }

  private:
    struct PictureParameters {
        std::uint64_t sequence = 0;  // the id of the sequence parameter set it is drawn from
        std::uint64_t codingTreeBlocks = 0;  // of that sequence's picture
        bool dependentSlices = false;
        std::uint64_t extraSliceHeaderBits = 0;
    };

    // A sequence parameter set libde265 takes, as far as the size of its coding tree blocks,
    // replaces the one of its id, and the picture parameter sets drawn from that one.
    void readSequence(heif::BitReader& bits) {
        const std::optional<SequenceHead> head = readSequenceHead(bits);
        if (!head || head->id >= kSequenceParameterSets || head->subLayers > 6 ||
            head->size.width == 0 || head->size.height == 0) {
            return;
        }
        const auto conformanceWindow = bits.read(1);
        if (!conformanceWindow) return;
        for (int field = 0; field < (*conformanceWindow ? 4 : 0); ++field) {
            if (!readExpGolomb(bits)) return;
        }
        const auto lumaDepth = readExpGolomb(bits), chromaDepth = readExpGolomb(bits);
        const auto orderCountBits = readExpGolomb(bits);
        if (!lumaDepth || !chromaDepth || *lumaDepth > 8 || *chromaDepth > 8 || !orderCountBits ||
            *orderCountBits > 12) {
            return;
        }
        const auto orderingForEach = bits.read(1);
        if (!orderingForEach) return;
        for (std::uint64_t layer = *orderingForEach ? 0 : head->subLayers; layer <= head->subLayers;
             ++layer) {
            const auto buffering = readExpGolomb(bits);
            if (!buffering || *buffering >= kMaxPictureBuffering || !readExpGolomb(bits) ||
                !readExpGolomb(bits)) {
                return;
            }
        }
        const auto smallestBlock = readExpGolomb(bits), blockRange = readExpGolomb(bits);
        if (!smallestBlock || !blockRange ||
            *smallestBlock + 3 + *blockRange > kMaxCodingBlockLog2) {
            return;
        }
        const std::uint64_t side = std::uint64_t{1} << (*smallestBlock + 3 + *blockRange);
        sequences_[head->id] =
            ((head->size.width + side - 1) / side) * ((head->size.height + side - 1) / side);
        std::erase_if(pictures_,
                      [&](const auto& entry) { return entry.second.sequence == head->id; });
    }

    // A picture parameter set libde265 takes, as far as the fields a slice header depends on, drawn
    // from a sequence parameter set read before it.
    void readPicture(heif::BitReader& bits) {
        const auto id = readExpGolomb(bits), sequence = readExpGolomb(bits);
        const auto dependentSlices = bits.read(1), outputFlag = bits.read(1),
                   extraBits = bits.read(3);
        if (!id || *id >= kPictureParameterSets || !sequence || !extraBits || !outputFlag ||
            !dependentSlices || !sequences_.contains(*sequence)) {
            return;
        }
        pictures_[*id] = {*sequence, sequences_.at(*sequence), *dependentSlices != 0, *extraBits};
    }

    // Whether libde265 decodes the slice segment whose header `bits` hold: its picture parameter
    // set was read, its address lies in the picture, a picture was begun before a segment that
    // does not begin one, and it is intra-coded (a picture decoded on its own has no other to be
    // predicted from, and libde265 would make one up); a dependent segment is what the segment
    // before it was.
    bool readSlice(heif::BitReader& bits, bool irap) {
        const auto first = bits.read(1);
        if (!first || (irap && !bits.skip(1))) return false;
        const auto id = readExpGolomb(bits);
        if (!id || !pictures_.contains(*id)) return false;
        const PictureParameters& parameters = pictures_.at(*id);
        if (*first == 0) {
            if (!pictureBegun_) return false;
            const auto dependent =
                parameters.dependentSlices ? bits.read(1) : std::optional<std::uint64_t>(0);
            const auto address = bits.read(static_cast<int>(bitsFor(parameters.codingTreeBlocks)));
            if (!dependent || !address || *address >= parameters.codingTreeBlocks) return false;
            if (*dependent) return *address != 0 && lastSliceDecoded_;
        }
        const auto type = bits.skip(static_cast<int>(parameters.extraSliceHeaderBits))
                              ? readExpGolomb(bits)
                              : std::nullopt;
        if (!type) return false;
        // libde265 drops a segment of a type above 2 unread, which is not intra-coded either.
        lastSliceDecoded_ = *type == kIntraSlice;
        pictureBegun_ = pictureBegun_ || (*first && lastSliceDecoded_);
        return lastSliceDecoded_;
    }

    std::map<std::uint64_t, std::uint64_t> sequences_;     // coding tree blocks a picture, by id
    std::map<std::uint64_t, PictureParameters> pictures_;  // by id
    bool pictureBegun_ = false;
    bool lastSliceDecoded_ = false;
};

}  // namespace

std::optional<heif::PixelSize> largestPicture(std::string_view hvcC, std::string_view data) {
    const std::optional<std::vector<std::string>> units = decoderUnits(hvcC, data);
    if (!units) return std::nullopt;
    std::optional<heif::PixelSize> largest;
    for (const std::string& unit : *units) {
        if (unit.size() < 2 || nalTypeOf(unit) != kSequenceParameterSet) continue;
        const std::optional<heif::PixelSize> size = ofParameterSet(unit);
        if (!size) return std::nullopt;
        largest = heif::PixelSize{std::max(size->width, largest ? largest->width : 0),
                                  std::max(size->height, largest ? largest->height : 0)};
    }
    return largest;
}

std::optional<SliceBytes> codedSliceBytes(std::string_view hvcC, std::string_view data) {
    const std::optional<std::vector<std::string>> units = decoderUnits(hvcC, data);
    if (!units) return std::nullopt;
    SliceBytes bytes;
    SliceDecoding decoding;
    for (const std::string& unit : *units) {
        if (decoding.decodes(unit)) {
            bytes.decoded += unit.size();
        } else if (!unit.empty() && nalTypeOf(unit) < kFirstNonVclType) {
            bytes.leftOut += unit.size();
        }
    }
    return bytes;
}

}  // namespace quillmere::hevc_picture_size
