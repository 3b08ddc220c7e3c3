#pragma once

#include <string_view>

#include "core/edit/environment_lookup.h"

// How this copy of the program was distributed. Nothing is cached: every read looks afresh.
namespace quillmere::DistributionPolicy {

// The channel the build was configured with (QUILLMERE_DISTRIBUTION_CHANNEL).
std::string_view configuredChannel();

// True for the store edition: the channel is exactly "app-store", in these letters.
bool isAppStore(std::string_view channel = configuredChannel());

// True for the store edition, which always runs sandboxed, or when APP_SANDBOX_CONTAINER_ID is
// set, to any value, the empty one included.
bool isSandboxed(std::string_view channel = configuredChannel(),
                 const EnvironmentLookup& environment = processEnvironment);

}  // namespace quillmere::DistributionPolicy
