#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

#include "core/compute/command_pass.h"

namespace quillmere {

// A kernel's binding slots are named by enumerations whose values are the slot numbers, one for
// its textures and one for its buffers, declared beside the kernel. The host binds and the kernel
// reads by these names, so the two cannot disagree about a bare number.
template <class Slot>
concept BindingSlot = std::is_enum_v<Slot>;

// The rows begin ..< end of a dispatch's grid.
struct RowRange {
    int begin = 0;
    int end = 0;
};

// What a running kernel sees of its dispatch: the grid and the bound textures and buffers.
// Textures are returned mutable; a kernel writes only its output texture and never reads it.
class KernelArguments {
  public:
    explicit KernelArguments(const ComputeDispatch& dispatch) : dispatch_(dispatch) {}

    GridSize threadsPerGrid() const { return dispatch_.threadsPerGrid; }

    // The texture bound at `index`; throws std::logic_error when the slot is empty.
    Texture& texture(int index) const;

    // The bytes bound at `index` (from the buffer's offset to its end, or the inline bytes);
    // throws std::logic_error when the slot is empty.
    std::span<const std::byte> bytes(int index) const;

    // A copy of the record of type T at the start of buffer slot `index`; throws
    // std::logic_error when fewer than sizeof(T) bytes are bound.
    template <class T>
    T value(int index) const {
        static_assert(std::is_trivially_copyable_v<T>);
        const std::span<const std::byte> data = bytes(index);
        if (data.size() < sizeof(T)) throwTooShort(index, sizeof(T), data.size());
        T result;
        std::memcpy(&result, data.data(), sizeof(T));
        return result;
    }

    // The bytes of slot `index` viewed as an array of T (whole elements only).
    template <class T>
    std::span<const T> array(int index) const {
        static_assert(std::is_trivially_copyable_v<T>);
        const std::span<const std::byte> data = bytes(index);
        if (reinterpret_cast<std::uintptr_t>(data.data()) % alignof(T) != 0) {
            throw std::logic_error("Buffer slot " + std::to_string(index) + " is misaligned.");
        }
        return {reinterpret_cast<const T*>(data.data()), data.size() / sizeof(T)};
    }

    // The same, by slot name.
    template <BindingSlot Slot>
    Texture& texture(Slot slot) const {
        return texture(static_cast<int>(slot));
    }
    template <class T, BindingSlot Slot>
    T value(Slot slot) const {
        return value<T>(static_cast<int>(slot));
    }
    template <class T, BindingSlot Slot>
    std::span<const T> array(Slot slot) const {
        return array<T>(static_cast<int>(slot));
    }

  private:
    [[noreturn]] static void throwTooShort(int index, std::size_t needed, std::size_t bound);

    const ComputeDispatch& dispatch_;
};

// A kernel: a plain function that computes the rows `rows` of the grid, every column of them.
// The device runs the rows of a dispatch in parallel in row ranges of its choosing, so a kernel
// must compute each grid position from its inputs alone; it may keep scratch memory per call.
// Threads outside the output texture (a grid rounded up to whole threadgroups) are the kernel's
// to skip, as on a GPU.
using KernelFunction = std::function<void(const KernelArguments& arguments, RowRange rows)>;

// A kernel ready to be dispatched, with the figures a GPU pipeline reports for sizing
// threadgroups (the CPU device ignores threadgroup sizes, but callers compute them as the GPU
// would, and tests check them).
class ComputePipelineState {
  public:
    static constexpr int kThreadExecutionWidth = 32;
    static constexpr int kMaxTotalThreadsPerThreadgroup = 1024;

    explicit ComputePipelineState(KernelFunction function) : function_(std::move(function)) {}

    const KernelFunction& function() const { return function_; }
    int threadExecutionWidth() const { return kThreadExecutionWidth; }
    int maxTotalThreadsPerThreadgroup() const { return kMaxTotalThreadsPerThreadgroup; }

  private:
    KernelFunction function_;
};

// A set of kernels by name: what compiling a kernel source gives on a GPU. Each kernel family
// builds its library once and asks it for pipelines by name; a name the library does not hold
// gives no pipeline, and the caller reports it with its own error.
class KernelLibrary {
  public:
    // Throws std::invalid_argument for an empty name or a name already present.
    void add(std::string name, KernelFunction function);

    // A new pipeline for the kernel `name`, or nullptr when there is none.
    std::shared_ptr<const ComputePipelineState> makePipeline(std::string_view name) const;

  private:
    std::map<std::string, KernelFunction, std::less<>> kernels_;
};

}  // namespace quillmere
