#include "core/render/curve_table_cache.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace quillmere {
namespace {

ToneCurve sCurve(double lift) {
    ToneCurve curve;
    curve.rgb = {{0, 0}, {64, 64 - lift}, {192, 192 + lift}, {255, 255}};
    curve.blue = {{0, 20}, {255, 235}};
    return curve;
}

std::vector<float> tableOf(const Buffer& buffer) {
    std::vector<float> table(buffer.length() / sizeof(float));
    std::memcpy(table.data(), buffer.contents(), table.size() * sizeof(float));
    return table;
}

TEST(CurveTableCacheTest, HoldsTheCurveSampledAtEveryLevelOfEachChannel) {
    CurveTableCache cache(std::make_shared<Device>());
    const ToneCurve curve = sCurve(20);
    const auto buffer = cache.lutBuffer(curve);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->length(), 4096u);
    EXPECT_EQ(buffer->storageMode(), StorageMode::shared);
    const std::vector<float> table = tableOf(*buffer);
    EXPECT_EQ(table, curve.lut(256));
    // Spot checks in the order rgb, red, green, blue.
    const MonotoneCurveEvaluator rgb(curve.rgb), blue(curve.blue);
    EXPECT_EQ(table[64], static_cast<float>(rgb.value(64) / 255));
    EXPECT_EQ(table[256 + 100], static_cast<float>(100.0 / 255));
    EXPECT_EQ(table[768], static_cast<float>(20.0 / 255));
    EXPECT_EQ(table[1023], static_cast<float>(blue.value(255) / 255));
}

TEST(CurveTableCacheTest, RebuildsOnlyWhenTheCurveChanges) {
    CurveTableCache cache(std::make_shared<Device>());
    const auto first = cache.lutBuffer(sCurve(20));
    EXPECT_EQ(cache.lutBuffer(sCurve(20)), first) << "an equal curve reuses the table";
    const auto second = cache.lutBuffer(sCurve(25));
    EXPECT_NE(second, first);
    EXPECT_EQ(tableOf(*first), sCurve(20).lut(256)) << "a table handed out is never rewritten";
    EXPECT_EQ(cache.lutBuffer(sCurve(25)), second);
    EXPECT_NE(cache.lutBuffer(sCurve(20)), first) << "only the latest curve is kept";

    ToneCurve moved = sCurve(25);
    moved.green.push_back({128, 128});
    EXPECT_NE(cache.lutBuffer(moved), cache.lutBuffer(sCurve(25)))
        << "a curve differing in any channel's points is another curve";
}

TEST(CurveTableCacheTest, ReturnsNothingWhenTheTableCannotBeMadeAndKeepsTheEntry) {
    CurveTableCache cache(std::make_shared<Device>(4095));
    EXPECT_EQ(cache.lutBuffer(sCurve(20)), nullptr);
    EXPECT_EQ(cache.lutBuffer(sCurve(20)), nullptr) << "a failure is not cached as a table";
}

TEST(CurveTableCacheTest, ServesEveryThreadTheTableOfItsOwnCurve) {
    CurveTableCache cache(std::make_shared<Device>());
    const std::vector<float> expected[] = {sCurve(10).lut(256), sCurve(30).lut(256)};
    std::vector<std::thread> threads;
    std::vector<int> mismatches(8, 0);
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                const int which = (t + i) % 2;
                const auto buffer = cache.lutBuffer(sCurve(which == 0 ? 10 : 30));
                if (!buffer || tableOf(*buffer) != expected[which]) ++mismatches[t];
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (const int count : mismatches) EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace quillmere
