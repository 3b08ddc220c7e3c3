#include "rawbridge/thumbnail_development.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <exception>
#include <vector>

#include "rawbridge/half_float.h"
#include "rawbridge/libraw_instance.h"
#include "rawbridge/linear_render.h"
#include "rawbridge/packed_plane.h"
#include "rawbridge/sensor_metadata.h"

namespace quillmere::rawbridge {
namespace {

constexpr int kTransposed = 4;
constexpr int kLinesPerTask = 16;

// The record's crop and output size counted in 2 × 2 quads instead of samples, so that
// sourcePosition addresses quads: the crop's edges rounded down to whole quads (at least one),
// the orientation unchanged.
QXRAWMetadata quadGeometry(const QXRAWMetadata& record) {
    QXRAWMetadata quads = record;
    quads.crop_x = record.crop_x / 2;
    quads.crop_y = record.crop_y / 2;
    quads.crop_width = std::clamp(record.crop_width / 2, 1, record.packed_width - quads.crop_x);
    quads.crop_height = std::clamp(record.crop_height / 2, 1, record.packed_height - quads.crop_y);
    const bool transposed = (record.orientation & kTransposed) != 0;
    quads.output_width = transposed ? quads.crop_height : quads.crop_width;
    quads.output_height = transposed ? quads.crop_width : quads.crop_height;
    return quads;
}

// The camera colour of the quad whose plane elements start at `element`, in the units the
// linear development's scales expect (sensor counts above black), its two greens averaged.
std::array<float, 3> quadCounts(const float* element, const QXRAWMetadata& record) {
    const auto counts = [&](int channel) {
        return element[channel] * (record.white[channel] - record.black[channel]);
    };
    return {counts(kRed), (counts(kGreen1) + counts(kGreen2)) * 0.5f, counts(kBlue)};
}

DevelopedImage binnedDevelopment(LibRaw& raw) {
    const QXRAWMetadata record = metadataFor(raw);
    const DevelopmentColour colour = developmentColour(raw, record);
    const QXRAWMetadata quads = quadGeometry(record);

    DevelopedImage developed;
    developed.width = quads.output_width;
    developed.height = quads.output_height;
    developed.rgba = allocateBuffer<std::uint16_t>(
        static_cast<std::uint64_t>(quads.output_width) * quads.output_height, 4,
        "Cannot allocate the RAW thumbnail.");
    // Every output line (a column when the orientation transposes, else a row) shows one quad
    // row of the sensor, read once.
    const bool transposed = (quads.orientation & kTransposed) != 0;
    const int lines = transposed ? quads.output_width : quads.output_height;
    const int along = transposed ? quads.output_height : quads.output_width;
    const auto& m = colour.cameraToRGB;
    tbb::parallel_for(tbb::blocked_range<int>(0, lines, kLinesPerTask), [&](const auto& range) {
        std::vector<float> quadRow(static_cast<std::size_t>(record.packed_width) * 4);
        for (int line = range.begin(); line != range.end(); ++line) {
            const int sensorRow =
                (transposed ? sourcePosition(quads, line, 0) : sourcePosition(quads, 0, line)).row;
            readPackedRows(raw, record, sensorRow, 1, quadRow.data());
            for (int i = 0; i < along; ++i) {
                const int ox = transposed ? line : i, oy = transposed ? i : line;
                const ImagePosition quad = sourcePosition(quads, ox, oy);
                const std::array<float, 3> counts =
                    quadCounts(quadRow.data() + static_cast<std::size_t>(quad.column) * 4, record);
                std::array<float, 3> c = {colour.scales[0] * counts[0],
                                          colour.scales[1] * counts[1],
                                          colour.scales[2] * counts[2]};
                // Only a colour past the white level is treated.
                if (c[0] > 1.0f || c[1] > 1.0f || c[2] > 1.0f) treatHighlights(c);
                std::uint16_t* out =
                    developed.rgba.get() +
                    (static_cast<std::size_t>(quads.output_height - 1 - oy) * quads.output_width +
                     static_cast<std::size_t>(ox)) *
                        4;
                for (int channel = 0; channel < 3; ++channel) {
                    out[channel] = halfFromFloat(m[channel][0] * c[0] + m[channel][1] * c[1] +
                                                 m[channel][2] * c[2]);
                }
                out[3] = kHalfOne;
            }
        }
    });
    return developed;
}

}  // namespace

DevelopedImage developThumbnail(const char* path) {
    if (isThreeColourBayer(*openFile(path))) {
        try {
            return binnedDevelopment(*unpack(path));
        } catch (const std::exception&) {
            // The program opens a file whose sensor the bridge refuses by LibRaw's development,
            // and so does its thumbnail.
        }
    }
    return developFully(path, DevelopmentSize::half);
}

}  // namespace quillmere::rawbridge
