#include "app/panels/value_label.h"

#include "app/kit/number_format.h"
#include "app/state/number_text.h"
#include "app/state/slider_field.h"

namespace quillmere {
namespace {

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

QString valueLabel(EditLayer layer, double value) {
    const ValueLabelFormat format = sliderField(layer).label;
    const bool signedFormat = format == ValueLabelFormat::signedWholeNumber ||
                              format == ValueLabelFormat::signedHundredths;
    return QString::fromStdString(
        compactText(tableLabel(format, value).toStdString(), value, signedFormat));
}

}  // namespace quillmere
