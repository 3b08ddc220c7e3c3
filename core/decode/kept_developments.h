#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "core/decode/handed_back_development.h"
#include "core/decode/raw_file_version.h"

namespace quillmere {

// The developments the RAW checking helper handed back, kept per file version until their one
// user takes them (the filmstrip's thumbnail the half-size one, the photo's open the full one),
// within a budget of bytes. A development not taken is dropped when its file changes, or, the
// oldest first, when newer ones need its room. Safe to use from any thread; its lock is its own,
// never held while another is taken.
class KeptDevelopments {
  public:
    using Kind = HandedBackDevelopment::Kind;

    explicit KeptDevelopments(std::uint64_t budgetBytes);

    KeptDevelopments(const KeptDevelopments&) = delete;
    KeptDevelopments& operator=(const KeptDevelopments&) = delete;

    // Keeps `developments` for `version`, but for one of a kind it keeps already (the first is
    // kept) and one larger than the whole budget. Those of any other version of the same file go,
    // and then the oldest, until the rest keep within the budget. Throws std::bad_alloc when
    // memory runs out, those it kept by then kept.
    void keep(const RAWFileVersion& version, std::vector<HandedBackDevelopment> developments);

    // The development of `kind` kept for `version`, now the caller's; nothing when none is kept.
    // Those of any other version of the same file go: that file holds other bytes now.
    std::optional<HandedBackDevelopment> take(const RAWFileVersion& version, Kind kind);

    // The bytes kept.
    std::uint64_t bytes() const;

  private:
    struct Key {
        RAWFileVersion version;
        Kind kind;
        auto operator<=>(const Key&) const = default;
    };
    using Kept = std::list<std::pair<Key, HandedBackDevelopment>>;

    // The following run under the lock and move what they drop into `dropped`, to be released
    // once the lock is let go.
    void dropOtherVersions(const RAWFileVersion& version,
                           std::vector<HandedBackDevelopment>& dropped);
    void drop(Kept::iterator kept, std::vector<HandedBackDevelopment>& dropped);

    const std::uint64_t budget_;
    mutable std::mutex lock_;
    Kept oldestFirst_;
    std::map<Key, Kept::iterator> byKey_;
    std::uint64_t bytes_ = 0;
};

}  // namespace quillmere
