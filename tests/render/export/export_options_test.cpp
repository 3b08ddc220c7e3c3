#include "core/render/export/export_options.h"

#include <gtest/gtest.h>

#include <limits>

namespace quillmere {
namespace {

ExportOptions withLimit(std::optional<std::int64_t> limit) {
    return {.format = ExportFormat::jpeg,
            .quality = 0.9,
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
        {-5, 3000, 2000, {3000, 2000}},
        {8000, 3000, 2000, {3000, 2000}},
        {2560, 6000, 4000, {2560, 1707}},
        {2560, 4000, 6000, {1707, 2560}},
        {100, 10000, 1, {100, 1}},
        {5, 10, 5, {5, 3}},  // 0.5 × 5 = 2.5 rounds away from zero
    };
    for (const auto& c : cases) {
        EXPECT_EQ(withLimit(c.limit).pixelDimensions(c.width, c.height), c.expected)
            << c.width << " × " << c.height;
    }
}

TEST(ExportOptionsTest, PresetsGiveTheirFixedOptions) {
    const auto jpeg = [](double quality, std::optional<std::int64_t> limit) {
        return ExportOptions{.format = ExportFormat::jpeg,
                             .quality = quality,
                             .maxLongEdge = limit,
                             .includeSoftware = true,
                             .includeEditParameters = true};
    };
    EXPECT_EQ(options(ExportPreset::maximumQuality), jpeg(1.0, std::nullopt));
    EXPECT_EQ(options(ExportPreset::balanced), jpeg(0.9, std::nullopt));
    EXPECT_EQ(options(ExportPreset::compact), jpeg(0.82, 2560));
}

TEST(ExportOptionsTest, DecodingRequiresEveryKeyButTheLimit) {
    const json::Json complete = withLimit(100).encode();
    for (const char* key : {"format", "quality", "includeSoftware", "includeEditParameters"}) {
        json::Json missing = complete;
        missing.erase(key);
        try {
            ExportOptions::decode(missing);
            ADD_FAILURE() << key << " was not required";
        } catch (const DecodingError& error) {
            EXPECT_EQ(error.kind(), DecodingError::Kind::keyNotFound) << key;
        }
    }
    for (const auto& [key, value] :
         {std::pair<const char*, json::Json>{"format", "JPEG"}, {"quality", "0.9"}}) {
        json::Json wrong = complete;
        wrong[key] = value;
        EXPECT_THROW(ExportOptions::decode(wrong), DecodingError) << key;
    }

    ExportOptions notFinite = withLimit(std::nullopt);
    notFinite.quality = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(notFinite.encode(), EncodingError);
}

}  // namespace
}  // namespace quillmere
