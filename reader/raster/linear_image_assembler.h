#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "core/imageio/linear_image.h"

namespace quillmere {

// Builds a LinearImage from the decoder's rows as stored in the file (top row first, unrotated):
// each row lands where the EXIF orientation puts it in the upright, bottom-row-first image, so
// orientation and row order cost no second copy of the pixels. Or, for the program's textures,
// the same image as RGBA half floats straight into memory the caller holds (a reader's sealed
// file), each value rounded as convertFloatToHalf rounds it: the floats are never all held.
//
// Rows are read in order, as a decoder's library hands them over, and converted into linear light
// in batches, in parallel, while the next batch is read. The image is reserved but not filled and
// a batch touches only its own rows of it, so memory grows with the rows that arrive, not with the
// size the header states: a file that ends early costs what it holds (and the few batches on their
// way). Under an orientation that turns rows into columns a row would touch every page of the
// image, so a batch is gathered as a band first and written out at once, a few pixels to each
// upright row.
class LinearImageAssembler {
  public:
    // How a decoder hands its stored rows over (0 is the top row in the file).
    struct StoredRows {
        // The bytes of samples one row takes between being read and converted; 0 when the
        // decoder reads nothing row by row (its rows lie in memory already).
        std::size_t sampleBytes = 0;
        // Reads row `y` into `samples` (sampleBytes of them). Called for the rows in order,
        // from 0, never on two threads at once; throws to stop the decode. Not needed when
        // sampleBytes is 0.
        std::function<void(int y, std::uint8_t* samples)> read{};
        // Converts row `y`, read into `samples`, into `storedWidth` pixels of linear RGBA (four
        // floats, alpha 1). Called on several threads at once, for rows in any order.
        std::function<void(int y, const std::uint8_t* samples, float* linearRgba)> convert;
    };

    // Checks the size and reserves the image. Throws ImageIOError: corruptImage for an empty
    // size, imageTooLarge beyond LinearImage::maxPixelCount, outOfMemory when allocation fails.
    // An orientation outside 1 to 8 counts as 1.
    LinearImageAssembler(std::int64_t storedWidth, std::int64_t storedHeight, int orientation);
    // The same, into `halfTexels`: four halves a pixel, the upright image's rows packed bottom
    // first (uprightSize gives its sides), which the caller holds until assemble returns; take()
    // then gives the image's sides without pixels.
    LinearImageAssembler(std::int64_t storedWidth, std::int64_t storedHeight, int orientation,
                         std::uint16_t* halfTexels);

    // Reads, converts and places every stored row. Throws what `rows` throws, and ImageIOError
    // (outOfMemory) when a batch cannot be held.
    void assemble(const StoredRows& rows);

    // The image, once every row was placed; throws ImageIOError (corruptImage) before that, so a
    // decoder that stops early never hands out the unset rest.
    LinearImage take() &&;

    // Throws the same errors as the constructor for a size the decoders must not allocate.
    static void checkSize(std::int64_t width, std::int64_t height);

    // The sides of the upright image of a picture stored `storedWidth` × `storedHeight`.
    struct Size {
        std::int64_t width = 0;
        std::int64_t height = 0;
    };
    static Size uprightSize(std::int64_t storedWidth, std::int64_t storedHeight, int orientation);

    // The most memory assemble() holds besides the image, on `threads` threads: the batches on
    // their way, of rows `storedWidth` wide and `sampleBytes` long, placed in `orientation`, into
    // halves or floats.
    static std::uint64_t workingBytes(std::int64_t storedWidth, std::size_t sampleBytes,
                                      int orientation, bool halves, unsigned threads);

  private:
    struct Batch;
    struct BatchLayout;

    void convertBatch(const StoredRows& rows, Batch& batch);
    // Places the batch's rows, converted into its band (four texels a pixel), as columns.
    template <class Texel>
    void placeColumns(const Batch& batch, const Texel* band, Texel* image);
    // Where the upright row `rowFromTop` starts, counted in texels from the image's first.
    std::size_t uprightRowStart(int rowFromTop) const;

    int storedWidth_;
    int storedHeight_;
    int orientation_;
    bool complete_ = false;
    LinearImage image_;
    std::uint16_t* halfTexels_ = nullptr;
};

}  // namespace quillmere
