#pragma once

#include "app/state/edit_clipboard.h"

namespace quillmere {

// An edit clipboard that keeps the edit in memory, for tests. Never throws.
class InMemoryEditClipboard final : public EditClipboard {
  public:
    bool containsEdit() override { return params.has_value(); }
    void write(const EditParams& edit) override { params = edit; }
    std::optional<EditParams> read() override { return params; }

    std::optional<EditParams> params;
};

}  // namespace quillmere
