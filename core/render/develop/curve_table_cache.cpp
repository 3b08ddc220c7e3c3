#include "core/render/develop/curve_table_cache.h"

#include <stdexcept>
#include <vector>

namespace quillmere {

CurveTableCache::CurveTableCache(std::shared_ptr<const Device> device) : device(std::move(device)) {
    if (!this->device) throw std::invalid_argument("The curve table cache needs a device.");
}

std::shared_ptr<Buffer> CurveTableCache::lutBuffer(const ToneCurve& curve) {
    const std::lock_guard lock(cacheLock);
    if (cachedCurveBuffer && cachedCurve == curve) return cachedCurveBuffer;
    const std::vector<float> table = curve.lut(static_cast<int>(kCurveTableEntries));
    std::shared_ptr<Buffer> buffer =
        device->makeBuffer(table.data(), table.size() * sizeof(float), StorageMode::shared);
    if (buffer) {
        cachedCurve = curve;
        cachedCurveBuffer = buffer;
    }
    return buffer;
}

}  // namespace quillmere
