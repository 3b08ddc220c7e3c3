#include "core/compute/command_encoder.h"

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <utility>

#include "core/compute/command_buffer.h"

namespace quillmere {
namespace {

std::size_t checkedSlot(int index, int count, const char* kind) {
    if (index < 0 || index >= count) {
        throw std::invalid_argument(std::string(kind) + " slot " + std::to_string(index) +
                                    " does not exist.");
    }
    return static_cast<std::size_t>(index);
}

void checkGrid(GridSize size, const char* what) {
    if (size.width < 0 || size.height < 0) {
        throw std::invalid_argument(std::string(what) + " cannot be negative.");
    }
}

int checkedProduct(int count, int size) {
    const std::int64_t product = static_cast<std::int64_t>(count) * size;
    if (product > std::numeric_limits<int>::max()) {
        throw std::invalid_argument("The grid is too large.");
    }
    return static_cast<int>(product);
}

bool inside(const Texture& texture, int x, int y, int width, int height) {
    return x >= 0 && y >= 0 && width >= 0 && height >= 0 &&
           static_cast<std::int64_t>(x) + width <= texture.width() &&
           static_cast<std::int64_t>(y) + height <= texture.height();
}

}  // namespace

ComputeCommandEncoder::ComputeCommandEncoder(CommandBuffer& commandBuffer)
    : commandBuffer_(&commandBuffer) {
    pass_.kind = CommandPass::Kind::compute;
}

ComputeCommandEncoder::~ComputeCommandEncoder() {
    if (commandBuffer_) commandBuffer_->endEncoder(std::nullopt);
}

void ComputeCommandEncoder::setComputePipelineState(
    std::shared_ptr<const ComputePipelineState> pipeline) {
    bindings_.pipeline = std::move(pipeline);
}

void ComputeCommandEncoder::setTexture(std::shared_ptr<Texture> texture, int index) {
    bindings_.textures[checkedSlot(index, kMaxTextureBindings, "Texture")] = std::move(texture);
}

void ComputeCommandEncoder::setBuffer(std::shared_ptr<Buffer> buffer, std::size_t offset,
                                      int index) {
    if (buffer && offset > buffer->length()) {
        throw std::invalid_argument("The buffer offset lies beyond the buffer's end.");
    }
    BufferBinding& binding = bindings_.buffers[checkedSlot(index, kMaxBufferBindings, "Buffer")];
    binding = BufferBinding{std::move(buffer), offset, {}};
}

void ComputeCommandEncoder::setBytes(const void* bytes, std::size_t length, int index) {
    BufferBinding& binding = bindings_.buffers[checkedSlot(index, kMaxBufferBindings, "Buffer")];
    const auto* first = static_cast<const std::byte*>(bytes);
    binding = BufferBinding{nullptr, 0, std::vector<std::byte>(first, first + length)};
}

void ComputeCommandEncoder::dispatchThreads(GridSize threadsPerGrid,
                                            GridSize threadsPerThreadgroup) {
    checkGrid(threadsPerGrid, "A grid");
    checkGrid(threadsPerThreadgroup, "A threadgroup");
    if (!bindings_.pipeline) throw std::logic_error("Dispatch without a compute pipeline.");
    ComputeDispatch dispatch = bindings_;
    dispatch.threadsPerGrid = threadsPerGrid;
    dispatch.threadsPerThreadgroup = threadsPerThreadgroup;
    pass_.dispatches.push_back(std::move(dispatch));
}

void ComputeCommandEncoder::dispatchThreadgroups(GridSize threadgroupsPerGrid,
                                                 GridSize threadsPerThreadgroup) {
    checkGrid(threadgroupsPerGrid, "A threadgroup count");
    checkGrid(threadsPerThreadgroup, "A threadgroup");
    dispatchThreads({checkedProduct(threadgroupsPerGrid.width, threadsPerThreadgroup.width),
                     checkedProduct(threadgroupsPerGrid.height, threadsPerThreadgroup.height)},
                    threadsPerThreadgroup);
}

void ComputeCommandEncoder::endEncoding() {
    if (!commandBuffer_) throw std::logic_error("The encoder has already ended.");
    std::exchange(commandBuffer_, nullptr)->endEncoder(std::move(pass_));
}

BlitCommandEncoder::BlitCommandEncoder(CommandBuffer& commandBuffer)
    : commandBuffer_(&commandBuffer) {
    pass_.kind = CommandPass::Kind::blit;
}

BlitCommandEncoder::~BlitCommandEncoder() {
    if (commandBuffer_) commandBuffer_->endEncoder(std::nullopt);
}

void BlitCommandEncoder::copy(std::shared_ptr<Texture> source, const Region& sourceRegion,
                              std::shared_ptr<Texture> destination, int destinationX,
                              int destinationY) {
    if (!source || !destination) throw std::invalid_argument("A blit copy needs two textures.");
    if (source->pixelFormat() != destination->pixelFormat()) {
        throw std::invalid_argument("A blit copy needs textures of one pixel format.");
    }
    if (!inside(*source, sourceRegion.x, sourceRegion.y, sourceRegion.width, sourceRegion.height) ||
        !inside(*destination, destinationX, destinationY, sourceRegion.width,
                sourceRegion.height)) {
        throw std::invalid_argument("A blit copy must lie inside both textures.");
    }
    pass_.copies.push_back(
        {std::move(source), sourceRegion, std::move(destination), destinationX, destinationY});
}

void BlitCommandEncoder::endEncoding() {
    if (!commandBuffer_) throw std::logic_error("The encoder has already ended.");
    std::exchange(commandBuffer_, nullptr)->endEncoder(std::move(pass_));
}

}  // namespace quillmere
