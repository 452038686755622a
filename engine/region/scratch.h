#pragma once

// Working memory for the lists a stage of the engine needs only while it
// runs. Each thread keeps one arena; a stage opens a StageMemory scope,
// takes its lists from it, and everything the stage took goes back when the
// scope closes, so that small inputs never reach the allocator and large
// ones only a few times.

#include <cstddef>
#include <memory>
#include <vector>

namespace carvex::region {

// Memory handed out in order, never freed one piece at a time: from a block
// kept for the thread's life, then from blocks taken from the heap, each
// half as large again as the last (a list larger than that gets a block of
// its own), until reset() gives all of those back.
class Arena {
public:
    Arena();
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    void* allocate(std::size_t bytes, std::size_t alignment);
    void reset();

private:
    std::byte* take(std::size_t bytes);

    std::vector<std::byte> kept_;
    std::vector<std::unique_ptr<std::byte[]>> taken_;
    std::size_t nextBlock_ = 0;
    std::byte* cursor_ = nullptr;
    std::byte* end_ = nullptr;
};

// A standard allocator drawing on an arena; freeing is left to the arena.
template <class T>
struct ArenaAllocator {
    using value_type = T;

    Arena* arena;

    ArenaAllocator(Arena* a) : arena(a) {}  // NOLINT: lists are made from the arena itself
    template <class U>
    ArenaAllocator(const ArenaAllocator<U>& other) : arena(other.arena) {}

    T* allocate(std::size_t n) {
        return static_cast<T*>(arena->allocate(n * sizeof(T), alignof(T)));
    }
    void deallocate(T*, std::size_t) {}

    template <class U>
    bool operator==(const ArenaAllocator<U>& other) const {
        return arena == other.arena;
    }
    template <class U>
    bool operator!=(const ArenaAllocator<U>& other) const {
        return arena != other.arena;
    }
};

template <class T>
using ScratchList = std::vector<T, ArenaAllocator<T>>;

// The thread's arena for the length of one stage. The lists made from it
// must be declared after the scope, so that they are gone before it closes.
// A scope opened while another is open on the thread shares its memory and
// leaves the reset to the outer one.
class StageMemory {
public:
    StageMemory();
    ~StageMemory();
    StageMemory(const StageMemory&) = delete;
    StageMemory& operator=(const StageMemory&) = delete;

    Arena* arena() const { return arena_; }

private:
    Arena* arena_;
    bool outermost_;
};

}  // namespace carvex::region
