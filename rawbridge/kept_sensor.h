#pragma once

#include <cstdint>

#include "rawbridge/libraw_instance.h"
#include "rawbridge/linear_render.h"
#include "rawbridge/qx_raw.h"

// A RAW file unpacked once and developed as often as its caller asks (qx_raw_sensor_*): the
// LibRaw instance with its sensor data, the file's record and the development colour read before
// any development changed the instance.
struct QXRAWSensor {
    quillmere::rawbridge::LibRawInstance raw;
    QXRAWMetadata record;
    quillmere::rawbridge::DevelopmentColour colour;
};

namespace quillmere::rawbridge {

// Unpacks the file and reads its record with the noise fit of its packed plane, as qx_raw_read
// does. The kept sensor holds every sample the plane covers as its own plane written back gives
// it.
QXRAWSensor openSensor(const char* path);

// The sensor's packed plane, as qx_raw_read gave it, into `plane`.
void readSensorPlane(QXRAWSensor& sensor, float* plane);

// Develops `packed` (the sensor's own plane when null) as qx_raw_render does, into `rgba`
// (output_width × output_height × 4 halves, bottom row first). A plane of the caller's is written
// into the sensor for the development and taken out again afterwards, so the sensor always holds
// its own plane; LibRaw's developed image is released before returning.
void renderSensor(QXRAWSensor& sensor, const float* packed, std::uint16_t* rgba);

}  // namespace quillmere::rawbridge
