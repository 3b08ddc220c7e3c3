#include "reader/jpeg/jpeg_scans.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>

#include "core/imageio/imageio_error.h"

namespace quillmere::jpeg_scans {
namespace {

constexpr unsigned char kStartOfImage = 0xD8;
constexpr unsigned char kEndOfImage = 0xD9;
constexpr unsigned char kStartOfScan = 0xDA;
constexpr unsigned char kRestartInterval = 0xDD;
constexpr int kMaxComponentsInScan = 4;

bool isRestart(unsigned char marker) { return marker >= 0xD0 && marker <= 0xD7; }

bool hasNoLength(unsigned char marker) {
    return marker == 0x01 || isRestart(marker) || marker == kStartOfImage;
}

std::uint64_t divideRoundingUp(std::uint64_t value, std::uint64_t divisor) {
    return (value + divisor - 1) / divisor;
}

[[noreturn]] void refuse(const std::string& why) {
    throw ImageIOError(ImageIOError::Code::corruptImage, why);
}

// A JPEG's bytes, read from the front as libjpeg reads them.
class Bytes {
  public:
    explicit Bytes(std::string_view jpeg)
        : bytes_(reinterpret_cast<const unsigned char*>(jpeg.data())), size_(jpeg.size()) {}

    bool atEnd() const { return at_ >= size_; }
    std::size_t position() const { return at_; }
    void moveTo(std::size_t at) { at_ = at; }
    std::size_t left() const { return size_ - at_; }
    const unsigned char* here() const { return bytes_ + at_; }
    void skip(std::size_t count) { at_ += std::min(count, left()); }

    // Moves to the next 0xFF, past everything before it; false when there is none.
    bool findFF() {
        const void* found = std::memchr(here(), 0xFF, left());
        at_ = found == nullptr
                  ? size_
                  : static_cast<std::size_t>(static_cast<const unsigned char*>(found) - bytes_);
        return found != nullptr;
    }

    // At a 0xFF: moves past it and the fill bytes (more 0xFF) after it, and returns the byte they
    // lead to, which is left unread; nothing when the bytes end first.
    std::optional<unsigned char> afterFill() {
        while (!atEnd() && bytes_[at_] == 0xFF) ++at_;
        if (atEnd()) return std::nullopt;
        return bytes_[at_];
    }

  private:
    const unsigned char* bytes_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// The frame's components a scan codes, matched by their identifiers as libjpeg matches them: the
// component for the scan's i-th selector is the first one from the frame's i-th on (and among
// its first four) that bears the selector's identifier, and no component is coded twice.
std::vector<const jpeg_component_info*> componentsOfScan(const unsigned char* header,
                                                         std::size_t length,
                                                         const jpeg_decompress_struct& frame,
                                                         std::size_t scanNumber) {
    const int count = length > 2 ? header[0] : 0;
    if (count < 1 || count > kMaxComponentsInScan || length != std::size_t(count) * 2 + 6) {
        refuse("Its scan " + std::to_string(scanNumber) + " has a damaged header.");
    }
    const int searched = std::min(frame.num_components, kMaxComponentsInScan);
    std::vector<const jpeg_component_info*> components;
    for (int selector = 0; selector < count; ++selector) {
        const int identifier = header[1 + 2 * selector];
        const jpeg_component_info* found = nullptr;
        for (int index = selector; index < searched && found == nullptr; ++index) {
            if (frame.comp_info[index].component_id == identifier) found = &frame.comp_info[index];
        }
        if (found == nullptr ||
            std::find(components.begin(), components.end(), found) != components.end()) {
            refuse("Its scan " + std::to_string(scanNumber) + " names component " +
                   std::to_string(identifier) + ", which its frame does not have.");
        }
        components.push_back(found);
    }
    return components;
}

// The MCUs of a scan: a scan of one component has one block an MCU; an interleaved scan divides
// the picture into MCUs of the largest sampling factors' size.
std::uint64_t mcuCount(const std::vector<const jpeg_component_info*>& components,
                       const jpeg_decompress_struct& frame) {
    if (components.size() == 1) {
        return std::uint64_t{components[0]->width_in_blocks} * components[0]->height_in_blocks;
    }
    return divideRoundingUp(frame.image_width, std::uint64_t{8} * frame.max_h_samp_factor) *
           divideRoundingUp(frame.image_height, std::uint64_t{8} * frame.max_v_samp_factor);
}

std::uint64_t blocksPerMcu(const std::vector<const jpeg_component_info*>& components) {
    if (components.size() == 1) return 1;
    std::uint64_t blocks = 0;
    for (const jpeg_component_info* component : components) {
        blocks += std::uint64_t(component->h_samp_factor) * component->v_samp_factor;
    }
    return blocks;
}

// The coded bytes of the scan whose data start here, which moves to the marker ending them: the
// scan goes on past `restarts` restart markers, and no further.
std::uint64_t codedBytesOfScan(Bytes& bytes, std::uint64_t restarts) {
    std::uint64_t count = 0;
    while (!bytes.atEnd()) {
        const unsigned char* start = bytes.here();
        const bool found = bytes.findFF();
        count += static_cast<std::uint64_t>(bytes.here() - start);
        if (!found) break;
        const std::size_t marker = bytes.position();
        const std::optional<unsigned char> next = bytes.afterFill();
        if (!next) break;
        if (*next == 0x00) {
            ++count;  // a 0xFF of data, whose stuffed zero is not
        } else if (isRestart(*next) && restarts > 0) {
            --restarts;
        } else {
            bytes.moveTo(marker);  // the marker that ends the scan, left for the segments' reader
            break;
        }
        bytes.skip(1);
    }
    return count;
}

}  // namespace

std::vector<Scan> readScans(std::string_view jpeg, const jpeg_decompress_struct& frame) {
    const bool readsEveryScan =
        frame.progressive_mode || frame.comps_in_scan < frame.num_components;
    std::vector<Scan> scans;
    std::uint64_t restartInterval = 0;
    Bytes bytes(jpeg);
    // As libjpeg does, bytes between segments are skipped up to the next marker, and fill bytes
    // (0xFF) before a marker are no part of it.
    while (bytes.findFF()) {
        const std::optional<unsigned char> marker = bytes.afterFill();
        if (!marker || *marker == kEndOfImage) break;
        bytes.skip(1);
        if (*marker == 0x00 || hasNoLength(*marker)) continue;
        if (bytes.left() < 2) break;
        const std::size_t length = std::size_t{bytes.here()[0]} << 8 | bytes.here()[1];
        // libjpeg reads a segment that runs past the end as the end of the image.
        if (length > bytes.left()) break;
        const unsigned char* segment = bytes.here() + 2;
        if (*marker == kRestartInterval && length == 4) {
            restartInterval = std::uint64_t{segment[0]} << 8 | segment[1];
        }
        // A length below its own two bytes skips nothing more, as libjpeg skips such a segment.
        bytes.skip(std::max<std::size_t>(length, 2));
        if (*marker != kStartOfScan) continue;

        if (scans.size() == kMaxScanCount) refuse("The image has too many scans.");
        const auto components = componentsOfScan(segment, length, frame, scans.size() + 1);
        const std::uint64_t mcus = mcuCount(components, frame);
        const std::uint64_t restarts =
            restartInterval == 0 || mcus == 0 ? 0 : divideRoundingUp(mcus, restartInterval) - 1;
        scans.push_back({.blocks = mcus * blocksPerMcu(components),
                         .codedBytes = codedBytesOfScan(bytes, restarts)});
        if (!readsEveryScan) break;
    }
    return scans;
}

std::uint64_t blocksOfCurrentScan(const jpeg_decompress_struct& info) {
    return std::uint64_t{info.MCUs_per_row} * info.MCU_rows_in_scan *
           static_cast<std::uint64_t>(info.blocks_in_MCU);
}

}  // namespace quillmere::jpeg_scans
