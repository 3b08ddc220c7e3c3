#include "app/kit/number_format.h"

#include "app/state/number_text.h"

namespace quillmere {

QString fixed(double value, int decimals) {
    return QString::fromStdString(fixedText(value, decimals));
}

QString roundedInteger(double value) { return QString::fromStdString(roundedText(value)); }

}  // namespace quillmere
