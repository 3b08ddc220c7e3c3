#include "app/panels/value_label.h"

#include "app/kit/number_format.h"
#include "app/state/number_text.h"

namespace quillmere {

QString signedValue(double value, int decimals) {
    return QString::fromStdString(signedText(value, decimals));
}

QString valueLabel(SliderField field, double value) {
    switch (field) {
        case SliderField::temperature:
            return roundedInteger(value);
        case SliderField::exposure:
            return signedValue(value, 2);
        case SliderField::denoise:
            return value <= 0 ? QStringLiteral("Off") : roundedInteger(value);
        default:
            return signedValue(value, 0);
    }
}

}  // namespace quillmere
