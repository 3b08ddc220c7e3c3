#pragma once

#include <memory>
#include <mutex>
#include <optional>

#include "core/compute/buffer.h"
#include "core/compute/device.h"
#include "core/edit/tone_curve.h"
#include "core/render/develop/tone_uniforms.h"

namespace quillmere {

// The tone pass's curve table: the four channels of a tone curve sampled at kCurveTableEntries
// levels (rgb, red, green, blue; kCurveTableSize floats) in a shared device buffer. The table of
// the most recent curve is kept, so dragging any other slider never rebuilds it. Safe to use from
// several threads.
class CurveTableCache {
  public:
    explicit CurveTableCache(std::shared_ptr<const Device> device);

    // The table of `curve`: the cached buffer when the curve equals the cached one point by point,
    // otherwise a new buffer that replaces the cache entry. Nullptr when the buffer cannot be
    // made; the previous entry is then kept. A returned buffer is never written again.
    std::shared_ptr<Buffer> lutBuffer(const ToneCurve& curve);

  private:
    std::shared_ptr<const Device> device;
    // Guards the two fields below as one unit and nothing else; no other lock is taken while it
    // is held.
    std::mutex cacheLock;
    std::optional<ToneCurve> cachedCurve;
    std::shared_ptr<Buffer> cachedCurveBuffer;
};

}  // namespace quillmere
