#include "core/compute/command_buffer.h"

#include <tbb/blocked_range.h>
#include <tbb/parallel_for.h>
#include <tbb/task_arena.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <stdexcept>

namespace quillmere {

class PassThreads {
  public:
    explicit PassThreads(int threadCount) : arena_(threadCount) {}
    template <class Work>
    void run(const Work& work) {
        arena_.execute(work);
    }

  private:
    tbb::task_arena arena_;
};

namespace {

// Rows are handed to worker threads in blocks of about this many texels: enough work per task
// to hide the scheduling cost, small enough to balance the load on a 2048-pixel-wide image.
constexpr int kTexelsPerTask = 8192;

void run(const ComputeDispatch& dispatch) {
    const GridSize grid = dispatch.threadsPerGrid;
    if (grid.width == 0 || grid.height == 0) return;
    const KernelArguments arguments(dispatch);
    const KernelFunction& kernel = dispatch.pipeline->function();
    const int rowsPerTask = std::max(1, kTexelsPerTask / grid.width);
    tbb::parallel_for(tbb::blocked_range<int>(0, grid.height, rowsPerTask),
                      [&](const tbb::blocked_range<int>& rows) {
                          kernel(arguments, RowRange{rows.begin(), rows.end()});
                      });
}

void run(const BlitCopy& copy) {
    const Region& region = copy.sourceRegion;
    const std::size_t rowLength =
        static_cast<std::size_t>(region.width) * bytesPerPixel(copy.source->pixelFormat());
    const std::size_t sourceOffset =
        static_cast<std::size_t>(region.x) * bytesPerPixel(copy.source->pixelFormat());
    const std::size_t destinationOffset =
        static_cast<std::size_t>(copy.destinationX) * bytesPerPixel(copy.source->pixelFormat());
    // memmove: a copy within one texture may overlap itself.
    for (int row = 0; row < region.height; ++row) {
        std::memmove(copy.destination->rowData(copy.destinationY + row) + destinationOffset,
                     copy.source->rowData(region.y + row) + sourceOffset, rowLength);
    }
}

void run(const CommandPass& pass) {
    for (const ComputeDispatch& dispatch : pass.dispatches) run(dispatch);
    for (const BlitCopy& copy : pass.copies) run(copy);
}

}  // namespace

CommandBuffer::CommandBuffer(std::shared_ptr<std::mutex> queueLock,
                             std::shared_ptr<PassThreads> threads)
    : queueLock_(std::move(queueLock)), threads_(std::move(threads)) {}

std::unique_ptr<ComputeCommandEncoder> CommandBuffer::makeComputeCommandEncoder() {
    if (encoderOpen_ || status_ != CommandBufferStatus::notEnqueued) return nullptr;
    encoderOpen_ = true;
    return std::make_unique<ComputeCommandEncoder>(*this);
}

std::unique_ptr<BlitCommandEncoder> CommandBuffer::makeBlitCommandEncoder() {
    if (encoderOpen_ || status_ != CommandBufferStatus::notEnqueued) return nullptr;
    encoderOpen_ = true;
    return std::make_unique<BlitCommandEncoder>(*this);
}

void CommandBuffer::endEncoder(std::optional<CommandPass> pass) {
    encoderOpen_ = false;
    if (pass) passes_.push_back(std::move(*pass));
}

void CommandBuffer::commit() {
    if (status_ != CommandBufferStatus::notEnqueued) return;
    if (encoderOpen_) throw std::logic_error("Commit with an encoder still open.");
    status_ = CommandBufferStatus::committed;
    const std::lock_guard lock(*queueLock_);
    try {
        if (threads_) {
            threads_->run([this] { runPasses(); });
        } else {
            runPasses();
        }
        status_ = CommandBufferStatus::completed;
    } catch (const std::exception& failure) {
        error_.emplace(failure.what());
        status_ = CommandBufferStatus::error;
    } catch (...) {
        error_.emplace("A pass failed with an unknown error.");
        status_ = CommandBufferStatus::error;
    }
}

void CommandBuffer::runPasses() {
    for (const CommandPass& pass : passes_) run(pass);
}

CommandQueue::CommandQueue(int threadCount)
    : lock_(std::make_shared<std::mutex>()),
      threads_(threadCount > 0 ? std::make_shared<PassThreads>(threadCount) : nullptr) {}

}  // namespace quillmere
