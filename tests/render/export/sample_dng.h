#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "tests/render/export/classic_tiff_builder.h"

namespace quillmere::testing {

struct SampleDNG {
    std::string bytes;
    std::vector<TIFFEntry> firstDirectory;
    std::uint32_t secondDirectory = 0;
};

// A small DNG: pixel data, an old Software value ("OldCam 1.0") and a second directory, then
// IFD0, then the XMP packet (longer than four bytes) as the file's last bytes, so that every byte
// up to the end is needed.
inline SampleDNG makeSampleDNG(bool bigEndian, std::string_view packet = "<old packet/>") {
    constexpr std::uint16_t kLong = 4;
    ClassicTIFFBuilder builder(bigEndian);
    const std::uint32_t strip = builder.append("odd pixel data");
    const std::uint32_t software = builder.append(std::string_view("OldCam 1.0\0", 11));
    SampleDNG sample;
    sample.secondDirectory = builder.appendDirectory({{254, kLong, 1, builder.u32(1)}}, 0);
    const auto firstDirectory = static_cast<std::uint32_t>((builder.bytes().size() + 1) / 2 * 2);
    // Past the six entries and the next directory's offset.
    const std::uint32_t packetOffset = firstDirectory + 2 + 12 * 6 + 4;
    sample.firstDirectory = {
        {254, kLong, 1, builder.u32(0)},
        {256, 3, 1, builder.inlineShort(16)},
        {273, kLong, 1, builder.u32(strip)},
        {305, 2, 11, builder.u32(software)},
        {700, 1, static_cast<std::uint32_t>(packet.size()), builder.u32(packetOffset)},
        {50706, 1, 4, std::string("\x01\x04\x00\x00", 4)},
    };
    EXPECT_EQ(builder.appendDirectory(sample.firstDirectory, sample.secondDirectory),
              firstDirectory);
    builder.setFirstDirectory(firstDirectory);
    EXPECT_EQ(builder.append(packet), packetOffset);
    sample.bytes = builder.bytes();
    return sample;
}

}  // namespace quillmere::testing
