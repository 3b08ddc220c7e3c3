#include "reader/raster/linear_image_assembler.h"

#include <tbb/parallel_pipeline.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "core/common/uninitialized_allocator.h"
#include "core/compute/half_float.h"
#include "core/imageio/imageio_error.h"

namespace quillmere {
namespace {

bool swapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }

// Stored rows taken at once. Under an orientation that turns them into columns they make a band,
// and 64 RGBA pixels make 1 KiB of each upright row, so four bands fill one page of it.
constexpr int kBatchRows = 64;
// What the batches on their way may hold at most: their samples and bands, not their rows of the
// image.
constexpr std::size_t kBatchMemory = std::size_t{64} << 20;

// Mirrors a row of RGBA pixels in place.
void reversePixels(float* row, std::size_t width) {
    for (std::size_t left = 0, right = width - 1; left < right; ++left, --right) {
        std::swap_ranges(row + left * 4, row + left * 4 + 4, row + right * 4);
    }
}

}  // namespace

struct LinearImageAssembler::Batch {
    int first = 0;
    int count = 0;
    std::vector<std::uint8_t> samples;
    // The batch's rows in linear RGBA: waiting to become columns (orientations 5 to 8), or to
    // become halves (only its first row, for a row at a time, under orientations 1 to 4).
    std::vector<float, UninitializedAllocator<float>> band;
    // The band in halves, for columns of halves.
    std::vector<std::uint16_t, UninitializedAllocator<std::uint16_t>> halfBand;
};

void LinearImageAssembler::checkSize(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) {
        throw ImageIOError(ImageIOError::Code::corruptImage, "The image has no pixels.");
    }
    // Both factors are positive, so the division cannot overflow where a product could.
    if (width > LinearImage::maxPixelCount / height) {
        throw ImageIOError(ImageIOError::Code::imageTooLarge);
    }
}

LinearImageAssembler::Size LinearImageAssembler::uprightSize(std::int64_t storedWidth,
                                                             std::int64_t storedHeight,
                                                             int orientation) {
    if (swapsAxes(orientation)) return {storedHeight, storedWidth};
    return {storedWidth, storedHeight};
}

LinearImageAssembler::LinearImageAssembler(std::int64_t storedWidth, std::int64_t storedHeight,
                                           int orientation, std::uint16_t* halfTexels)
    : orientation_(orientation >= 1 && orientation <= 8 ? orientation : 1),
      halfTexels_(halfTexels) {
    checkSize(storedWidth, storedHeight);
    storedWidth_ = static_cast<int>(storedWidth);
    storedHeight_ = static_cast<int>(storedHeight);
    const Size upright = uprightSize(storedWidth, storedHeight, orientation_);
    image_.width = static_cast<int>(upright.width);
    image_.height = static_cast<int>(upright.height);
}

LinearImageAssembler::LinearImageAssembler(std::int64_t storedWidth, std::int64_t storedHeight,
                                           int orientation)
    : LinearImageAssembler(storedWidth, storedHeight, orientation, nullptr) {
    try {
        image_.rgba.resize(static_cast<std::size_t>(storedWidth * storedHeight) * 4);
    } catch (const std::bad_alloc&) {
        throw ImageIOError(ImageIOError::Code::outOfMemory);
    }
}

// What one batch holds: its rows' samples, and the floats and halves of its band.
struct LinearImageAssembler::BatchLayout {
    std::size_t bandFloats = 0;
    std::size_t bandHalves = 0;
    std::size_t bytes = 0;
    // How many batches are on their way at once.
    std::size_t count = 0;

    BatchLayout(std::size_t width, std::size_t sampleBytes, int orientation, bool halves,
                unsigned threads) {
        bandFloats = swapsAxes(orientation) ? width * 4 * kBatchRows : halves ? width * 4 : 0;
        bandHalves = swapsAxes(orientation) && halves ? bandFloats : 0;
        bytes = kBatchRows * sampleBytes + bandFloats * sizeof(float) +
                bandHalves * sizeof(std::uint16_t);
        count = std::clamp<std::size_t>(kBatchMemory / std::max<std::size_t>(bytes, 1), 2,
                                        2 * std::size_t{threads});
    }
};

std::uint64_t LinearImageAssembler::workingBytes(std::int64_t storedWidth, std::size_t sampleBytes,
                                                 int orientation, bool halves, unsigned threads) {
    const BatchLayout layout(static_cast<std::size_t>(storedWidth), sampleBytes, orientation,
                             halves, threads);
    return std::uint64_t{layout.count} * layout.bytes;
}

// A serial stage reads each batch's rows in order; a parallel stage converts and places batches,
// as many at once as there are threads, while the next are read.
void LinearImageAssembler::assemble(const StoredRows& rows) {
    const BatchLayout layout(static_cast<std::size_t>(storedWidth_), rows.sampleBytes,
                             orientation_, halfTexels_ != nullptr,
                             static_cast<unsigned>(tbb::this_task_arena::max_concurrency()));

    // Batches are reused once placed; all of them die with this call, whatever it throws.
    std::vector<std::unique_ptr<Batch>> batches;
    std::vector<Batch*> idle;
    std::mutex idleLock;
    int nextRow = 0;
    const auto readBatch = [&](tbb::flow_control& control) -> Batch* {
        if (nextRow == storedHeight_) {
            control.stop();
            return nullptr;
        }
        Batch* batch = nullptr;
        {
            const std::lock_guard lock(idleLock);
            if (idle.empty()) {
                batches.push_back(std::make_unique<Batch>());
                idle.push_back(batches.back().get());
            }
            batch = idle.back();
            idle.pop_back();
        }
        batch->samples.resize(kBatchRows * rows.sampleBytes);
        batch->band.resize(layout.bandFloats);
        batch->halfBand.resize(layout.bandHalves);
        batch->first = nextRow;
        batch->count = std::min(kBatchRows, storedHeight_ - nextRow);
        for (int index = 0; index < batch->count && rows.sampleBytes > 0; ++index) {
            rows.read(batch->first + index, batch->samples.data() + index * rows.sampleBytes);
        }
        nextRow += batch->count;
        return batch;
    };
    const auto placeBatch = [&](Batch* batch) {
        convertBatch(rows, *batch);
        const std::lock_guard lock(idleLock);
        idle.push_back(batch);
    };
    try {
        tbb::parallel_pipeline(
            layout.count,
            tbb::make_filter<void, Batch*>(tbb::filter_mode::serial_in_order, readBatch) &
                tbb::make_filter<Batch*, void>(tbb::filter_mode::parallel, placeBatch));
    } catch (const std::bad_alloc&) {
        throw ImageIOError(ImageIOError::Code::outOfMemory);
    }
    complete_ = true;
}

std::size_t LinearImageAssembler::uprightRowStart(int rowFromTop) const {
    return static_cast<std::size_t>(image_.height - 1 - rowFromTop) *
           static_cast<std::size_t>(image_.width) * 4;
}

void LinearImageAssembler::convertBatch(const StoredRows& rows, Batch& batch) {
    const std::size_t width = static_cast<std::size_t>(storedWidth_);
    const auto samplesOf = [&](int index) {
        return batch.samples.data() + static_cast<std::size_t>(index) * rows.sampleBytes;
    };
    if (!swapsAxes(orientation_)) {
        // Orientations 1 to 4: the stored row is one upright row, mirrored or not.
        const bool mirrored = orientation_ == 2 || orientation_ == 3;
        const bool upsideDown = orientation_ == 3 || orientation_ == 4;
        for (int index = 0; index < batch.count; ++index) {
            const int y = batch.first + index;
            const std::size_t start = uprightRowStart(upsideDown ? storedHeight_ - 1 - y : y);
            float* row = halfTexels_ ? batch.band.data() : image_.rgba.data() + start;
            rows.convert(y, samplesOf(index), row);
            if (mirrored) reversePixels(row, width);
            if (halfTexels_) {
                convertFloatToHalf({row, width * 4}, {halfTexels_ + start, width * 4});
            }
        }
        return;
    }
    // Orientations 5 to 8: stored column x is one upright row, and the band's stored rows are
    // neighbouring columns of it.
    for (int index = 0; index < batch.count; ++index) {
        rows.convert(batch.first + index, samplesOf(index),
                     batch.band.data() + static_cast<std::size_t>(index) * width * 4);
    }
    if (!halfTexels_) return placeColumns(batch, batch.band.data(), image_.rgba.data());
    const std::size_t texels = static_cast<std::size_t>(batch.count) * width * 4;
    convertFloatToHalf({batch.band.data(), texels}, {batch.halfBand.data(), texels});
    placeColumns(batch, batch.halfBand.data(), halfTexels_);
}

template <class Texel>
void LinearImageAssembler::placeColumns(const Batch& batch, const Texel* band, Texel* image) {
    const std::size_t width = static_cast<std::size_t>(storedWidth_);
    const int lastX = storedWidth_ - 1;
    const int lastY = storedHeight_ - 1;
    // Upright rows count from the top: orientations 5 and 6 keep stored column x as row x.
    const bool rowsReversed = orientation_ == 7 || orientation_ == 8;
    // Orientations 6 and 7 put the stored top row at the right.
    const bool columnsReversed = orientation_ == 6 || orientation_ == 7;
    for (int x = 0; x < storedWidth_; ++x) {
        Texel* row = image + uprightRowStart(rowsReversed ? lastX - x : x);
        for (int index = 0; index < batch.count; ++index) {
            const int y = batch.first + index;
            const int column = columnsReversed ? lastY - y : y;
            const Texel* pixel =
                band + (static_cast<std::size_t>(index) * width + static_cast<std::size_t>(x)) * 4;
            std::copy_n(pixel, 4, row + static_cast<std::size_t>(column) * 4);
        }
    }
}

LinearImage LinearImageAssembler::take() && {
    if (!complete_) {
        throw ImageIOError(ImageIOError::Code::corruptImage,
                           "Its image data ends before the image does.");
    }
    return std::move(image_);
}

}  // namespace quillmere
