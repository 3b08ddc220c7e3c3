#include "core/imageio/jpeg/jpeg_decoder.h"

#include <optional>
#include <string>

#include "core/imageio/imageio_error.h"
#include "core/imageio/jpeg/jpeg_data_bound.h"
#include "core/imageio/jpeg/jpeg_error_handling.h"
#include "core/imageio/jpeg/jpeg_row_converter.h"
#include "core/imageio/linear_image_assembler.h"

namespace quillmere {
namespace {

using jpeg_errors::ErrorManager;

class Decompressor {
public:
    Decompressor() { jpeg_errors::install(errors_, *reinterpret_cast<jpeg_common_struct*>(&info_)); }
    ~Decompressor() {
        if (created_) jpeg_destroy_decompress(&info_);
    }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    jpeg_decompress_struct& info() { return info_; }
    const ErrorManager& errors() const { return errors_; }

    // Runs a libjpeg step and turns its fatal error into an ImageIOError.
    template <class Step>
    void run(const Step& step) {
        if (!jpeg_errors::run(errors_, step)) {
            throw ImageIOError(ImageIOError::Code::corruptImage, errors_.message);
        }
    }

    void create() {
        run([this] { jpeg_create_decompress(&info_); });
        created_ = true;
        jpeg_errors::limitScans(errors_, info_);
    }

    void throwIfTruncated() const {
        if (errors_.truncated) {
            throw ImageIOError(ImageIOError::Code::corruptImage,
                               "Its image data ends before the image does.");
        }
    }

private:
    jpeg_decompress_struct info_{};
    ErrorManager errors_{};
    bool created_ = false;
};

LinearImage decode(std::string_view bytes, int orientation) {
    Decompressor decompressor;
    decompressor.create();
    jpeg_decompress_struct& info = decompressor.info();
    decompressor.run([&] {
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()),
                     static_cast<unsigned long>(bytes.size()));
        jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
        jpeg_read_header(&info, TRUE);
    });
    LinearImageAssembler::checkSize(info.image_width, info.image_height);
    if (const std::optional<std::string> implausible =
            jpeg_data_bound::implausibleSize(info, bytes)) {
        throw ImageIOError(ImageIOError::Code::corruptImage, *implausible);
    }

    std::string iccProfile;
    decompressor.run([&] { iccProfile = embeddedIccProfile(info); });
    // Adobe's writers store CMYK inverted and say so in their APP14 marker.
    const bool invertedCmyk = info.saw_Adobe_marker;
    info.out_color_space = outputSpaceFor(info.jpeg_color_space);
    decompressor.run([&] { jpeg_start_decompress(&info); });
    decompressor.throwIfTruncated();
    if (info.output_components != componentsOf(info.out_color_space)) {
        throw ImageIOError(ImageIOError::Code::corruptImage, "Its colour channels do not match.");
    }

    LinearImageAssembler assembler(info.output_width, info.output_height, orientation);
    const JpegRowConverter converter(info.out_color_space, invertedCmyk, iccProfile,
                                     static_cast<int>(info.output_width));
    const auto readRow = [&](int, std::uint8_t* samples) {
        JSAMPROW row = samples;
        JDIMENSION read = 0;
        decompressor.run([&] { read = jpeg_read_scanlines(&info, &row, 1); });
        decompressor.throwIfTruncated();
        if (read != 1) throw ImageIOError(ImageIOError::Code::corruptImage);
    };
    assembler.assemble({.sampleBytes = static_cast<std::size_t>(info.output_width) *
                                       static_cast<std::size_t>(info.output_components),
                        .read = readRow,
                        .convert = [&](int, const std::uint8_t* samples, float* linearRgba) {
                            converter.convert(samples, linearRgba);
                        }});
    return std::move(assembler).take();
}

}  // namespace

LinearImage decodeJpeg(std::string_view bytes, int orientation) {
    try {
        return decode(bytes, orientation);
    } catch (const std::bad_alloc&) {
        throw ImageIOError(ImageIOError::Code::outOfMemory);
    }
}

}  // namespace quillmere
