#pragma once

#include <QString>

namespace quillmere {

// Numbers for labels and fields, without the locale and without an integer type in between, so
// an edit holding 1e300 or infinity formats safely. QString::number would give "0.13" for 0.125
// and "-0" for a negative zero; these match printf.

// "%.*f": fixed(0.125, 2) is "0.12".
QString fixed(double value, int decimals);
// Halves away from zero, then fixed(·, 0); a negative zero reads "0".
QString roundedInteger(double value);

}  // namespace quillmere
