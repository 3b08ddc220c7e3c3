#include "core/render/export/export_options.h"

#include <gtest/gtest.h>

#include <limits>
#include <string_view>
#include <vector>

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

TEST(ExportOptionsTest, WithoutAUsableLimitTheSizeIsKept) {
    for (std::optional<std::int64_t> limit :
         {std::optional<std::int64_t>(), std::optional<std::int64_t>(0),
          std::optional<std::int64_t>(-5), std::optional<std::int64_t>(3000),
          std::optional<std::int64_t>(8000)}) {
        EXPECT_EQ(withLimit(limit).pixelDimensions(3000, 2000), (Size{3000, 2000}));
    }
}

TEST(ExportOptionsTest, LimitScalesBothEdgesAndRoundsTheShortOne) {
    EXPECT_EQ(withLimit(2560).pixelDimensions(6000, 4000), (Size{2560, 1707}));
    EXPECT_EQ(withLimit(2560).pixelDimensions(4000, 6000), (Size{1707, 2560}));
    EXPECT_EQ(withLimit(100).pixelDimensions(10000, 1), (Size{100, 1}));
    // 0.5 × 5 = 2.5 rounds away from zero.
    EXPECT_EQ(withLimit(5).pixelDimensions(10, 5), (Size{5, 3}));
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

    std::vector<std::string_view> names;
    for (ExportPreset preset : kAllExportPresets) {
        names.push_back(rawValue(preset));
        EXPECT_EQ(exportPresetFromRawValue(rawValue(preset)), preset);
    }
    EXPECT_EQ(names, (std::vector<std::string_view>{"maximumQuality", "balanced", "compact"}));
    EXPECT_EQ(exportPresetFromRawValue("Balanced"), std::nullopt);
}

TEST(ExportOptionsTest, CodingWritesTheLimitOnlyWhenPresent) {
    ExportOptions dng = withLimit(std::nullopt);
    dng.format = ExportFormat::dng;
    dng.includeSoftware = false;
    const json::Json encoded = dng.encode();
    EXPECT_EQ(encoded, json::parse(R"({"format": "dng", "quality": 0.9, "includeSoftware": false,
                                       "includeEditParameters": true})"));
    EXPECT_EQ(ExportOptions::decode(encoded), dng);

    const ExportOptions limited = withLimit(2560);
    EXPECT_EQ(limited.encode()["maxLongEdge"], 2560);
    EXPECT_EQ(ExportOptions::decode(limited.encode()), limited);

    json::Json nullLimit = limited.encode();
    nullLimit["maxLongEdge"] = nullptr;
    EXPECT_EQ(ExportOptions::decode(nullLimit).maxLongEdge, std::nullopt);
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
    json::Json unknownFormat = complete;
    unknownFormat["format"] = "JPEG";
    EXPECT_THROW(ExportOptions::decode(unknownFormat), DecodingError);
    json::Json textQuality = complete;
    textQuality["quality"] = "0.9";
    EXPECT_THROW(ExportOptions::decode(textQuality), DecodingError);

    ExportOptions notFinite = withLimit(std::nullopt);
    notFinite.quality = std::numeric_limits<double>::quiet_NaN();
    EXPECT_THROW(notFinite.encode(), EncodingError);
}

}  // namespace
}  // namespace quillmere
