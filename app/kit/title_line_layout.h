#pragma once

class QWidget;

namespace quillmere {

// Lays out `owner` as the inspector's rows are: a line with `title` on the left and `value` on
// the right, and `control` under it, `spacing` pixels apart, without margins.
void layOutUnderTitleLine(QWidget& owner, QWidget* title, QWidget* value, QWidget* control,
                          int spacing);

}  // namespace quillmere
