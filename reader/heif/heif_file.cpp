#include "reader/heif/heif_file.h"

#include <algorithm>
#include <array>

#include "core/imageio/imageio_error.h"

namespace quillmere {
namespace {

// The structural brands of HEIF images and image sequences, and the brands of the codecs libheif
// may read inside them.
constexpr std::array<std::string_view, 11> kHeifBrands{"mif1", "mif2", "msf1", "heic", "heix", "heim",
                                                       "heis", "hevc", "hevx", "avif", "avis"};

heif::Items itemsOf(std::string_view bytes) {
    try {
        return heif::Items::read(bytes);
    } catch (const heif::Malformed&) {
        throw ImageIOError(ImageIOError::Code::corruptImage, "Its boxes cannot be read.");
    } catch (const heif::Items::Ambiguous&) {
        throw ImageIOError(ImageIOError::Code::corruptImage, "Its boxes can be read in more than one way.");
    } catch (const heif::Items::Refused& refused) {
        throw ImageIOError(ImageIOError::Code::corruptImage, refused.sentence);
    }
}

}  // namespace

bool HeifFile::hasHeifBrand(std::string_view bytes) {
    try {
        heif::Fields fields(bytes);
        const heif::Box first = heif::nextBox(fields);
        if (first.type != "ftyp") return false;
        heif::Fields ftyp(first.payload);
        const std::string_view major = ftyp.take(4);
        ftyp.take(4);  // minor version
        const auto named = [&](std::string_view brand) {
            return std::find(kHeifBrands.begin(), kHeifBrands.end(), brand) != kHeifBrands.end();
        };
        if (named(major)) return true;
        while (ftyp.rest().size() >= 4) {
            if (named(ftyp.take(4))) return true;
        }
    } catch (const heif::Malformed&) {
        // An opening box that cannot be read names no brand.
    }
    return false;
}

HeifFile::HeifFile(std::string_view bytes) : bytes_(bytes), items_(itemsOf(bytes)) {}

HeifFile::~HeifFile() = default;
HeifFile::HeifFile(HeifFile&&) noexcept = default;
HeifFile& HeifFile::operator=(HeifFile&&) noexcept = default;

std::optional<std::string> HeifFile::exif() const {
    const heif::ItemID primary = items_.primary();
    for (const heif::ItemID item : items_.ids()) {
        if (items_.typeOf(item) != "Exif") continue;
        const std::vector<heif::ItemID> described = items_.referencesFrom(item, "cdsc");
        if (std::find(described.begin(), described.end(), primary) == described.end()) continue;
        try {
            // The block starts with the 32-bit big-endian offset of the TIFF header after it.
            const std::string block = items_.dataOf(item);
            heif::Fields fields(block);
            const std::uint64_t offset = fields.read(4);
            if (offset >= fields.rest().size()) return std::nullopt;
            return std::string(fields.rest().substr(offset));
        } catch (const heif::Malformed&) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace quillmere
