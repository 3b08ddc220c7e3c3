#pragma once

namespace quillmere {

// The Edit menu's clipboard commands, which serve a text field first.
enum class TextCommand { cut, copy, paste, selectAll };

// Sends `command` to the text field that has the keyboard focus (a line edit, a text edit, a
// plain-text edit, or a spin box's text); false when no text field has the focus, so that the
// command may act on the photo's edit instead.
bool sendToFocusedTextField(TextCommand command);

}  // namespace quillmere
