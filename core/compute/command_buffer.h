#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "core/common/error.h"
#include "core/compute/command_encoder.h"
#include "core/compute/command_pass.h"

namespace quillmere {

// What went wrong while a command buffer ran; what() is the failing pass's message.
class CommandBufferError : public Error {
  public:
    using Error::Error;
};

// Where the passes of a queue's buffers run when their threads are limited (a task arena of that
// many threads; defined with the buffer, so that this header does not bring in the thread
// library's, which clash with Qt's keywords).
class PassThreads;

enum class CommandBufferStatus { notEnqueued, committed, completed, error };

// An ordered list of passes. commit() runs them in encode order on the calling thread (each
// pass's rows in parallel) and returns when they are done or one failed; later passes of a
// failed buffer do not run. A buffer commits once; encoders can be made only before commit and
// one at a time (makeComputeCommandEncoder and makeBlitCommandEncoder give nullptr otherwise).
// The buffer keeps its passes' textures and buffers alive until it is destroyed.
class CommandBuffer {
  public:
    // `threads`, when given, limits the threads the passes run on; otherwise they run on every
    // core.
    explicit CommandBuffer(std::shared_ptr<std::mutex> queueLock,
                           std::shared_ptr<PassThreads> threads = nullptr);

    std::unique_ptr<ComputeCommandEncoder> makeComputeCommandEncoder();
    std::unique_ptr<BlitCommandEncoder> makeBlitCommandEncoder();

    // Runs the passes. Throws std::logic_error when an encoder is still open; committing again
    // does nothing.
    void commit();
    // The passes finished when commit() returned; this exists so callers keep the GPU's order of
    // calls and never depend on that.
    void waitUntilCompleted() const {}

    CommandBufferStatus status() const { return status_; }
    const std::optional<CommandBufferError>& error() const { return error_; }
    const std::vector<CommandPass>& passes() const { return passes_; }

  private:
    friend class ComputeCommandEncoder;
    friend class BlitCommandEncoder;
    void endEncoder(std::optional<CommandPass> pass);

    void runPasses();

    std::shared_ptr<std::mutex> queueLock_;
    std::shared_ptr<PassThreads> threads_;
    std::vector<CommandPass> passes_;
    bool encoderOpen_ = false;
    CommandBufferStatus status_ = CommandBufferStatus::notEnqueued;
    std::optional<CommandBufferError> error_;
};

// Makes command buffers. Buffers of one queue never run at the same time, even when committed
// from several threads. Their passes use at most `threadCount` threads (0: every core).
class CommandQueue {
  public:
    explicit CommandQueue(int threadCount = 0);
    std::shared_ptr<CommandBuffer> makeCommandBuffer() const {
        return std::make_shared<CommandBuffer>(lock_, threads_);
    }

  private:
    std::shared_ptr<std::mutex> lock_;
    std::shared_ptr<PassThreads> threads_;
};

}  // namespace quillmere
