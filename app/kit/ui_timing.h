#pragma once

namespace quillmere {

// Every delay and animation of the panels is given in seconds of the finished program and passes
// through one scale, so that tests run them a hundred times faster without changing their order.
class UiTiming {
  public:
    // 1 in the program.
    static double scale();
    static void setScale(double scale);
    // `seconds` scaled, in whole milliseconds, at least 0.
    static int milliseconds(double seconds);
};

}  // namespace quillmere
