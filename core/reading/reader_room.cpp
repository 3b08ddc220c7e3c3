#include "core/reading/reader_room.h"

#include <unistd.h>

#include <algorithm>
#include <thread>
#include <utility>

namespace quillmere {

ReaderRoom::Budget ReaderRoom::Budget::ofMachine() {
    unsigned processors = std::thread::hardware_concurrency();
    if (processors == 0)
        processors = static_cast<unsigned>(std::max(sysconf(_SC_NPROCESSORS_ONLN), 1L));
    const long pages = sysconf(_SC_PHYS_PAGES), pageBytes = sysconf(_SC_PAGESIZE);
    const std::uint64_t memory =
        pages > 0 && pageBytes > 0
            ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageBytes)
            : 0;
    return {processors, memory / 2};
}

ReaderRoom::ReaderRoom(Budget budget) : budget_(budget) {}

bool ReaderRoom::fits(std::uint64_t memoryBytes) const {
    if (held_ == 0) return true;
    return held_ < budget_.readers && memoryBytes <= budget_.memoryBytes &&
           heldMemory_ <= budget_.memoryBytes - memoryBytes;
}

ReaderRoom::Ticket ReaderRoom::enter(std::uint64_t memoryBytes, std::stop_token stop) {
    if (stop.stop_requested()) return {};
    std::unique_lock guard(lock_);
    const auto place = queue_.insert(queue_.end(), 0);
    const bool admitted =
        changed_.wait(guard, stop, [&] { return queue_.begin() == place && fits(memoryBytes); });
    queue_.erase(place);
    // The next in line may fit now, or may be first now that this one gave up.
    changed_.notify_all();
    if (!admitted) return {};
    ++held_;
    heldMemory_ += memoryBytes;
    return Ticket(this, memoryBytes);
}

void ReaderRoom::leave(std::uint64_t memoryBytes) {
    {
        const std::lock_guard guard(lock_);
        --held_;
        heldMemory_ -= memoryBytes;
    }
    changed_.notify_all();
}

std::size_t ReaderRoom::waiting() const {
    const std::lock_guard guard(lock_);
    return queue_.size();
}

ReaderRoom::Ticket::Ticket(Ticket&& other) noexcept
    : room_(std::exchange(other.room_, nullptr)), memory_(other.memory_) {}

ReaderRoom::Ticket& ReaderRoom::Ticket::operator=(Ticket&& other) noexcept {
    if (this != &other) {
        leave();
        room_ = std::exchange(other.room_, nullptr);
        memory_ = other.memory_;
    }
    return *this;
}

ReaderRoom::Ticket::~Ticket() { leave(); }

void ReaderRoom::Ticket::leave() {
    if (room_) std::exchange(room_, nullptr)->leave(memory_);
}

}  // namespace quillmere
