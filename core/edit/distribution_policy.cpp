#include "core/edit/distribution_policy.h"

#include "core/common/build_config.h"

namespace quillmere::DistributionPolicy {

std::string_view configuredChannel() { return build_config::kDistributionChannel; }

bool isAppStore(std::string_view channel) { return channel == "app-store"; }

bool isSandboxed(std::string_view channel, const EnvironmentLookup& environment) {
    return isAppStore(channel) || environment("APP_SANDBOX_CONTAINER_ID").has_value();
}

}  // namespace quillmere::DistributionPolicy
