#include "app/state/edit_clipboard.h"

namespace quillmere {

EditClipboardError EditClipboardError::writeFailed() {
    return {Code::writeFailed, "The edit could not be copied to the clipboard."};
}

EditClipboardError EditClipboardError::unsupportedVersion() {
    return {Code::unsupportedVersion, "The copied edit was made by an unsupported version."};
}

}  // namespace quillmere
