#include "core/edit/unicode_text.h"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

TEST(UnicodeText, TrimsUnicodeSpacesAndLineBreaksAtBothEndsOnly) {
    EXPECT_EQ(trimmingWhitespaceAndNewlines("  \t\n +0.50 \r\n"), "+0.50");
    // No-break space, ideographic space, line separator and next line are white space too.
    EXPECT_EQ(trimmingWhitespaceAndNewlines("\u00A0\u3000Sunset\u2028\u0085"), "Sunset");
    EXPECT_EQ(trimmingWhitespaceAndNewlines("two  words"), "two  words");
    EXPECT_EQ(trimmingWhitespaceAndNewlines(" \n\t "), "");
    EXPECT_EQ(trimmingWhitespaceAndNewlines(""), "");
    // Zero-width space is a format character, not white space.
    EXPECT_EQ(trimmingWhitespaceAndNewlines("\u200B"), "\u200B");
}

TEST(UnicodeText, InvalidUtf8IsKept) {
    EXPECT_EQ(trimmingWhitespaceAndNewlines(" \xFF "), "\xFF");
    EXPECT_EQ(trimmingWhitespaceAndNewlines("\xC2"), "\xC2");
}

TEST(UnicodeText, LowerCasesFullUnicode) {
    EXPECT_EQ(lowercased("NEF"), "nef");
    EXPECT_EQ(lowercased("\u212A25"), "k25");
    EXPECT_EQ(lowercased("ÄÖÜ"), "äöü");
}

}  // namespace
}  // namespace quillmere
