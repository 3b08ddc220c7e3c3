#include "core/edit/distribution_policy.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace quillmere {
namespace {

std::optional<std::string> emptyEnvironment(const char*) { return std::nullopt; }

std::optional<std::string> sandboxEnvironment(const char* name) {
    if (std::string_view(name) == "APP_SANDBOX_CONTAINER_ID") return std::string();
    return std::nullopt;
}

TEST(DistributionPolicy, OnlyTheExactStoreChannelCounts) {
    EXPECT_TRUE(DistributionPolicy::isAppStore("app-store"));
    for (const char* other :
         {"", "App-Store", "APP-STORE", "app-Store", "app-store ", "appstore"}) {
        EXPECT_FALSE(DistributionPolicy::isAppStore(other)) << other;
    }
}

TEST(DistributionPolicy, StoreEditionIsAlwaysSandboxed) {
    EXPECT_TRUE(DistributionPolicy::isSandboxed("app-store", emptyEnvironment));
    EXPECT_TRUE(DistributionPolicy::isSandboxed("app-store", sandboxEnvironment));
}

TEST(DistributionPolicy, SandboxVariableCountsEvenWhenEmpty) {
    EXPECT_TRUE(DistributionPolicy::isSandboxed("", sandboxEnvironment));
    EXPECT_FALSE(DistributionPolicy::isSandboxed("", emptyEnvironment));
    EXPECT_FALSE(DistributionPolicy::isSandboxed("App-Store", emptyEnvironment));
}

}  // namespace
}  // namespace quillmere
