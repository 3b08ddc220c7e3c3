#include "app/panels/value_label.h"

#include "app/kit/number_format.h"
#include "app/state/number_text.h"

namespace quillmere {

QString signedValue(double value, int decimals) {
    return QString::fromStdString(signedText(value, decimals));
}

QString valueLabel(SliderField field, double value) {
    switch (definition(field).label) {
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

}  // namespace quillmere
