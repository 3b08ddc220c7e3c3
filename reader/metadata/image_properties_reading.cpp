#include "reader/metadata/image_properties_reading.h"

#include <cmath>
#include <limits>

#include "core/imageio/exiv2_lock.h"

namespace quillmere {
namespace {

const Exiv2::Exifdatum* find(const Exiv2::ExifData& exif, const char* key) {
    const auto found = exif.findKey(Exiv2::ExifKey(key));
    if (found == exif.end() || found->count() == 0) return nullptr;
    return &*found;
}

// A rational divided in double precision: the value's own float conversion loses digits
// (f/2.8 would read 2.7999999523). A zero denominator states nothing.
std::optional<double> rationalValue(const Exiv2::ExifData& exif, const char* key) {
    const Exiv2::Exifdatum* datum = find(exif, key);
    if (datum == nullptr) return std::nullopt;
    const Exiv2::TypeId type = datum->typeId();
    if (type != Exiv2::unsignedRational && type != Exiv2::signedRational) return std::nullopt;
    const Exiv2::Rational value = datum->toRational(0);
    if (value.second == 0) return std::nullopt;
    const double quotient = static_cast<double>(value.first) / static_cast<double>(value.second);
    if (!std::isfinite(quotient)) return std::nullopt;
    return quotient;
}

std::optional<std::string> textValue(const Exiv2::ExifData& exif, const char* key) {
    const Exiv2::Exifdatum* datum = find(exif, key);
    if (datum == nullptr || datum->typeId() != Exiv2::asciiString) return std::nullopt;
    std::string text = datum->toString();
    if (text.empty()) return std::nullopt;
    return text;
}

bool isIntegerType(Exiv2::TypeId type) {
    return type == Exiv2::unsignedShort || type == Exiv2::unsignedLong ||
           type == Exiv2::signedShort || type == Exiv2::signedLong || type == Exiv2::unsignedByte ||
           type == Exiv2::signedByte;
}

std::vector<std::int64_t> integerValues(const Exiv2::ExifData& exif, const char* key) {
    std::vector<std::int64_t> values;
    const Exiv2::Exifdatum* datum = find(exif, key);
    if (datum == nullptr || !isIntegerType(datum->typeId())) return values;
    for (long index = 0; index < datum->count(); ++index) values.push_back(datum->toLong(index));
    return values;
}

std::optional<std::int64_t> positiveSize(int size) {
    if (size <= 0) return std::nullopt;
    return size;
}

void readInto(ImageProperties& properties, const Exiv2::Image& image) {
    const Exiv2::ExifData& exif = image.exifData();
    properties.isoSpeedRatings = integerValues(exif, "Exif.Photo.ISOSpeedRatings");
    properties.focalLength = rationalValue(exif, "Exif.Photo.FocalLength");
    properties.fNumber = rationalValue(exif, "Exif.Photo.FNumber");
    properties.exposureTime = rationalValue(exif, "Exif.Photo.ExposureTime");
    properties.lensModel = textValue(exif, "Exif.Photo.LensModel");
    properties.dateTimeOriginal = textValue(exif, "Exif.Photo.DateTimeOriginal");
    properties.make = textValue(exif, "Exif.Image.Make");
    properties.model = textValue(exif, "Exif.Image.Model");
    const std::vector<std::int64_t> orientation = integerValues(exif, "Exif.Image.Orientation");
    if (!orientation.empty() && orientation.front() >= 1 && orientation.front() <= 8) {
        properties.orientation = static_cast<int>(orientation.front());
    }
    properties.pixelWidth = positiveSize(image.pixelWidth());
    properties.pixelHeight = positiveSize(image.pixelHeight());
}
}  // namespace

ImageProperties imagePropertiesOf(const Exiv2::Image& image) {
    ImageProperties properties;
    try {
        readInto(properties, image);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
        // A value that cannot be read states nothing; whatever was read before it stays.
    }
    return properties;
}

ImageProperties readImagePropertiesData(std::string_view jpeg) {
    if (jpeg.size() > static_cast<std::size_t>(std::numeric_limits<long>::max())) return {};
    Exiv2Lock lock;
    try {
        const Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(
            reinterpret_cast<const Exiv2::byte*>(jpeg.data()), static_cast<long>(jpeg.size()));
        if (image->imageType() != Exiv2::ImageType::jpeg) return {};
        image->readMetadata();
        return imagePropertiesOf(*image);
    } catch (const std::exception&) {
        return {};  // a JPEG Exiv2 cannot read states nothing
    }
}

}  // namespace quillmere
