#include "core/reading/metadata_answer.h"

#include <cmath>
#include <cstdint>

#include "core/reading/wire.h"

namespace quillmere {
namespace {

// What an entry or a text costs in memory besides its bytes.
constexpr std::size_t kOverheadBytes = 64;

std::size_t captureBytes(const std::vector<MetadataEntry>& capture) {
    std::size_t bytes = 0;
    for (const MetadataEntry& entry : capture) bytes += entry.key.size() + entry.value.size();
    return bytes;
}

bool isCaptureKey(std::string_view key) {
    return !key.empty() && key.size() <= metadata_answer::kMaxKeyBytes &&
           (key.starts_with("Exif.") || key.starts_with("Iptc."));
}

void leaveOutLongText(std::optional<std::string>& text) {
    if (text && text->size() > metadata_answer::kMaxTextBytes) text.reset();
}

void writeNumber(WireWriter& writer, const std::optional<double>& value) {
    writer.boolean(value.has_value());
    if (value) writer.f64(*value);
}

void writeText(WireWriter& writer, const std::optional<std::string>& value) {
    writer.boolean(value.has_value());
    if (value) writer.text(*value);
}

void writeInteger(WireWriter& writer, const std::optional<std::int64_t>& value) {
    writer.boolean(value.has_value());
    if (value) writer.i64(*value);
}

[[noreturn]] void malformed(const char* what) {
    throw WireError(std::string("A metadata answer holds ") + what + ".");
}

std::optional<double> readNumber(WireReader& reader) {
    if (!reader.boolean()) return std::nullopt;
    const double value = reader.f64();
    if (!std::isfinite(value)) malformed("a number that is not finite");
    return value;
}

std::optional<std::string> readText(WireReader& reader) {
    if (!reader.boolean()) return std::nullopt;
    return reader.text(metadata_answer::kMaxTextBytes);
}

std::optional<std::int64_t> readPixelSize(WireReader& reader) {
    if (!reader.boolean()) return std::nullopt;
    const std::int64_t value = reader.i64();
    if (value < 1) malformed("a pixel size below 1");
    return value;
}

}  // namespace

std::size_t PhotoFileMetadata::memoryBytes() const {
    std::size_t bytes = sizeof(PhotoFileMetadata) + captureBytes(capture) +
                        capture.size() * (sizeof(MetadataEntry) + kOverheadBytes);
    for (const auto* text : {&properties.lensModel, &properties.dateTimeOriginal, &properties.make,
                             &properties.model, &editRecord}) {
        if (*text) bytes += (*text)->size() + kOverheadBytes;
    }
    return bytes + properties.isoSpeedRatings.size() * sizeof(std::int64_t);
}

namespace metadata_answer {

PhotoFileMetadata withinBounds(PhotoFileMetadata metadata) {
    ImageProperties& properties = metadata.properties;
    if (properties.isoSpeedRatings.size() > kMaxIsoSpeeds) properties.isoSpeedRatings.clear();
    for (auto* text : {&properties.lensModel, &properties.dateTimeOriginal, &properties.make,
                       &properties.model}) {
        leaveOutLongText(*text);
    }
    bool captureFits = metadata.capture.size() <= kMaxCaptureEntries &&
                       captureBytes(metadata.capture) <= kMaxCaptureBytes;
    for (const MetadataEntry& entry : metadata.capture) captureFits &= isCaptureKey(entry.key);
    if (!captureFits) metadata.capture.clear();
    if (metadata.editRecord && metadata.editRecord->size() > kMaxRecordBytes) {
        metadata.editRecord.reset();
    }
    return metadata;
}

std::string encode(const PhotoFileMetadata& metadata) {
    WireWriter writer;
    const ImageProperties& properties = metadata.properties;
    writer.u64(properties.isoSpeedRatings.size());
    for (const std::int64_t speed : properties.isoSpeedRatings) writer.i64(speed);
    writeNumber(writer, properties.focalLength);
    writeNumber(writer, properties.fNumber);
    writeNumber(writer, properties.exposureTime);
    writeText(writer, properties.lensModel);
    writeText(writer, properties.dateTimeOriginal);
    writeText(writer, properties.make);
    writeText(writer, properties.model);
    writer.boolean(properties.orientation.has_value());
    if (properties.orientation) writer.i32(*properties.orientation);
    writeInteger(writer, properties.pixelWidth);
    writeInteger(writer, properties.pixelHeight);
    writer.u64(metadata.capture.size());
    for (const MetadataEntry& entry : metadata.capture) {
        writer.text(entry.key).u32(entry.type).bytes(entry.value);
    }
    writeText(writer, metadata.editRecord);
    return writer.take();
}

PhotoFileMetadata decode(std::string_view body) {
    WireReader reader(body);
    PhotoFileMetadata metadata;
    ImageProperties& properties = metadata.properties;
    const std::uint64_t speeds = reader.u64();
    if (speeds > kMaxIsoSpeeds) malformed("too many ISO speeds");
    for (std::uint64_t index = 0; index < speeds; ++index) {
        properties.isoSpeedRatings.push_back(reader.i64());
    }
    properties.focalLength = readNumber(reader);
    properties.fNumber = readNumber(reader);
    properties.exposureTime = readNumber(reader);
    properties.lensModel = readText(reader);
    properties.dateTimeOriginal = readText(reader);
    properties.make = readText(reader);
    properties.model = readText(reader);
    if (reader.boolean()) {
        const std::int32_t orientation = reader.i32();
        if (orientation < 1 || orientation > 8) malformed("an orientation outside 1 to 8");
        properties.orientation = orientation;
    }
    properties.pixelWidth = readPixelSize(reader);
    properties.pixelHeight = readPixelSize(reader);

    const std::uint64_t entries = reader.u64();
    if (entries > kMaxCaptureEntries) malformed("too many capture entries");
    std::size_t bytes = 0;
    for (std::uint64_t index = 0; index < entries; ++index) {
        MetadataEntry entry;
        entry.key = reader.text(kMaxKeyBytes);
        if (!isCaptureKey(entry.key)) malformed("an entry that is neither EXIF nor IPTC");
        entry.type = reader.u32();
        entry.value = reader.bytes(kMaxCaptureBytes);
        bytes += entry.key.size() + entry.value.size();
        if (bytes > kMaxCaptureBytes) malformed("more capture metadata than it may");
        metadata.capture.push_back(std::move(entry));
    }
    if (reader.boolean()) metadata.editRecord = reader.text(kMaxRecordBytes);
    reader.finish();
    return metadata;
}

}  // namespace metadata_answer
}  // namespace quillmere
