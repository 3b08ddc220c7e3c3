#include "core/compute/command_buffer.h"

#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "core/compute/device.h"
#include "tests/fixtures/texture_fixtures.h"

namespace quillmere {
namespace {

// Test kernels. "add" writes texture 0 + the float at buffer 0 into texture 1; "fail" throws.
void addToTexture(const KernelArguments& arguments, RowRange rows, float addend) {
    const Texture& input = arguments.texture(0);
    Texture& output = arguments.texture(1);
    for (int y = rows.begin; y < rows.end; ++y) {
        for (int x = 0; x < arguments.threadsPerGrid().width; ++x) {
            output.write(input.read(x, y) + addend, x, y);
        }
    }
}

KernelLibrary testLibrary() {
    KernelLibrary library;
    library.add("add", [](const KernelArguments& arguments, RowRange rows) {
        addToTexture(arguments, rows, arguments.value<float>(0));
    });
    library.add("fail", [](const KernelArguments&, RowRange) {
        throw std::runtime_error("The kernel ran out of patience.");
    });
    return library;
}

class CommandBufferTest : public ::testing::Test {
  protected:
    std::shared_ptr<Texture> texture(float value) {
        return testing::makeTexture(device, PixelFormat::rgba32Float, 5, 4, [=](int, int) {
            return msl::float4{value, value, value, value};
        });
    }

    // Encodes one "add" pass from `input` to `output`.
    void encodeAdd(CommandBuffer& buffer, const std::string& label, std::shared_ptr<Texture> input,
                   std::shared_ptr<Texture> output, float addend) {
        const auto encoder = buffer.makeComputeCommandEncoder();
        ASSERT_TRUE(encoder);
        encoder->setLabel(label);
        encoder->setComputePipelineState(library.makePipeline("add"));
        encoder->setTexture(std::move(input), 0);
        encoder->setTexture(std::move(output), 1);
        encoder->setBytes(&addend, sizeof addend, 0);
        encoder->dispatchThreads({5, 4}, {32, 8});
        encoder->endEncoding();
    }

    Device device;
    KernelLibrary library = testLibrary();
    std::shared_ptr<CommandQueue> queue = device.makeCommandQueue();
};

TEST_F(CommandBufferTest, AFailingPassStopsTheBufferWithItsError) {
    const auto a = texture(1.0f), b = texture(0.0f);
    const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
    {
        const auto encoder = buffer->makeComputeCommandEncoder();
        encoder->setLabel("doomed");
        encoder->setComputePipelineState(library.makePipeline("fail"));
        encoder->dispatchThreadgroups({2, 3}, {4, 4});
        encoder->endEncoding();
    }
    encodeAdd(*buffer, "never", a, b, 1.0f);
    EXPECT_EQ(buffer->passes()[0].dispatches[0].threadsPerGrid, (GridSize{8, 12}));
    buffer->commit();
    EXPECT_EQ(buffer->status(), CommandBufferStatus::error);
    ASSERT_TRUE(buffer->error());
    EXPECT_STREQ(buffer->error()->what(), "The kernel ran out of patience.");
    EXPECT_EQ(b->read(0, 0).x, 0.0f) << "the pass after the failure did not run";
}

TEST_F(CommandBufferTest, EncodersAreOneAtATimeAndOnlyBeforeCommit) {
    const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
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
    const auto destination = texture(-1.0f);
    const std::shared_ptr<CommandBuffer> buffer = queue->makeCommandBuffer();
    const auto blit = buffer->makeBlitCommandEncoder();
    blit->setLabel("patch");
    blit->copy(source, {1, 2, 2, 2}, destination, 3, 0);
    EXPECT_THROW(blit->copy(source, {0, 0, 3, 1}, destination, 3, 0), std::invalid_argument);
    EXPECT_THROW(blit->copy(testing::makeTexture(device, PixelFormat::rgba16Float, 5, 4,
                                                 [](int, int) { return msl::float4{}; }),
                            {0, 0, 1, 1}, destination, 0, 0),
                 std::invalid_argument);
    blit->endEncoding();
    buffer->commit();
    EXPECT_EQ(destination->read(3, 0), (msl::float4{1, 2, 0, 1}));
    EXPECT_EQ(destination->read(4, 1), (msl::float4{2, 3, 0, 1}));
    for (const auto& [x, y] : {std::pair{2, 0}, std::pair{3, 2}}) {  // outside the region
        EXPECT_EQ(destination->read(x, y), (msl::float4{-1, -1, -1, -1}));
    }
}

}  // namespace
}  // namespace quillmere
