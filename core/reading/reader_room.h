#pragma once

#include <condition_variable>
#include <cstdint>
#include <list>
#include <mutex>
#include <stop_token>

namespace quillmere {

// Admits readers to their work within what the machine can give all of them together: at most as
// many at work as it has logical processors, their claimed memory adding up to at most its
// budget. Readers are admitted in the order they asked (first in, first out), so that a large
// claim waiting for room is not passed for ever by small ones that would fit; a claim is admitted
// once it fits beside those held, or alone when nothing else is held (a claim up to the whole
// budget always runs, alone). Its lock is held only over its own state.
class ReaderRoom {
  public:
    struct Budget {
        unsigned readers = 1;
        std::uint64_t memoryBytes = 0;

        // The machine's: as many readers as it has logical processors, and half its physical
        // memory.
        static Budget ofMachine();
    };

    // A reader's place in the room, given up when this goes. Empty when the wait was stopped.
    class Ticket {
      public:
        Ticket() = default;
        Ticket(Ticket&& other) noexcept;
        Ticket& operator=(Ticket&& other) noexcept;
        Ticket(const Ticket&) = delete;
        Ticket& operator=(const Ticket&) = delete;
        ~Ticket();

        explicit operator bool() const { return room_ != nullptr; }

      private:
        friend class ReaderRoom;
        Ticket(ReaderRoom* room, std::uint64_t memoryBytes) : room_(room), memory_(memoryBytes) {}
        void leave();

        ReaderRoom* room_ = nullptr;
        std::uint64_t memory_ = 0;
    };

    explicit ReaderRoom(Budget budget);
    ReaderRoom(const ReaderRoom&) = delete;
    ReaderRoom& operator=(const ReaderRoom&) = delete;

    const Budget& budget() const { return budget_; }

    // Waits for room for a reader that claims `memoryBytes`, after every reader that asked
    // before it. An empty ticket when `stop` came first.
    Ticket enter(std::uint64_t memoryBytes, std::stop_token stop);

    // How many wait now (for tests that hand work between threads).
    std::size_t waiting() const;

  private:
    bool fits(std::uint64_t memoryBytes) const;
    void leave(std::uint64_t memoryBytes);

    const Budget budget_;
    mutable std::mutex lock_;
    std::condition_variable_any changed_;
    unsigned held_ = 0;
    std::uint64_t heldMemory_ = 0;
    // Those waiting, in the order they asked; each waits for its turn at the front.
    std::list<int> queue_;
};

}  // namespace quillmere
