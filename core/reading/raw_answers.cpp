#include "core/reading/raw_answers.h"

#include <cstring>

#include "core/imageio/linear_image.h"
#include "core/reading/reader_protocol.h"
#include "core/reading/wire.h"

namespace quillmere::raw_answers {
namespace {

constexpr std::uint64_t kHalfFloatPixelBytes = 8;
constexpr std::uint64_t kPackedQuadBytes = 16;
// The colour matrices a DNG may carry, one for each calibration illuminant.
constexpr std::int32_t kMostColourMatrices = 2;

template <std::size_t count>
void writeInts(WireWriter& writer, const std::int32_t (&values)[count]) {
    for (const std::int32_t value : values) writer.i32(value);
}

template <std::size_t count>
void writeFloats(WireWriter& writer, const float (&values)[count]) {
    for (const float value : values) writer.f32(value);
}

template <std::size_t count>
void readInts(WireReader& reader, std::int32_t (&values)[count]) {
    for (std::int32_t& value : values) value = reader.i32();
}

template <std::size_t count>
void readFloats(WireReader& reader, float (&values)[count]) {
    for (float& value : values) value = reader.f32();
}

// A text of at most `count` - 1 bytes into `field`, terminated.
template <std::size_t count>
void readText(WireReader& reader, char (&field)[count]) {
    const std::string_view text = reader.bytes(count - 1);
    std::memcpy(field, text.data(), text.size());
    field[text.size()] = '\0';
}

// A width and height of something the program makes a texture of.
void requireTextureSize(std::int32_t width, std::int32_t height) {
    if (width < 1 || height < 1 || std::int64_t{width} * height > LinearImage::maxPixelCount) {
        throw WireError("The answer states no texture the program makes.");
    }
}

// A file's capture information, as LibRaw read it; a count of colour matrices beyond what a RAW
// file holds is no answer.
void writeCapture(WireWriter& writer, const QXRAWCaptureInfo& c) {
    writer.text(std::string_view(c.make, strnlen(c.make, sizeof c.make)))
        .text(std::string_view(c.model, strnlen(c.model, sizeof c.model)))
        .text(std::string_view(c.lens, strnlen(c.lens, sizeof c.lens)))
        .f32(c.iso)
        .f32(c.exposure_time)
        .f32(c.f_number)
        .f32(c.focal_length)
        .i64(c.timestamp)
        .i32(c.orientation)
        .f32(c.baseline_exposure);
    writeFloats(writer, c.white_balance);
    writer.i32(c.colour_matrix_count);
    writeInts(writer, c.calibration_illuminant);
    for (const auto& matrix : c.xyz_to_camera) writeFloats(writer, matrix);
}

void readCapture(WireReader& reader, QXRAWCaptureInfo& c) {
    readText(reader, c.make);
    readText(reader, c.model);
    readText(reader, c.lens);
    c.iso = reader.f32();
    c.exposure_time = reader.f32();
    c.f_number = reader.f32();
    c.focal_length = reader.f32();
    c.timestamp = reader.i64();
    c.orientation = reader.i32();
    c.baseline_exposure = reader.f32();
    readFloats(reader, c.white_balance);
    c.colour_matrix_count = reader.i32();
    readInts(reader, c.calibration_illuminant);
    for (auto& matrix : c.xyz_to_camera) readFloats(reader, matrix);
    if (c.colour_matrix_count < 0 || c.colour_matrix_count > kMostColourMatrices) {
        throw WireError("The answer states more colour matrices than a RAW file holds.");
    }
}

}  // namespace

std::string encodeSensorAnswer(const SensorAnswer& answer) {
    const QXRAWMetadata& m = answer.metadata;
    WireWriter writer;
    for (const std::int32_t value :
         {m.width, m.height, m.packed_width, m.packed_height, m.crop_x, m.crop_y, m.crop_width,
          m.crop_height, m.output_width, m.output_height, m.orientation}) {
        writer.i32(value);
    }
    writeInts(writer, m.cfa_x);
    writeInts(writer, m.cfa_y);
    writer.f32(m.iso);
    writeFloats(writer, m.black);
    writeFloats(writer, m.white);
    writeFloats(writer, m.camera_white_balance);
    writeFloats(writer, m.noise_shot);
    writeFloats(writer, m.noise_read_variance);
    writeInts(writer, m.noise_samples);

    writeCapture(writer, answer.capture);
    writer.boolean(answer.supportsDetail);
    return writer.take();
}

SensorAnswer decodeSensorAnswer(std::string_view body) {
    WireReader reader(body);
    SensorAnswer answer;
    QXRAWMetadata& m = answer.metadata;
    for (std::int32_t* field :
         {&m.width, &m.height, &m.packed_width, &m.packed_height, &m.crop_x, &m.crop_y,
          &m.crop_width, &m.crop_height, &m.output_width, &m.output_height, &m.orientation}) {
        *field = reader.i32();
    }
    readInts(reader, m.cfa_x);
    readInts(reader, m.cfa_y);
    m.iso = reader.f32();
    readFloats(reader, m.black);
    readFloats(reader, m.white);
    readFloats(reader, m.camera_white_balance);
    readFloats(reader, m.noise_shot);
    readFloats(reader, m.noise_read_variance);
    readInts(reader, m.noise_samples);

    readCapture(reader, answer.capture);
    answer.supportsDetail = reader.boolean();
    reader.finish();

    requireTextureSize(m.width, m.height);
    requireTextureSize(m.packed_width, m.packed_height);
    requireTextureSize(m.output_width, m.output_height);
    return answer;
}

std::uint64_t planeBytes(const QXRAWMetadata& metadata) {
    return static_cast<std::uint64_t>(metadata.packed_width) *
           static_cast<std::uint64_t>(metadata.packed_height) * kPackedQuadBytes;
}

std::uint64_t developedBytes(std::int32_t width, std::int32_t height) {
    return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) *
           kHalfFloatPixelBytes;
}

std::string encodeDevelopParams(bool ownPlane) { return WireWriter().boolean(ownPlane).take(); }

bool decodeDevelopParams(std::string_view params) {
    WireReader reader(params);
    const bool ownPlane = reader.boolean();
    reader.finish();
    return ownPlane;
}

std::string encodeDevelopAnswer(std::string_view failure) {
    return WireWriter().text(failure).take();
}

std::string decodeDevelopAnswer(std::string_view body) {
    WireReader reader(body);
    std::string failure = reader.text(reader_protocol::kMaxSentenceBytes);
    reader.finish();
    return failure;
}

std::string encodeDevelopmentAnswer(const DevelopmentAnswer& answer) {
    WireWriter writer;
    writer.i32(answer.width).i32(answer.height).f32(answer.iso).boolean(answer.supportsDetail);
    writeCapture(writer, answer.capture);
    return writer.take();
}

DevelopmentAnswer decodeDevelopmentAnswer(std::string_view body) {
    WireReader reader(body);
    DevelopmentAnswer answer;
    answer.width = reader.i32();
    answer.height = reader.i32();
    answer.iso = reader.f32();
    answer.supportsDetail = reader.boolean();
    readCapture(reader, answer.capture);
    reader.finish();
    requireTextureSize(answer.width, answer.height);
    return answer;
}

std::string encodeThumbnailParams(std::int32_t longestSide) {
    return WireWriter().i32(longestSide).take();
}

std::int32_t decodeThumbnailParams(std::string_view params) {
    WireReader reader(params);
    const std::int32_t longestSide = reader.i32();
    reader.finish();
    if (longestSide < 1) throw WireError("A thumbnail has a longest side of at least 1 pixel.");
    return longestSide;
}

std::string encodeThumbnailAnswer(const ThumbnailAnswer& answer) {
    return WireWriter().i32(answer.width).i32(answer.height).take();
}

ThumbnailAnswer decodeThumbnailAnswer(std::string_view body) {
    WireReader reader(body);
    ThumbnailAnswer answer;
    answer.width = reader.i32();
    answer.height = reader.i32();
    reader.finish();
    requireTextureSize(answer.width, answer.height);
    return answer;
}

}  // namespace quillmere::raw_answers
