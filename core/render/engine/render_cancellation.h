#pragma once

#include <functional>
#include <mutex>

namespace quillmere {

// The cancellation flag shared by one engine request and its queued job. Whoever cancels the
// request sets it from any thread; the job polls it. The lock is the innermost of the engine's
// locks: it is held for one read or write only and nothing else is taken while it is held.
class RenderCancellation {
  public:
    void cancel();
    bool isCancelled() const;

    // The predicate the job's stages poll. It refers to this object, which must outlive it.
    std::function<bool()> shouldCancel() const {
        return [this] { return isCancelled(); };
    }

  private:
    mutable std::mutex lock;
    bool cancelled = false;
};

}  // namespace quillmere
