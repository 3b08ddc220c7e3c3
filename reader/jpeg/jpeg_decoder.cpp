#include <new>
#include <string>

#include "core/imageio/imageio_error.h"
#include "reader/jpeg/jpeg_decompression.h"
#include "reader/jpeg/jpeg_file.h"
#include "reader/jpeg/jpeg_row_converter.h"
#include "reader/raster/linear_image_assembler.h"

namespace quillmere {
namespace {

// libjpeg started for every pixel at full size, and the conversion of its rows into linear light.
struct LinearRows {
    explicit LinearRows(JpegDecompression& jpeg, const std::string& iccProfile)
        : jpeg(jpeg), converter(start(jpeg, iccProfile)) {}

    LinearImageAssembler::StoredRows storedRows() {
        const jpeg_decompress_struct& info = jpeg.info();
        return {.sampleBytes = static_cast<std::size_t>(info.output_width) *
                               static_cast<std::size_t>(info.output_components),
                .read = [this](int, std::uint8_t* samples) { jpeg.readRow(samples); },
                .convert = [this](int, const std::uint8_t* samples, float* linearRgba) {
                    converter.convert(samples, linearRgba);
                }};
    }

    static JpegRowConverter start(JpegDecompression& jpeg, const std::string& iccProfile) {
        jpeg_decompress_struct& info = jpeg.info();
        // Adobe's writers store CMYK inverted and say so in their APP14 marker.
        const bool invertedCmyk = info.saw_Adobe_marker;
        info.out_color_space = outputSpaceFor(info.jpeg_color_space);
        jpeg.start();
        if (info.output_components != componentsOf(info.out_color_space)) {
            throw ImageIOError(ImageIOError::Code::corruptImage,
                               "Its colour channels do not match.");
        }
        return JpegRowConverter(info.out_color_space, invertedCmyk, iccProfile,
                                static_cast<int>(info.output_width));
    }

    JpegDecompression& jpeg;
    const JpegRowConverter converter;
};

}  // namespace

JpegFile::JpegFile(std::string_view bytes) {
    refusingWithoutMemory([&] {
        jpeg_ = std::make_unique<JpegDecompression>(bytes);
        const jpeg_decompress_struct& info = jpeg_->info();
        claim_.width = info.image_width;
        claim_.height = info.image_height;
        claim_.components = componentsOf(outputSpaceFor(info.jpeg_color_space));
        // libjpeg keeps the coefficients of a file it reads in more than one scan.
        claim_.keepsCoefficients =
            info.progressive_mode || info.comps_in_scan < info.num_components;
        for (int component = 0; component < info.num_components; ++component) {
            claim_.blocks += std::uint64_t{info.comp_info[component].width_in_blocks} *
                             info.comp_info[component].height_in_blocks;
        }
        claim_.scanBlocks = jpeg_->scanBlocks();
        claim_.iccProfile = jpeg_->iccProfile();
    });
}

JpegFile::~JpegFile() = default;

JpegDecompression& JpegFile::decompression() {
    if (decoded_) {
        throw ImageIOError(ImageIOError::Code::corruptImage, "The photo was decoded already.");
    }
    decoded_ = true;
    return *jpeg_;
}

LinearImage JpegFile::decodeLinear(int orientation) {
    return refusingWithoutMemory([&] {
        LinearRows rows(decompression(), claim_.iccProfile);
        LinearImageAssembler assembler(rows.jpeg.info().output_width,
                                       rows.jpeg.info().output_height, orientation);
        assembler.assemble(rows.storedRows());
        return std::move(assembler).take();
    });
}

void JpegFile::decodeHalfFloat(int orientation, std::uint16_t* texels) {
    refusingWithoutMemory([&] {
        LinearRows rows(decompression(), claim_.iccProfile);
        // libjpeg hands over the claimed size: the texels were sized from it, and no scale is set.
        LinearImageAssembler assembler(claim_.width, claim_.height, orientation, texels);
        assembler.assemble(rows.storedRows());
    });
}

}  // namespace quillmere
