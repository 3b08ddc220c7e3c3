#include "core/edit/localized_order.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillmere {
namespace {

TEST(LocalizedCaseInsensitiveOrder, IgnoresCaseButKeepsEqualNamesInPlace) {
    // The tests run in the C.UTF-8 locale, whose own collation would put every capital first.
    const LocalizedCaseInsensitiveOrder order;
    EXPECT_TRUE(order("alpha", "Beta"));
    EXPECT_FALSE(order("Beta", "alpha"));
    EXPECT_FALSE(order("film", "Film"));
    EXPECT_FALSE(order("Film", "film"));

    std::vector<std::string> names{"gamma", "film", "Beta", "Film", "alpha", "Éclair", "eclair"};
    order.sortStably(names, [](const std::string& name) -> std::string_view { return name; });
    EXPECT_EQ(names, (std::vector<std::string>{"alpha", "Beta", "eclair", "Éclair", "film", "Film",
                                               "gamma"}));
}

}  // namespace
}  // namespace quillmere
