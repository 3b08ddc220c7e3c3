#pragma once

#include <QString>

#include "app/state/edit_layer.h"

namespace quillmere {

// The value `layer`'s slider row shows beside its title, in its format of the slider table; a
// value whose text would be longer than ten characters (far outside the range) in a compact
// exponent form with the format's sign, "+1e+300".
QString valueLabel(EditLayer layer, double value);
// "+" before a value above 0; `decimals` 0 rounds first. Only an exact zero drops its minus sign.
QString signedValue(double value, int decimals);

}  // namespace quillmere
