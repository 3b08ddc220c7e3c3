#pragma once

class QWidget;

namespace quillmere {

// The wheel changes a control's value (a slider's, a pop-up box's, a number field's) only while
// the control has keyboard focus. Otherwise the wheel scrolls the column the control sits in, so
// scrolling through the inspector or a sheet never edits the photo on its way. The control takes
// focus from a click or Tab, never from the wheel.
void leaveWheelToColumn(QWidget& control);

}  // namespace quillmere
