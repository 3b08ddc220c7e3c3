#include "reader/jpeg/jpeg_file.h"

#include <new>
#include <string>

#include "core/imageio/imageio_error.h"
#include "reader/jpeg/jpeg_decompression.h"
#include "reader/jpeg/jpeg_row_converter.h"
#include "reader/raster/linear_image_assembler.h"

namespace quillmere {
namespace {

LinearImage decode(std::string_view bytes, int orientation) {
    JpegDecompression jpeg(bytes);
    jpeg_decompress_struct& info = jpeg.info();
    const std::string iccProfile = jpeg.iccProfile();
    // Adobe's writers store CMYK inverted and say so in their APP14 marker.
    const bool invertedCmyk = info.saw_Adobe_marker;
    info.out_color_space = outputSpaceFor(info.jpeg_color_space);
    jpeg.start();
    if (info.output_components != componentsOf(info.out_color_space)) {
        throw ImageIOError(ImageIOError::Code::corruptImage, "Its colour channels do not match.");
    }

    LinearImageAssembler assembler(info.output_width, info.output_height, orientation);
    const JpegRowConverter converter(info.out_color_space, invertedCmyk, iccProfile,
                                     static_cast<int>(info.output_width));
    const auto readRow = [&](int, std::uint8_t* samples) { jpeg.readRow(samples); };
    assembler.assemble({.sampleBytes = static_cast<std::size_t>(info.output_width) *
                                       static_cast<std::size_t>(info.output_components),
                        .read = readRow,
                        .convert = [&](int, const std::uint8_t* samples, float* linearRgba) {
                            converter.convert(samples, linearRgba);
                        }});
    return std::move(assembler).take();
}

}  // namespace

LinearImage JpegFile::decodeLinear(int orientation) const {
    try {
        return decode(bytes_, orientation);
    } catch (const std::bad_alloc&) {
        throw ImageIOError(ImageIOError::Code::outOfMemory);
    }
}

}  // namespace quillmere
