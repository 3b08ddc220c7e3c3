#include "core/imageio/jpeg/jpeg_encoder.h"

#include <jerror.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <new>
#include <vector>

#include "core/imageio/imageio_error.h"
#include "core/imageio/jpeg/jpeg_error_handling.h"

namespace quillmere {
namespace {

// JPEG's size fields are 16 bits; libjpeg refuses anything above this.
constexpr int maxJpegSide = 65500;

int libjpegQuality(double quality) {
    const double limited = std::isnan(quality) ? 1.0 : std::fmin(std::fmax(quality, 0.0), 1.0);
    return static_cast<int>(std::lround(limited * 100.0));
}

// Rows handed to libjpeg at once when they come in bands.
constexpr int rowsPerBand = 64;

void checkSize(int width, int height) {
    if (width <= 0 || height <= 0 || width > maxJpegSide || height > maxJpegSide) {
        throw ImageIOError(ImageIOError::Code::encodingFailed,
                           "A JPEG holds 1 to 65500 pixels a side.");
    }
}

void checkImage(const Rgb8Image& image) {
    checkSize(image.width, image.height);
    const std::uint64_t expected = static_cast<std::uint64_t>(image.width) *
                                   static_cast<std::uint64_t>(image.height) * 3;
    if (image.rgb.size() != expected) {
        throw ImageIOError(ImageIOError::Code::encodingFailed,
                           "The pixel buffer does not match the image size.");
    }
}

// Collects the compressed bytes in a string. A failed allocation is reported to libjpeg as its
// own out-of-memory error, so no C++ exception crosses libjpeg's frames.
struct StringDestination {
    jpeg_destination_mgr base;  // first, so libjpeg's pointer to it is a pointer to the whole
    std::string* output;
    std::array<JOCTET, 65536> buffer;

    static StringDestination& of(j_compress_ptr info) {
        return *reinterpret_cast<StringDestination*>(info->dest);
    }

    static void append(j_compress_ptr info, std::size_t count) {
        StringDestination& destination = of(info);
        bool appended = false;
        try {
            destination.output->append(reinterpret_cast<const char*>(destination.buffer.data()),
                                       count);
            appended = true;
        } catch (const std::bad_alloc&) {
        }
        if (!appended) {
            info->err->msg_code = JERR_OUT_OF_MEMORY;
            (*info->err->error_exit)(reinterpret_cast<j_common_ptr>(info));
        }
        destination.base.next_output_byte = destination.buffer.data();
        destination.base.free_in_buffer = destination.buffer.size();
    }

    static void start(j_compress_ptr info) { append(info, 0); }
    static boolean flush(j_compress_ptr info) {
        append(info, of(info).buffer.size());
        return TRUE;
    }
    static void finish(j_compress_ptr info) {
        append(info, of(info).buffer.size() - of(info).base.free_in_buffer);
    }

    explicit StringDestination(std::string& target) : base{}, output(&target), buffer{} {
        base.init_destination = start;
        base.empty_output_buffer = flush;
        base.term_destination = finish;
    }
};

class Compressor {
public:
    Compressor() { jpeg_errors::install(errors_, *reinterpret_cast<jpeg_common_struct*>(&info_)); }
    ~Compressor() {
        if (created_) jpeg_destroy_compress(&info_);
    }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    template <class Step>
    void run(const Step& step) {
        if (!jpeg_errors::run(errors_, step)) {
            throw ImageIOError(ImageIOError::Code::encodingFailed, errors_.message);
        }
    }

    std::string encode(int width, int height, const Rgb8Rows& rows, int quality,
                       std::string_view iccProfile) {
        run([this] { jpeg_create_compress(&info_); });
        created_ = true;
        run([&] {
            info_.dest = &destination_.base;
            info_.image_width = static_cast<JDIMENSION>(width);
            info_.image_height = static_cast<JDIMENSION>(height);
            info_.input_components = 3;
            info_.in_color_space = JCS_RGB;
            jpeg_set_defaults(&info_);
            jpeg_set_quality(&info_, quality, TRUE);
            jpeg_start_compress(&info_, TRUE);
            if (!iccProfile.empty()) {
                jpeg_write_icc_profile(&info_, reinterpret_cast<const JOCTET*>(iccProfile.data()),
                                       static_cast<unsigned int>(iccProfile.size()));
            }
        });
        const std::size_t rowBytes = static_cast<std::size_t>(width) * 3;
        std::vector<std::uint8_t> band(rowBytes *
                                       static_cast<std::size_t>(std::min(height, rowsPerBand)));
        std::vector<JSAMPROW> bandRows;
        for (int first = 0; first < height; first += rowsPerBand) {
            const int count = std::min(rowsPerBand, height - first);
            // The rows are made outside libjpeg's frames, so whatever they throw passes.
            rows(first, count, band.data());
            bandRows.clear();
            for (int y = 0; y < count; ++y) {
                bandRows.push_back(band.data() + static_cast<std::size_t>(y) * rowBytes);
            }
            run([&] {
                jpeg_write_scanlines(&info_, bandRows.data(), static_cast<JDIMENSION>(count));
            });
        }
        run([this] { jpeg_finish_compress(&info_); });
        return std::move(output_);
    }

private:
    jpeg_compress_struct info_{};
    jpeg_errors::ErrorManager errors_{};
    bool created_ = false;
    std::string output_;
    StringDestination destination_{output_};
};

}  // namespace

std::string encodeJpeg(const Rgb8Image& image, double quality, std::string_view iccProfile) {
    checkImage(image);
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
    return encodeJpeg(
        image.width, image.height,
        [&](int first, int rows, std::uint8_t* rgb) {
            std::copy_n(image.rgb.data() + static_cast<std::size_t>(first) * rowBytes,
                        static_cast<std::size_t>(rows) * rowBytes, rgb);
        },
        quality, iccProfile);
}

std::string encodeJpeg(int width, int height, const Rgb8Rows& rows, double quality,
                       std::string_view iccProfile) {
    checkSize(width, height);
    try {
        Compressor compressor;
        return compressor.encode(width, height, rows, libjpegQuality(quality), iccProfile);
    } catch (const std::bad_alloc&) {
        throw ImageIOError(ImageIOError::Code::outOfMemory);
    }
}

}  // namespace quillmere
