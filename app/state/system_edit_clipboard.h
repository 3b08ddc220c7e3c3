#pragma once

#include "app/state/edit_clipboard.h"

class QClipboard;

namespace quillmere {

// The edit clipboard over the desktop's clipboard: an edit is the clipboard's only content, under
// the format "com.dornavelte.quillmere.edit-settings". Needs a running QGuiApplication.
class SystemEditClipboard final : public EditClipboard {
  public:
    // Over the application's clipboard unless another is given.
    explicit SystemEditClipboard(QClipboard* clipboard = nullptr);

    bool containsEdit() override;
    // Encodes first (EncodingError leaves the clipboard untouched), then replaces everything on
    // the clipboard. Throws EditClipboardError::writeFailed when the clipboard did not take it.
    void write(const EditParams& params) override;
    std::optional<EditParams> read() override;

  private:
    QClipboard* clipboard_;
};

}  // namespace quillmere
