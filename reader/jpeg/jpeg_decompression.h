#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include <jpeglib.h>

#include "core/imageio/imageio_error.h"
#include "core/imageio/jpeg/jpeg_error_handling.h"
#include "reader/jpeg/jpeg_scan_watch.h"

namespace quillmere {

// libjpeg decompressing one JPEG held in memory, for every decode of the program: errors come
// back as ImageIOError instead of ending the process, and nothing the header promises is sized
// before the file's coded data is found to hold it.
class JpegDecompression {
  public:
    // Reads `bytes` (which must outlive the decompression) up to the start of its first scan,
    // keeping its ICC profile's markers, and finds the scans libjpeg will read in them. Throws
    // ImageIOError: corruptImage for a damaged header or scan header, a header promising more 8 × 8
    // blocks than the coded data can hold, or scans going over more blocks than it pays for;
    // imageTooLarge beyond LinearImage::maxPixelCount pixels. libjpeg's memory is limited to what
    // that coded data can fill: a progressive file's coefficients for the blocks it holds, and its
    // working buffers.
    explicit JpegDecompression(std::string_view bytes);
    JpegDecompression(const JpegDecompression&) = delete;
    JpegDecompression& operator=(const JpegDecompression&) = delete;

    // The header, for choosing the output colour space and scale before start().
    jpeg_decompress_struct& info() { return libjpeg_.info; }
    const jpeg_decompress_struct& info() const { return libjpeg_.info; }

    // The blocks the scans libjpeg will read go over in all.
    std::uint64_t scanBlocks() const { return scanBlocks_; }

    // The embedded ICC profile; empty when it has none. Throws ImageIOError.
    std::string iccProfile();

    // Starts decompressing (a progressive file is read whole here). Throws ImageIOError:
    // corruptImage when libjpeg fails, the coded data ends early, a scan refines bits out of
    // order, or libjpeg reads a scan otherwise than it was counted.
    void start();

    // Reads the next output row into `row`. Throws ImageIOError (corruptImage) when libjpeg fails
    // or the coded data ends before the image does, which libjpeg would pad with grey.
    void readRow(JSAMPROW row);

  private:
    // Runs a libjpeg step and turns its fatal error into an ImageIOError.
    template <class Step>
    void run(const Step& step) {
        if (!jpeg_errors::run(libjpeg_.errors, step)) {
            throw ImageIOError(ImageIOError::Code::corruptImage, libjpeg_.errors.message);
        }
    }
    void throwIfTruncated() const;

    // libjpeg's object, destroyed on every way out, a constructor that throws included.
    struct Libjpeg {
        Libjpeg();
        ~Libjpeg();
        jpeg_decompress_struct info{};
        jpeg_errors::ErrorManager errors{};
        jpeg_scans::ScanWatch scanWatch;
        bool created = false;
    };
    Libjpeg libjpeg_;
    std::uint64_t scanBlocks_ = 0;
};

}  // namespace quillmere
