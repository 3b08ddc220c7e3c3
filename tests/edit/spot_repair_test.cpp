#include "core/edit/spot_repair.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "tests/edit/edit_test_support.h"

namespace quillmere {
namespace {

using testing::decodingErrorOf;
using Kind = DecodingError::Kind;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A stored repair decodes with its values as they are, its path optional and nothing else; it is
// kept only with its centre and every path point inside the image and a radius above 0 and at
// most a tenth of the shorter side.
TEST(SpotRepair, DecodesAsStoredAndIsValidOnlyWithinTheImage) {
    const std::string id = R"("id": "e621e1f8-c36c-495a-93fc-0c247a3e6e5f", )";
    const struct {
        std::string text;
        bool valid;
        std::optional<Kind> failure = std::nullopt;
    } cases[] = {
        {id + R"("x": 0, "y": 0, "radius": 0.1)", true},
        {id + R"("x": 1, "y": 1, "radius": 0.05, "path": [{"x": 0, "y": 1}, {"x": 1, "y": 0}])",
         true},
        {id + R"("x": 0.5, "y": 0.5, "radius": 0.05, "path": null)", true},
        {id + R"("x": 0.5, "y": 0.5, "radius": 0)", false},
        {id + R"("x": 0.5, "y": 0.5, "radius": -0.01)", false},
        {id + R"("x": 0.5, "y": 0.5, "radius": 0.11)", false},
        {id + R"("x": 1.5, "y": 0.5, "radius": 0.05)", false},
        {id + R"("x": 0.5, "y": -0.2, "radius": 0.05)", false},
        {id + R"("x": 0.5, "y": 0.5, "radius": 0.05, "path": [{"x": 0.4, "y": 0.4}, )"
              R"({"x": 0.5, "y": 1.01}])",
         false},
        {id + R"("x": 0.5, "y": 0.5, "radius": 0.05, "path": [{"x": -0.01, "y": 0.4}])", false},
        {id + R"("x": 0.5, "y": 0.5)", false, Kind::keyNotFound},
        {id + R"("x": 0.5, "y": 0.5, "radius": 0.05, "path": [{"x": 0.2}])", false,
         Kind::keyNotFound},
        {R"("x": 0.5, "y": 0.5, "radius": 0.05)", false, Kind::keyNotFound},
        {R"("id": "not-a-uuid", "x": 0.5, "y": 0.5, "radius": 0.05)", false, Kind::dataCorrupted},
    };
    for (const auto& c : cases) {
        const json::Json object = json::parse("{" + c.text + "}");
        if (c.failure) {
            EXPECT_EQ(decodingErrorOf([&] { SpotRepair::decode(object); }).kind(), *c.failure)
                << c.text;
            continue;
        }
        const SpotRepair repair = SpotRepair::decode(object);
        EXPECT_EQ(repair.isValid(), c.valid) << c.text;
        EXPECT_EQ(repair.x, object["x"].get<double>()) << c.text;
        EXPECT_EQ(repair.id.uuidString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
        EXPECT_EQ(SpotRepair::decode(repair.encode()), repair) << c.text;
    }
    for (const SpotRepair& notFinite :
         {SpotRepair(UUID::random(), kNaN, 0.5, 0.05, {}),
          SpotRepair(UUID::random(), 0.5, 0.5, kInfinity, {}),
          SpotRepair(UUID::random(), 0.5, 0.5, 0.05, {{0.5, -kInfinity}})}) {
        EXPECT_FALSE(notFinite.isValid());
    }

    // The stroke starts at the centre; equal geometry under another id is another repair.
    const SpotRepair stroke(UUID::random(), 0.2, 0.3, 0.05, {{0.25, 0.3}, {0.3, 0.32}});
    EXPECT_EQ(stroke.points(),
              (std::vector<SpotRepair::Point>{{0.2, 0.3}, {0.25, 0.3}, {0.3, 0.32}}));
    EXPECT_NE(stroke, SpotRepair(UUID::random(), 0.2, 0.3, 0.05, stroke.path));
}

}  // namespace
}  // namespace quillmere
