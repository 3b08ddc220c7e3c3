#pragma once

#include <memory>
#include <utility>

namespace quillmere {

// Allocates like std::allocator but leaves values made without arguments unset, so that a
// std::vector resized to hold a large picture costs memory only as its rows are written: the
// system backs a page of a large allocation when it is first touched, not when it is reserved.
template <class T>
struct UninitializedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    UninitializedAllocator() = default;
    template <class U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}

    template <class U>
    void construct(U* place) noexcept {
        ::new (static_cast<void*>(place)) U;
    }
    template <class U, class... Arguments>
    void construct(U* place, Arguments&&... arguments) {
        ::new (static_cast<void*>(place)) U(std::forward<Arguments>(arguments)...);
    }
};

}  // namespace quillmere
