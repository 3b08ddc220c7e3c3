#include "app/panels/value_label.h"

#include <charconv>

#include "app/kit/number_format.h"
#include "app/state/number_text.h"

namespace quillmere {
namespace {

// The longest label shown as the slider table formats it. An edit may hold a value far outside
// the slider's range (1e300 prints as 300 digits), which would widen the row and push the sliders
// out of view; such a value is shown in a compact exponent form instead, "+1.23e+300", three
// significant digits with the format's sign, never longer than this.
constexpr qsizetype kLongestLabel = 10;

QString exponentForm(double value, bool signedFormat) {
    char digits[32];
    const auto [end, error] =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 3);
    const QString text = QString::fromLatin1(digits, error == std::errc() ? end - digits : 0);
    return signedFormat && value > 0 ? "+" + text : text;
}

QString tableLabel(ValueLabelFormat format, double value) {
    switch (format) {
        case ValueLabelFormat::wholeNumber:
            return roundedInteger(value);
        case ValueLabelFormat::signedWholeNumber:
            return signedValue(value, 0);
        case ValueLabelFormat::signedHundredths:
            return signedValue(value, 2);
        case ValueLabelFormat::offOrWholeNumber:
            return value <= 0 ? QStringLiteral("Off") : roundedInteger(value);
    }
    return signedValue(value, 0);
}

}  // namespace

QString signedValue(double value, int decimals) {
    return QString::fromStdString(signedText(value, decimals));
}

QString valueLabel(SliderField field, double value) {
    const ValueLabelFormat format = definition(field).label;
    const QString label = tableLabel(format, value);
    if (label.size() <= kLongestLabel) return label;
    const bool signedFormat = format == ValueLabelFormat::signedWholeNumber ||
                              format == ValueLabelFormat::signedHundredths;
    return exponentForm(value, signedFormat);
}

}  // namespace quillmere
