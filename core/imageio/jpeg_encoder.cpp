#include "core/imageio/jpeg_encoder.h"

#include <array>
#include <cmath>
#include <new>

#include "core/imageio/imageio_error.h"
#include "core/imageio/jpeg_error_handling.h"

#include <jerror.h>

namespace quillmere {
namespace {

// JPEG's size fields are 16 bits; libjpeg refuses anything above this.
constexpr int maxJpegSide = 65500;

int libjpegQuality(double quality) {
    const double limited = std::isnan(quality) ? 1.0 : std::fmin(std::fmax(quality, 0.0), 1.0);
    return static_cast<int>(std::lround(limited * 100.0));
}

void checkImage(const Rgb8Image& image) {
    if (image.width <= 0 || image.height <= 0 || image.width > maxJpegSide ||
        image.height > maxJpegSide) {
        throw ImageIOError(ImageIOError::Code::encodingFailed,
                           "A JPEG holds 1 to 65500 pixels a side.");
    }
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

    std::string encode(const Rgb8Image& image, int quality, std::string_view iccProfile) {
        run([this] { jpeg_create_compress(&info_); });
        created_ = true;
        run([&] {
            info_.dest = &destination_.base;
            info_.image_width = static_cast<JDIMENSION>(image.width);
            info_.image_height = static_cast<JDIMENSION>(image.height);
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
        const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 3;
        for (int y = 0; y < image.height; ++y) {
            // libjpeg only reads the row, whatever its pointer type says.
            JSAMPROW row = const_cast<JSAMPLE*>(image.rgb.data() + static_cast<std::size_t>(y) * rowBytes);
            run([&] { jpeg_write_scanlines(&info_, &row, 1); });
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
    try {
        Compressor compressor;
        return compressor.encode(image, libjpegQuality(quality), iccProfile);
    } catch (const std::bad_alloc&) {
        throw ImageIOError(ImageIOError::Code::outOfMemory);
    }
}

}  // namespace quillmere
