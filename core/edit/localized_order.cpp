#include "core/edit/localized_order.h"

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/stringpiece.h>

#include <string>

#include "core/common/error.h"

namespace quillmere {
namespace {

// ICU maps the C and POSIX locales to en_US_POSIX, whose collation is plain byte order with every
// capital before every small letter; that would undo case-insensitivity, so those fall back to
// the root collation.
icu::Locale collationLocale() {
    const icu::Locale& locale = icu::Locale::getDefault();
    if (std::string_view(locale.getVariant()) == "POSIX") return icu::Locale::getRoot();
    return locale;
}

}  // namespace

LocalizedCaseInsensitiveOrder::LocalizedCaseInsensitiveOrder() {
    UErrorCode status = U_ZERO_ERROR;
    collator_.reset(icu::Collator::createInstance(collationLocale(), status));
    if (U_FAILURE(status) || !collator_) {
        throw Error(std::string("Could not prepare sorting by name: ") + u_errorName(status));
    }
    // Secondary strength tells accents apart but not letter case.
    collator_->setStrength(icu::Collator::SECONDARY);
}

LocalizedCaseInsensitiveOrder::~LocalizedCaseInsensitiveOrder() = default;

bool LocalizedCaseInsensitiveOrder::operator()(std::string_view a, std::string_view b) const {
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result =
        collator_->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                               icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
    return U_SUCCESS(status) && result == UCOL_LESS;
}

}  // namespace quillmere
