#include "core/compute/kernel_library.h"

namespace quillmere {
namespace {

void checkSlot(int index, int count, const char* kind) {
    if (index < 0 || index >= count) {
        throw std::logic_error(std::string(kind) + " slot " + std::to_string(index) +
                               " does not exist.");
    }
}

}  // namespace

Texture& KernelArguments::texture(int index) const {
    checkSlot(index, kMaxTextureBindings, "Texture");
    const std::shared_ptr<Texture>& texture = dispatch_.textures[static_cast<std::size_t>(index)];
    if (!texture)
        throw std::logic_error("No texture is bound at slot " + std::to_string(index) + ".");
    return *texture;
}

std::span<const std::byte> KernelArguments::bytes(int index) const {
    checkSlot(index, kMaxBufferBindings, "Buffer");
    const BufferBinding& binding = dispatch_.buffers[static_cast<std::size_t>(index)];
    if (!binding.isBound()) {
        throw std::logic_error("Nothing is bound at buffer slot " + std::to_string(index) + ".");
    }
    return binding.bytes();
}

void KernelArguments::throwTooShort(int index, std::size_t needed, std::size_t bound) {
    throw std::logic_error("Buffer slot " + std::to_string(index) + " holds " +
                           std::to_string(bound) + " bytes; the kernel reads " +
                           std::to_string(needed) + ".");
}

void KernelLibrary::add(std::string name, KernelFunction function) {
    if (name.empty()) throw std::invalid_argument("A kernel needs a name.");
    if (!function) throw std::invalid_argument("Kernel '" + name + "' has no function.");
    const auto [position, inserted] = kernels_.emplace(std::move(name), std::move(function));
    if (!inserted) {
        throw std::invalid_argument("Kernel '" + position->first + "' is already in the library.");
    }
}

std::shared_ptr<const ComputePipelineState> KernelLibrary::makePipeline(
    std::string_view name) const {
    const auto found = kernels_.find(name);
    if (found == kernels_.end()) return nullptr;
    return std::make_shared<const ComputePipelineState>(found->second);
}

}  // namespace quillmere
