#pragma once

#include <gtest/gtest.h>

#include "core/common/coding_error.h"
#include "core/edit/edit_params.h"

namespace quillmere::testing {

// The DecodingError that `decode` throws; records a test failure when it throws none.
template <class Decode>
DecodingError decodingErrorOf(Decode decode) {
    try {
        decode();
    } catch (const DecodingError& error) {
        return error;
    }
    ADD_FAILURE() << "expected a DecodingError";
    return DecodingError::dataCorrupted({}, "no error was thrown");
}

// An edit with every stored setting away from its default, so that a field lost or touched by
// mistake shows.
inline EditParams busyEdit() {
    EditParams edit = EditParams::neutral(5000, 10);
    edit.exposure = 0.5;
    edit.contrast = 10;
    edit.highlights = -20;
    edit.shadows = 30;
    edit.whites = 5;
    edit.blacks = -5;
    edit.vibrance = 12;
    edit.saturation = -8;
    edit.denoise = 40;
    edit.denoiseMethod = DenoiseMethod::matchFilter;
    edit.sharpening = SharpeningSettings::classic();
    edit.toneCurve.rgb = {{0, 10}, {128, 140}, {255, 250}};
    edit.hsl.blackAndWhite = true;
    edit.hsl.hue[5] = -30;
    edit.hsl.points.emplace_back(200, 0.5, 0.5);
    edit.spotRepairs.emplace_back(UUID::random(), 0.5, 0.5, 0.05,
                                  std::vector<SpotRepair::Point>{{0.6, 0.6}});
    return edit;
}

}  // namespace quillmere::testing
