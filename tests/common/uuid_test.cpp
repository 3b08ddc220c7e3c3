#include "core/common/uuid.h"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

TEST(UUID, RandomIdentifiersAreVersionFourAndRoundTripUpperCase) {
    const UUID first = UUID::random();
    EXPECT_NE(first, UUID::random());
    const std::string text = first.uuidString();
    ASSERT_EQ(text.size(), 36u);
    EXPECT_EQ(text[14], '4');
    EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos);
    EXPECT_EQ(UUID::fromString(text), first);
    EXPECT_EQ(UUID::fromString("e621e1f8-c36c-495a-93fc-0c247a3e6e5f")->uuidString(),
              "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    for (const char* text :
         {"", "E621E1F8C36C495A93FC0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5G",
          "E621E1F8+C36C-495A-93FC-0C247A3E6E5F"}) {
        EXPECT_FALSE(UUID::fromString(text)) << text;
    }
}

}  // namespace
}  // namespace quillmere
