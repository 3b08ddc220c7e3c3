#pragma once

class QWidget;

namespace quillmere {

// For the program's smoke test only. When the environment variable QUILLMERE_SMOKE_GRAB names a
// PNG file, the first time the preview canvas paints a developed photo the program grabs
// `window` from the screen as the desktop shows it, saves it there with the canvas's rectangle
// in window pixels as the PNG text "canvas" ("x,y,width,height"), and quits; exit code 1 when the
// file cannot be written. Without the variable it does nothing.
void installSmokeGrabIfRequested(QWidget& window);

}  // namespace quillmere
