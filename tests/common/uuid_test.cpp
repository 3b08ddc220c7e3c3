#include "core/common/uuid.h"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

TEST(UUID, RandomIdentifiersAreVersionFourAndDistinct) {
    const UUID first = UUID::random();
    const UUID second = UUID::random();
    EXPECT_NE(first, second);
    const std::string text = first.uuidString();
    ASSERT_EQ(text.size(), 36u);
    EXPECT_EQ(text[14], '4');
    EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos);
    EXPECT_EQ(text, [&] {
        std::string upper = text;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return upper;
    }());
}

TEST(UUID, ParsesEitherCaseAndWritesUpperCase) {
    const auto parsed = UUID::fromString("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->uuidString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(UUID::fromString(parsed->uuidString()), parsed);
}

TEST(UUID, RejectsAnythingButTheHyphenatedForm) {
    EXPECT_FALSE(UUID::fromString(""));
    EXPECT_FALSE(UUID::fromString("E621E1F8C36C495A93FC0C247A3E6E5F"));
    EXPECT_FALSE(UUID::fromString("E621E1F8-C36C-495A-93FC-0C247A3E6E5G"));
    EXPECT_FALSE(UUID::fromString("E621E1F8-C36C-495A-93FC-0C247A3E6E5F0"));
    EXPECT_FALSE(UUID::fromString("E621E1F8+C36C-495A-93FC-0C247A3E6E5F"));
}

}  // namespace
}  // namespace quillmere
