#include "core/render/export/export_options.h"

#include <gtest/gtest.h>

#include <limits>

namespace quillmere {
namespace {

ExportOptions jpeg(double quality, std::optional<std::int64_t> limit) {
    return {.format = ExportFormat::jpeg,
            .quality = quality,
            .maxLongEdge = limit,
            .includeSoftware = true,
            .includeEditParameters = true};
}

using Size = ExportOptions::PixelSize;

TEST(ExportOptionsTest, ALimitScalesBothEdgesAndRoundsTheShortOne) {
    const struct {
        std::optional<std::int64_t> limit;
        std::int64_t width, height;
        Size expected;
    } cases[] = {
        {std::nullopt, 3000, 2000, {3000, 2000}},
        {0, 3000, 2000, {3000, 2000}},
        {8000, 3000, 2000, {3000, 2000}},
        {2560, 6000, 4000, {2560, 1707}},
        {2560, 4000, 6000, {1707, 2560}},
        {100, 10000, 1, {100, 1}},
        {5, 10, 5, {5, 3}},  // 0.5 × 5 = 2.5 rounds away from zero
    };
    for (const auto& c : cases) {
        EXPECT_EQ(jpeg(0.9, c.limit).pixelDimensions(c.width, c.height), c.expected)
            << c.width << " × " << c.height;
    }
}

TEST(ExportOptionsTest, PresetsGiveTheirFixedOptions) {
    EXPECT_EQ(options(ExportPreset::maximumQuality), jpeg(1.0, std::nullopt));
    EXPECT_EQ(options(ExportPreset::balanced), jpeg(0.9, std::nullopt));
    EXPECT_EQ(options(ExportPreset::compact), jpeg(0.82, 2560));
}

// Stored options come back as they were; every key but the limit must be there, of its type.
TEST(ExportOptionsTest, DecodingRequiresEveryKeyButTheLimit) {
    const ExportOptions stored{.format = ExportFormat::dng,
                               .quality = 0.82,
                               .maxLongEdge = std::nullopt,
                               .includeSoftware = false,
                               .includeEditParameters = true};
    const json::Json complete = stored.encode();
    EXPECT_EQ(ExportOptions::decode(complete), stored);
    EXPECT_EQ(ExportOptions::decode(jpeg(0.9, 100).encode()), jpeg(0.9, 100));
    for (const char* key : {"format", "quality", "includeSoftware", "includeEditParameters"}) {
        json::Json missing = complete;
        missing.erase(key);
        EXPECT_THROW(ExportOptions::decode(missing), DecodingError) << key;
    }
    for (const auto& [key, value] :
         {std::pair<const char*, json::Json>{"format", "DNG"}, {"quality", "0.9"}}) {
        json::Json wrong = complete;
        wrong[key] = value;
        EXPECT_THROW(ExportOptions::decode(wrong), DecodingError) << key;
    }

    ExportOptions notFinite = stored;
    notFinite.quality = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(notFinite.encode(), EncodingError);
}

}  // namespace
}  // namespace quillmere
