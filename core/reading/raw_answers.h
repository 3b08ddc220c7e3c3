#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "rawbridge/qx_raw.h"

// The RAW jobs' parameters and answers as the program and its reader write and read them (wire.h):
//
//   rawSensor       no params; answers the sensor's record, its capture information and whether
//                   the Detail denoiser takes it, with its packed plane as the one sealed file
//                   (planeBytes). A session: its reader keeps the unpacked sensor for rawDevelop.
//   rawDevelop      whether the reader develops its own plane, else the plane to develop as the
//                   request's one sealed file (planeBytes); answers the development of the record's
//                   output size as the one sealed file (developedBytes), or the sentence why the
//                   program's plane was not developed, with no file.
//   rawDevelopment  no params; LibRaw's full development: its size, the ISO and whether the Detail
//                   denoiser takes the file, with the pixels as the one sealed file.
//   rawThumbnail    the longest side; the thumbnail's size, with its pixels as the one sealed file.
//
// Developed pixels are four IEEE half floats R, G, B, A, rows bottom first (the bridge's layout);
// a packed plane is the bridge's, four floats R, G1, B, G2 per quad, rows top first.
//
// Every decoder throws WireError for a message that is not one: it ends early or goes on, or
// states a size below one pixel, a file too large to count in 64 bits, a texture of more pixels
// than any image the program makes (LinearImage::maxPixelCount) or values no reader gives.
namespace quillmere::raw_answers {

struct SensorAnswer {
    QXRAWMetadata metadata{};
    QXRAWCaptureInfo capture{};
    bool supportsDetail = false;
};

std::string encodeSensorAnswer(const SensorAnswer& answer);
SensorAnswer decodeSensorAnswer(std::string_view body);

// The bytes of the packed plane of a record decodeSensorAnswer gave.
std::uint64_t planeBytes(const QXRAWMetadata& metadata);
// The bytes of `width` × `height` developed pixels (sizes decodeSensorAnswer,
// decodeDevelopmentAnswer or decodeThumbnailAnswer gave).
std::uint64_t developedBytes(std::int32_t width, std::int32_t height);

std::string encodeDevelopParams(bool ownPlane);
// Whether the reader develops its own plane.
bool decodeDevelopParams(std::string_view params);

// Empty when the plane was developed.
std::string encodeDevelopAnswer(std::string_view failure);
std::string decodeDevelopAnswer(std::string_view body);

struct DevelopmentAnswer {
    std::int32_t width = 0;
    std::int32_t height = 0;
    float iso = 0.0f;
    bool supportsDetail = false;
    // What LibRaw read of the capture (all unknown when it read nothing).
    QXRAWCaptureInfo capture{};
};

std::string encodeDevelopmentAnswer(const DevelopmentAnswer& answer);
DevelopmentAnswer decodeDevelopmentAnswer(std::string_view body);

// The thumbnail's longest side, at least 1.
std::string encodeThumbnailParams(std::int32_t longestSide);
std::int32_t decodeThumbnailParams(std::string_view params);

struct ThumbnailAnswer {
    std::int32_t width = 0;
    std::int32_t height = 0;
};

std::string encodeThumbnailAnswer(const ThumbnailAnswer& answer);
ThumbnailAnswer decodeThumbnailAnswer(std::string_view body);

}  // namespace quillmere::raw_answers
