#include "app/sheets/checkpoint_date_text.h"

#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <QLocale>
#include <memory>

namespace quillmere {

QString checkpointDateText(Date date) {
    // The locale the application shows numbers in, which tests and the user may set apart from
    // the process's own.
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale locale =
        icu::Locale::forLanguageTag(QLocale().bcp47Name().toStdString(), status);
    if (U_FAILURE(status)) return {};
    const std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateTimeInstance(
        icu::DateFormat::kMedium, icu::DateFormat::kShort, locale));
    if (!format) return {};
    const UDate milliseconds = date.time_since_epoch().count() * 1000.0;
    icu::UnicodeString text;
    format->format(milliseconds, text);
    return QString::fromUtf16(text.getBuffer(), text.length());
}

}  // namespace quillmere
