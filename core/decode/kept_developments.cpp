#include "core/decode/kept_developments.h"

#include <cstdint>
#include <iterator>

namespace quillmere {

KeptDevelopments::KeptDevelopments(std::uint64_t budgetBytes) : budget_(budgetBytes) {}

void KeptDevelopments::keep(const RAWFileVersion& version,
                            std::vector<HandedBackDevelopment> developments) {
    // Declared before the lock, so released after it is let go.
    std::vector<HandedBackDevelopment> dropped;
    const std::lock_guard guard(lock_);
    dropOtherVersions(version, dropped);
    for (HandedBackDevelopment& development : developments) {
        const Key key{version, development.kind()};
        if (development.bytes() > budget_ || byKey_.contains(key)) continue;
        while (bytes_ + development.bytes() > budget_) drop(oldestFirst_.begin(), dropped);
        // Every step that may fail to allocate comes before the step that commits it.
        const auto slot = byKey_.try_emplace(key).first;
        try {
            oldestFirst_.emplace_back(key, std::move(development));
        } catch (...) {
            byKey_.erase(slot);
            throw;
        }
        slot->second = std::prev(oldestFirst_.end());
        bytes_ += oldestFirst_.back().second.bytes();
    }
}

std::optional<HandedBackDevelopment> KeptDevelopments::take(const RAWFileVersion& version,
                                                            Kind kind) {
    std::vector<HandedBackDevelopment> dropped;
    const std::lock_guard guard(lock_);
    dropOtherVersions(version, dropped);
    const auto found = byKey_.find(Key{version, kind});
    if (found == byKey_.end()) return std::nullopt;
    const Kept::iterator kept = found->second;
    std::optional<HandedBackDevelopment> taken(std::move(kept->second));
    bytes_ -= taken->bytes();
    byKey_.erase(found);
    oldestFirst_.erase(kept);
    return taken;
}

std::uint64_t KeptDevelopments::bytes() const {
    const std::lock_guard guard(lock_);
    return bytes_;
}

void KeptDevelopments::dropOtherVersions(const RAWFileVersion& version,
                                         std::vector<HandedBackDevelopment>& dropped) {
    const Key first{RAWFileVersion::leastOf(version.path), Kind{}};
    for (auto entry = byKey_.lower_bound(first);
         entry != byKey_.end() && entry->first.version.path == version.path;) {
        const Kept::iterator kept = entry->second;
        ++entry;
        if (kept->first.version != version) drop(kept, dropped);
    }
}

void KeptDevelopments::drop(Kept::iterator kept, std::vector<HandedBackDevelopment>& dropped) {
    dropped.push_back(std::move(kept->second));
    bytes_ -= dropped.back().bytes();
    byKey_.erase(kept->first);
    oldestFirst_.erase(kept);
}

}  // namespace quillmere
