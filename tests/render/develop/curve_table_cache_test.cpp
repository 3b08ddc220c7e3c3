#include "core/render/develop/curve_table_cache.h"

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
    std::memcpy(table.data(), buffer.contents(), buffer.length());
    return table;
}

TEST(CurveTableCacheTest, HoldsEachChannelAtEveryLevelAndRebuildsOnlyForAnotherCurve) {
    CurveTableCache cache(std::make_shared<Device>());
    const auto first = cache.lutBuffer(sCurve(20));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->storageMode(), StorageMode::shared);
    const std::vector<float> table = tableOf(*first);
    ASSERT_EQ(table.size(), 1024u);
    EXPECT_EQ(table, sCurve(20).lut(256));
    EXPECT_EQ(table[64],
              static_cast<float>(MonotoneCurveEvaluator(sCurve(20).rgb).value(64) / 255));
    EXPECT_EQ(table[256 + 100], static_cast<float>(100.0 / 255)) << "red is the identity";
    EXPECT_EQ(table[768], static_cast<float>(20.0 / 255)) << "blue starts at 20";

    EXPECT_EQ(cache.lutBuffer(sCurve(20)), first) << "an equal curve reuses the table";
    const auto second = cache.lutBuffer(sCurve(25));
    EXPECT_NE(second, first);
    EXPECT_EQ(tableOf(*first), table) << "a table handed out is never rewritten";
    EXPECT_NE(cache.lutBuffer(sCurve(20)), first) << "only the latest curve is kept";
    ToneCurve moved = sCurve(20);
    moved.green.push_back({128, 128});
    EXPECT_NE(cache.lutBuffer(moved), cache.lutBuffer(sCurve(20)));
}

TEST(CurveTableCacheTest, ReturnsNothingWhenNoTableCanBeMade) {
    CurveTableCache cache(std::make_shared<Device>(4095));
    EXPECT_EQ(cache.lutBuffer(sCurve(20)), nullptr);
    EXPECT_EQ(cache.lutBuffer(sCurve(20)), nullptr) << "a failure is not cached as a table";
}

TEST(CurveTableCacheTest, ServesEveryThreadTheTableOfItsOwnCurve) {
    CurveTableCache cache(std::make_shared<Device>());
    const std::vector<float> expected[] = {sCurve(10).lut(256), sCurve(30).lut(256)};
    std::vector<int> mismatches(8, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                const int which = (t + i) % 2;
                const auto buffer = cache.lutBuffer(sCurve(which == 0 ? 10 : 30));
                mismatches[t] += !buffer || tableOf(*buffer) != expected[which];
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(8, 0));
}

}  // namespace
}  // namespace quillmere
