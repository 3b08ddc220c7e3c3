#include "rawbridge/qx_raw.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "rawbridge/bridge_call.h"
#include "rawbridge/capture_info.h"
#include "rawbridge/full_development.h"
#include "rawbridge/kept_sensor.h"
#include "rawbridge/libraw_instance.h"
#include "rawbridge/linear_render.h"
#include "rawbridge/noise_profile.h"
#include "rawbridge/packed_plane.h"
#include "rawbridge/sensor_metadata.h"
#include "rawbridge/thumbnail_development.h"

static_assert(sizeof(QXRAWMetadata) == 44 * 4, "QXRAWMetadata is 44 four-byte fields");
static_assert(sizeof(QXRAWCaptureInfo) == 384, "QXRAWCaptureInfo has no padding");

using namespace quillmere::rawbridge;

extern "C" std::int32_t qx_raw_read(const char* path, QXRAWMetadata* metadata, float** pixels,
                                    char* error, std::size_t errorLength) {
    return runBridgeCall(error, errorLength, "Unknown sensor decoding error.", [&] {
        if (pixels == nullptr) fail("Missing RAW input.");
        *pixels = nullptr;
        if (path == nullptr || metadata == nullptr) fail("Missing RAW input.");

        LibRawInstance raw = unpack(path);
        QXRAWMetadata record = metadataFor(*raw);
        MallocBuffer<float> plane =
            allocateBuffer<float>(static_cast<std::uint64_t>(record.packed_width) *
                                      static_cast<std::uint64_t>(record.packed_height),
                                  4, "Cannot allocate packed RAW pixels.");
        readPackedPlane(*raw, record, plane.get());
        estimate(plane.get(), record.packed_width, record.packed_height, record.noise_shot,
                 record.noise_read_variance, record.noise_samples);
        *metadata = record;
        *pixels = plane.release();
    });
}

extern "C" std::int32_t qx_raw_render(const char* path, const QXRAWMetadata* metadata,
                                      const float* packed, std::uint16_t** rgba, char* error,
                                      std::size_t errorLength) {
    return runBridgeCall(error, errorLength, "Unknown linear RAW rendering error.", [&] {
        if (rgba == nullptr) fail("Missing RAW rendering input.");
        *rgba = nullptr;
        if (path == nullptr || metadata == nullptr || packed == nullptr) {
            fail("Missing RAW rendering input.");
        }
        LibRawInstance raw = unpack(path);
        *rgba = renderLinear(*raw, *metadata, packed).release();
    });
}

extern "C" std::int32_t qx_raw_render_original(const char* path, std::int32_t info[3],
                                               std::uint16_t** rgba, char* error,
                                               std::size_t errorLength) {
    return runBridgeCall(error, errorLength, "Unknown general RAW rendering error.", [&] {
        if (rgba == nullptr) fail("Missing RAW rendering input.");
        *rgba = nullptr;
        if (path == nullptr || info == nullptr) fail("Missing RAW rendering input.");
        DevelopedImage developed = developFully(path);
        info[0] = developed.width;
        info[1] = developed.height;
        std::memcpy(&info[2], &developed.iso, sizeof developed.iso);
        *rgba = developed.rgba.release();
    });
}

extern "C" std::int32_t qx_raw_sensor_open(const char* path, QXRAWMetadata* metadata,
                                           QXRAWSensor** sensor, char* error,
                                           std::size_t errorLength) {
    return runBridgeCall(error, errorLength, "Unknown sensor decoding error.", [&] {
        if (sensor == nullptr) fail("Missing RAW input.");
        *sensor = nullptr;
        if (path == nullptr || metadata == nullptr) fail("Missing RAW input.");
        auto opened = std::make_unique<QXRAWSensor>(openSensor(path));
        *metadata = opened->record;
        *sensor = opened.release();
    });
}

extern "C" std::int32_t qx_raw_sensor_read(QXRAWSensor* sensor, float* packed, char* error,
                                           std::size_t errorLength) {
    return runBridgeCall(error, errorLength, "Unknown sensor decoding error.", [&] {
        if (sensor == nullptr || packed == nullptr) fail("Missing RAW input.");
        readSensorPlane(*sensor, packed);
    });
}

extern "C" std::int32_t qx_raw_sensor_render(QXRAWSensor* sensor, const float* packed,
                                             std::uint16_t* rgba, char* error,
                                             std::size_t errorLength) {
    return runBridgeCall(error, errorLength, "Unknown linear RAW rendering error.", [&] {
        if (sensor == nullptr || rgba == nullptr) fail("Missing RAW rendering input.");
        renderSensor(*sensor, packed, rgba);
    });
}

extern "C" void qx_raw_sensor_close(QXRAWSensor* sensor) { delete sensor; }

extern "C" std::int32_t qx_raw_thumbnail(const char* path, std::int32_t size[2],
                                         std::uint16_t** rgba, char* error,
                                         std::size_t errorLength) {
    return runBridgeCall(error, errorLength, "Unknown RAW thumbnail error.", [&] {
        if (rgba == nullptr) fail("Missing RAW thumbnail input.");
        *rgba = nullptr;
        if (path == nullptr || size == nullptr) fail("Missing RAW thumbnail input.");
        DevelopedImage thumbnail = developThumbnail(path);
        size[0] = thumbnail.width;
        size[1] = thumbnail.height;
        *rgba = thumbnail.rgba.release();
    });
}

extern "C" std::int32_t qx_raw_read_capture_info(const char* path, QXRAWCaptureInfo* info,
                                                 char* error, std::size_t errorLength) {
    return runBridgeCall(error, errorLength, "Unknown RAW header error.", [&] {
        if (path == nullptr || info == nullptr) fail("Missing RAW input.");
        // A header stripped of its image data still tells its capture; a colour filter no
        // development describes refuses the file here as on every other path.
        LibRawInstance raw = newLibRawInstance();
        check(raw->open_file(path), "Open RAW");
        requireBayerQuad(*raw);
        *info = captureInfoFor(*raw);
    });
}

extern "C" bool qx_raw_is_supported_bayer(const char* path) {
    if (path == nullptr) return false;
    try {
        return isThreeColourBayer(*openFile(path));
    } catch (...) {
        return false;
    }
}

extern "C" void qx_raw_free(void* pointer) { std::free(pointer); }

extern "C" const char* qx_raw_version(void) { return LibRaw::version(); }
