#pragma once

#include <string>

namespace quillmere {

// Numbers as the program shows them, never through the locale and never through an integer type,
// so any double (1e300, infinity, NaN) formats safely.

// "%.*f": `decimals` digits after the point, ties to even as printf rounds ("0.12" for 0.125).
std::string fixedText(double value, int decimals);
// Rounded to a whole number, halves away from zero; a negative zero reads "0".
std::string roundedText(double value);
// "+" before a value above 0. Whole numbers (`decimals` 0) are rounded first and an exact zero
// reads "0"; with decimals only an exact zero loses its minus: "0.00", "+0.00", "-0.00".
std::string signedText(double value, int decimals);

}  // namespace quillmere
