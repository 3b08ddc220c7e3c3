#pragma once

class QWidget;

namespace quillmere {

// The wheel changes a control's value (a slider's, a pop-up box's, a number field's) only while
// the control has keyboard focus. Otherwise the wheel scrolls the column the control sits in, so
// scrolling through the inspector or a sheet never edits the photo on its way.
//
// The control takes focus only from the user: a click on it, or the Tab and Backtab keys. Any
// other focus (the first focus of a window that opens, a call of setFocus, a shortcut, an arrow
// key moving on from a button) is refused and leaves the window without a focused widget, so no
// control is turned by the wheel or the arrow keys without the user having chosen it. Focus it
// had that way comes back to it when its window is activated again or a pop-up closes.
void leaveWheelToColumn(QWidget& control);

}  // namespace quillmere
