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

// Memory handed out in order: from a block kept for the thread's life, then
// from blocks taken from the heap, each half as large again as the last,
// until reset() gives all of those back. A list larger than the next block
// gets a block of its own, and gives it back as soon as it lets go of it, so
// that the large lists a stage has finished with do not stay to its end.
class Arena {
public:
    Arena();
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    void* allocate(std::size_t bytes, std::size_t alignment);
    // Gives back memory from allocate() where it is a block of its own;
    // memory inside a shared block stays until reset().
    void release(void* start, std::size_t bytes);
    void reset();
    // The bytes the arena holds from the heap, the kept block included.
    std::size_t heldBytes() const;

private:
    struct OwnBlock {
        void* start;  // aligned, as handed out
        std::size_t bytes;
        std::unique_ptr<std::byte[]> memory;
    };

    std::byte* take(std::size_t bytes);

    std::vector<std::byte> kept_;
    std::vector<std::unique_ptr<std::byte[]>> taken_;
    std::vector<OwnBlock> own_;
    std::size_t takenBytes_ = 0;
    std::size_t ownBytes_ = 0;
    std::size_t nextBlock_ = 0;
    std::byte* cursor_ = nullptr;
    std::byte* end_ = nullptr;
};

// A standard allocator drawing on an arena.
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
    void deallocate(T* p, std::size_t n) { arena->release(p, n * sizeof(T)); }

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

// Empties a list and gives back its memory, for a list that a stage has
// finished with before the stage ends.
template <class T>
void letGo(ScratchList<T>& list) {
    ScratchList<T>(list.get_allocator()).swap(list);
}

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
