#include "core/edit/unicode_text.h"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

TEST(UnicodeText, TrimsUnicodeSpacesAndLineBreaksAtBothEndsOnly) {
    EXPECT_EQ(trimmingWhitespaceAndNewlines("  \t\n +0.50 \r\n"), "+0.50");
    EXPECT_EQ(trimmingWhitespaceAndNewlines("\u00A0\u3000two  words\u2028\u0085"), "two  words");
    EXPECT_EQ(trimmingWhitespaceAndNewlines(" \n\t "), "");
    EXPECT_EQ(trimmingWhitespaceAndNewlines("\u200B"), "\u200B");         // a format character
    EXPECT_EQ(trimmingWhitespaceAndNewlines(" \xFF \xC2"), "\xFF \xC2");  // invalid UTF-8 stays
}

TEST(UnicodeText, LowerCasesFullUnicode) {
    EXPECT_EQ(lowercased("NEF"), "nef");
    EXPECT_EQ(lowercased("\u212A25"), "k25");  // the Kelvin sign
    EXPECT_EQ(lowercased("ÄÖÜ"), "äöü");
}

}  // namespace
}  // namespace quillmere
