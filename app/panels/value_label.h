#pragma once

#include <QString>

#include "app/state/edit_layer.h"

namespace quillmere {

// The value a slider row shows beside its title: temperature as a whole number, exposure signed
// with two decimals, denoise "Off" at or below 0 and a whole number above, every other field a
// signed whole number. Halves round away from zero; no label ever reads "-0".
QString valueLabel(SliderField field, double value);
// "+" before a value above 0; `decimals` 0 rounds first. Only an exact zero drops its minus sign.
QString signedValue(double value, int decimals);

}  // namespace quillmere
