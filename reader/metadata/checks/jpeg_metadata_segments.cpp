#include "reader/metadata/checks/jpeg_metadata_segments.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "reader/metadata/checks/byte_order.h"
#include "reader/metadata/checks/iptc_structure.h"
#include "reader/metadata/checks/metadata_limits.h"
#include "reader/metadata/checks/metadata_refusal.h"
#include "reader/metadata/checks/tiff_structure.h"
#include "reader/metadata/checks/xmp_structure.h"

namespace quillmere::metadata {
namespace {

constexpr int kApp1 = 0xe1;
constexpr int kApp2 = 0xe2;
constexpr int kApp13 = 0xed;
constexpr int kComment = 0xfe;
constexpr int kStartOfScan = 0xda;
constexpr int kEndOfImage = 0xd9;

constexpr std::string_view kExifId{"Exif\0\0", 6};
constexpr std::string_view kXmpId{"http://ns.adobe.com/xap/1.0/\0", 29};
constexpr std::string_view kPhotoshopId{"Photoshop 3.0\0", 14};
constexpr std::string_view kIccId{"ICC_PROFILE", 11};

// Exiv2 stops reading once it found these six: EXIF, XMP, Photoshop data, a comment, an ICC
// profile and the frame's size.
constexpr int kSoughtSegments = 6;
// Photoshop segments put together until their resources read whole: each time they are read
// again from the start.
constexpr int kMaxPhotoshopSegments = 64;

[[noreturn]] void refuse(const std::string& why) {
    throw MetadataRefusal("The JPEG metadata is refused: " + why + ".");
}

bool hasLength(int marker) {
    return (marker >= 0xc0 && marker <= 0xcf) || (marker >= 0xe0 && marker <= 0xef) ||
           marker == 0xdb || marker == 0xdd || marker == kComment || marker == kStartOfScan;
}

// Exiv2 takes the size from any of these markers, the Huffman table's excepted.
bool isFrame(int marker) { return marker >= 0xc0 && marker <= 0xcf && marker != 0xc4; }

// Whether Photoshop resources read whole, as Exiv2 decides it has all of them: its IPTC
// resources found one after the other without an error.
bool photoshopResourcesWhole(std::string_view resources) {
    while (!resources.empty()) {
        const PhotoshopIptc search = photoshopIptc(resources);
        if (search.result != PhotoshopIptc::Result::found) {
            return search.result == PhotoshopIptc::Result::absent;
        }
        resources.remove_prefix(std::min(search.end, resources.size()));
    }
    return true;
}

class JpegWalk {
  public:
    explicit JpegWalk(std::string_view file) : file_(file) {}

    void run() {
        if (!file_.starts_with("\xff\xd8")) refuse("it is not a JPEG");
        at_ = 2;
        int sought = kSoughtSegments;
        for (int marker = nextMarker();
             marker >= 0 && marker != kStartOfScan && marker != kEndOfImage && sought > 0;
             marker = nextMarker()) {
            std::string_view segment;
            if (hasLength(marker)) {
                if (at_ + 2 > file_.size()) refuse("a segment is cut short");
                const std::uint16_t size = read16(file_, at_, ByteOrder::big);
                if (size < 2 || at_ + size > file_.size()) refuse("a segment is cut short");
                segment = file_.substr(at_, size);
                at_ += size;
            }
            if (!segment.empty() && !read(marker, segment, sought)) break;
        }
        if (!photoshop_.empty()) checkIptcBlock(photoshopIptcBlock());
    }

  private:
    // The next marker, past any bytes and fill before it; -1 at the end of the file.
    int nextMarker() {
        while (at_ < file_.size() && static_cast<unsigned char>(file_[at_]) != 0xff) ++at_;
        while (at_ < file_.size() && static_cast<unsigned char>(file_[at_]) == 0xff) ++at_;
        if (at_ >= file_.size()) return -1;
        return static_cast<unsigned char>(file_[at_++]);
    }

    // Reads one segment (its length bytes first); false when Exiv2 stops reading there.
    bool read(int marker, std::string_view segment, int& sought) {
        const std::string_view payload = segment.substr(2);
        if (!exifFound_ && marker == kApp1 && segment.size() >= 8 && payload.starts_with(kExifId)) {
            exifFound_ = true;
            --sought;
            checkTiffStructure(segment.substr(8), TiffHeaderKind::tiff);
        } else if (!xmpFound_ && marker == kApp1 && segment.size() >= 31 &&
                   payload.starts_with(kXmpId)) {
            xmpFound_ = true;
            --sought;
            checkXmpPacket(segment.substr(31));
        } else if (!photoshopWhole_ && marker == kApp13 && segment.size() >= 16 &&
                   payload.starts_with(kPhotoshopId)) {
            if (++photoshopSegments_ > kMaxPhotoshopSegments)
                refuse("it has too many Photoshop segments");
            photoshop_ += segment.substr(16);
            if (photoshopResourcesWhole(photoshop_)) {
                photoshopWhole_ = true;
                --sought;
            }
        } else if (marker == kComment && !commentFound_) {
            std::string_view comment = payload;
            while (!comment.empty() && comment.back() == '\0') comment.remove_suffix(1);
            if (!comment.empty()) commentFound_ = true;
            --sought;
        } else if (marker == kApp2 && segment.size() >= 13 && payload.starts_with(kIccId)) {
            if (segment.size() < 20) return false;
            if (!iccFound_) {
                iccFound_ = true;
                --sought;
            }
            if (++iccSegments_ > limits::jpegIccSegments) refuse("it has too many ICC segments");
        } else if (!frameFound_ && isFrame(marker)) {
            if (segment.size() < 8) return false;
            if (read16(segment, 3, ByteOrder::big) != 0) {
                frameFound_ = true;
                --sought;
            }
        }
        return true;
    }

    // The IPTC resources of the Photoshop segments, one after the other, as Exiv2 joins them.
    std::string photoshopIptcBlock() const {
        std::string iptc;
        std::string_view resources = photoshop_;
        while (!resources.empty()) {
            const PhotoshopIptc search = photoshopIptc(resources);
            if (search.result != PhotoshopIptc::Result::found) break;
            iptc += search.iptc;
            resources.remove_prefix(std::min(search.end, resources.size()));
        }
        return iptc;
    }

    std::string_view file_;
    std::size_t at_ = 0;
    bool exifFound_ = false;
    bool xmpFound_ = false;
    bool photoshopWhole_ = false;
    bool commentFound_ = false;
    bool iccFound_ = false;
    bool frameFound_ = false;
    int photoshopSegments_ = 0;
    std::uint64_t iccSegments_ = 0;
    std::string photoshop_;
};

}  // namespace

void checkJpegMetadata(std::string_view file) { JpegWalk(file).run(); }

}  // namespace quillmere::metadata
