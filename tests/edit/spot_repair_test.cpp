#include "core/edit/spot_repair.h"

#include <gtest/gtest.h>

#include <limits>

#include "tests/edit/coding_test_support.h"

namespace quillmere {
namespace {

using testing::decodingErrorOf;
using Kind = DecodingError::Kind;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

SpotRepair repairAt(double x, double y, double radius, std::vector<SpotRepair::Point> path = {}) {
    return SpotRepair(UUID::random(), x, y, radius, std::move(path));
}

TEST(SpotRepair, ValidWithinTheImageAndWithASmallPositiveRadius) {
    EXPECT_TRUE(repairAt(0, 0, 0.1).isValid());
    EXPECT_TRUE(repairAt(1, 1, 0.05, {{0, 1}, {1, 0}}).isValid());
    for (double radius : {0.0, -0.01, 0.11, kNaN, kInfinity}) {
        EXPECT_FALSE(repairAt(0.5, 0.5, radius).isValid()) << "radius " << radius;
    }
    EXPECT_FALSE(repairAt(1.5, 0.5, 0.05).isValid());
    EXPECT_FALSE(repairAt(0.5, -0.2, 0.05).isValid());
    EXPECT_FALSE(repairAt(kNaN, 0.5, 0.05).isValid());
    EXPECT_FALSE(repairAt(0.5, 0.5, 0.05, {{0.4, 0.4}, {0.5, 1.01}}).isValid());
    EXPECT_FALSE(repairAt(0.5, 0.5, 0.05, {{-kInfinity, 0.4}}).isValid());
}

TEST(SpotRepair, PointsStartAtTheCentreAndEqualityIncludesTheId) {
    const SpotRepair repair = repairAt(0.2, 0.3, 0.05, {{0.25, 0.3}, {0.3, 0.32}});
    EXPECT_EQ(repair.points(),
              (std::vector<SpotRepair::Point>{{0.2, 0.3}, {0.25, 0.3}, {0.3, 0.32}}));

    SpotRepair sameGeometry = repairAt(0.2, 0.3, 0.05, {{0.25, 0.3}, {0.3, 0.32}});
    EXPECT_NE(repair, sameGeometry);
    sameGeometry.id = repair.id;
    EXPECT_EQ(repair, sameGeometry);
}

TEST(SpotRepairCoding, RoundTripsWithAnUpperCaseId) {
    const SpotRepair repair = repairAt(0.2, 0.3, 0.05, {{0.25, 0.3}});
    const json::Json encoded = repair.encode();
    EXPECT_EQ(testing::keysOf(encoded),
              (std::vector<std::string>{"id", "path", "radius", "x", "y"}));
    EXPECT_EQ(encoded["id"], repair.id.uuidString());
    EXPECT_EQ(SpotRepair::decode(json::parse(encoded.dump())), repair);
    EXPECT_EQ(repairAt(0.1, 0.1, 0.01).encode()["path"], json::Json::array());
    EXPECT_THROW(repairAt(0.5, 0.5, 0.05, {{kInfinity, 0}}).encode(), EncodingError);
}

TEST(SpotRepairCoding, PathIsOptionalAndNothingElseIs) {
    const auto dab = json::parse(
        R"({"id": "e621e1f8-c36c-495a-93fc-0c247a3e6e5f", "x": 1.5, "y": 0.5, "radius": 0.05})");
    const SpotRepair decoded = SpotRepair::decode(dab);
    EXPECT_TRUE(decoded.path.empty());
    EXPECT_EQ(decoded.x, 1.5);  // read as is: dropping invalid repairs is the edit's business
    EXPECT_EQ(decoded.id.uuidString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");

    json::Json nullPath = dab;
    nullPath["path"] = nullptr;
    EXPECT_TRUE(SpotRepair::decode(nullPath).path.empty());

    for (const char* key : {"id", "x", "y", "radius"}) {
        json::Json incomplete = dab;
        incomplete.erase(key);
        EXPECT_EQ(decodingErrorOf([&] { SpotRepair::decode(incomplete); }).kind(),
                  Kind::keyNotFound)
            << key;
    }
    json::Json badId = dab;
    badId["id"] = "not-a-uuid";
    EXPECT_EQ(decodingErrorOf([&] { SpotRepair::decode(badId); }).kind(), Kind::dataCorrupted);

    json::Json badPathPoint = dab;
    badPathPoint["path"] = json::parse(R"([{"x": 0.1, "y": 0.1}, {"x": 0.2}])");
    EXPECT_EQ(decodingErrorOf([&] { SpotRepair::decode(badPathPoint); }).codingPath().dotted(),
              "path.Index 1.y");
}

}  // namespace
}  // namespace quillmere
