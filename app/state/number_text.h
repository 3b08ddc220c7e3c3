#pragma once

#include <cstddef>
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
// `text`, the value written by one of the above, unless it is longer than a label can hold: an
// edit may keep a value far outside its slider's range (1e300 prints as 301 digits), which would
// widen its row and push the controls out of view. Such a value is written instead with three
// significant digits in exponent form, "+1.23e+300", a "+" before a positive value when
// `signedForm`; never longer than kLongestNumberText.
inline constexpr std::size_t kLongestNumberText = 10;
std::string compactText(std::string text, double value, bool signedForm);

}  // namespace quillmere
