#include "core/compute/command_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "core/compute/device.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

// Test kernels. "fill" writes the float at buffer 0 into every texel of texture 0; "fail" throws.
KernelLibrary testLibrary() {
    KernelLibrary library;
    library.add("fill", [](const KernelArguments& arguments, RowRange rows) {
        const float value = arguments.value<float>(0);
        for (int y = rows.begin; y < rows.end; ++y) {
            for (int x = 0; x < arguments.threadsPerGrid().width; ++x) {
                arguments.texture(0).write({value, value, value, value}, x, y);
            }
        }
    });
    library.add("fail", [](const KernelArguments&, RowRange) {
        throw std::runtime_error("The kernel ran out of patience.");
    });
    return library;
}

class CommandBufferTest : public ::testing::Test {
  protected:
    std::shared_ptr<Texture> flat(float value) {
        return testing::makeTexture(device, PixelFormat::rgba32Float, 5, 4, [=](int, int) {
            return msl::float4{value, value, value, value};
        });
    }

    // Encodes one pass of `kernel` over all of `target`, as 5 × 2 groups of 1 × 2 threads.
    void encode(const char* kernel, float value) {
        const auto encoder = buffer->makeComputeCommandEncoder();
        ASSERT_TRUE(encoder);
        encoder->setComputePipelineState(library.makePipeline(kernel));
        encoder->setTexture(target, 0);
        encoder->setBytes(&value, sizeof value, 0);
        encoder->dispatchThreadgroups({5, 2}, {1, 2});
        encoder->endEncoding();
    }

    Device device;
    KernelLibrary library = testLibrary();
    std::shared_ptr<Texture> target = flat(0.0f);
    std::shared_ptr<CommandBuffer> buffer = device.makeCommandQueue()->makeCommandBuffer();
};

TEST_F(CommandBufferTest, PassesRunInOrderUntilOneFailsWithItsError) {
    encode("fill", 1.0f);
    encode("fail", 0.0f);
    encode("fill", 2.0f);
    EXPECT_EQ(buffer->passes()[0].dispatches[0].threadsPerGrid, (GridSize{5, 4}));
    buffer->commit();
    EXPECT_EQ(buffer->status(), CommandBufferStatus::error);
    ASSERT_TRUE(buffer->error());
    EXPECT_STREQ(buffer->error()->what(), "The kernel ran out of patience.");
    EXPECT_EQ(target->read(4, 3), (msl::float4{1, 1, 1, 1})) << "only the pass before the failure";
}

TEST_F(CommandBufferTest, EncodersAreOneAtATimeAndOnlyBeforeCommit) {
    {
        const auto open = buffer->makeComputeCommandEncoder();
        ASSERT_TRUE(open);
        EXPECT_EQ(buffer->makeBlitCommandEncoder(), nullptr);
        EXPECT_THROW(buffer->commit(), std::logic_error);
    }
    EXPECT_TRUE(buffer->passes().empty()) << "an encoder that never ended adds no pass";
    buffer->commit();
    EXPECT_EQ(buffer->status(), CommandBufferStatus::completed);
    EXPECT_EQ(buffer->makeComputeCommandEncoder(), nullptr);
    EXPECT_EQ(buffer->makeBlitCommandEncoder(), nullptr);
}

TEST_F(CommandBufferTest, BlitCopiesARegionAsStored) {
    const auto source =
        testing::makeTexture(device, PixelFormat::rgba32Float, 5, 4, [](int x, int y) {
            return msl::float4{static_cast<float>(x), static_cast<float>(y), 0, 1};
        });
    const auto halfFloat = testing::makeTexture(device, PixelFormat::rgba16Float, 5, 4,
                                                [](int, int) { return msl::float4{}; });
    const auto destination = flat(-1.0f);
    const auto blit = buffer->makeBlitCommandEncoder();
    blit->copy(source, {1, 2, 2, 2}, destination, 3, 0);
    EXPECT_THROW(blit->copy(source, {0, 0, 3, 1}, destination, 3, 0), std::invalid_argument);
    EXPECT_THROW(blit->copy(halfFloat, {0, 0, 1, 1}, destination, 0, 0), std::invalid_argument);
    blit->endEncoding();
    buffer->commit();
    EXPECT_EQ(destination->read(3, 0), (msl::float4{1, 2, 0, 1}));
    EXPECT_EQ(destination->read(4, 1), (msl::float4{2, 3, 0, 1}));
    for (const auto& [x, y] : {std::pair{2, 0}, std::pair{3, 2}}) {  // outside the region
        EXPECT_EQ(destination->read(x, y), (msl::float4{-1, -1, -1, -1}));
    }
}

TEST(CommandQueueThreads, ADevicesThreadCountBoundsTheThreadsRunningAPass) {
    // Every row range notes how many ranges run at that moment; ranges are one row of a grid
    // wide enough for that, and each lasts long enough for the others to start meanwhile.
    std::atomic<int> running = 0, peak = 0;
    KernelLibrary library;
    library.add("busy", [&](const KernelArguments&, RowRange) {
        const int now = ++running;
        int seen = peak.load();
        while (now > seen && !peak.compare_exchange_weak(seen, now)) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        --running;
    });
    for (const int threads : {1, 2}) {
        SCOPED_TRACE(threads);
        peak = 0;
        const Device device = Device::withThreadCount(threads);
        EXPECT_EQ(device.threadCount(), threads);
        const auto buffer = device.makeCommandQueue()->makeCommandBuffer();
        const auto encoder = buffer->makeComputeCommandEncoder();
        encoder->setComputePipelineState(library.makePipeline("busy"));
        encoder->dispatchThreadgroups({8192, 48}, {1, 1});
        encoder->endEncoding();
        buffer->commit();
        EXPECT_EQ(buffer->status(), CommandBufferStatus::completed);
        EXPECT_GE(peak, 1);
        EXPECT_LE(peak, threads);
    }
    EXPECT_EQ(Device::withThreadCount(-3).threadCount(), 0) << "every core";
}

}  // namespace
}  // namespace quillmere
