#include "region/scratch.h"

#include <cstdint>

namespace carvex::region {

namespace {

// The block every thread keeps: enough for the lists of shapes of a few
// hundred segments, so that those never reach the allocator.
constexpr std::size_t kKeptBlockBytes = std::size_t(1) << 16;

struct ThreadArena {
    Arena arena;
    bool open = false;
};

ThreadArena& threadArena() {
    thread_local ThreadArena mine;
    return mine;
}

std::byte* alignUp(std::byte* p, std::size_t alignment) {
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t aligned = (address + alignment - 1) & ~(std::uintptr_t(alignment) - 1);
    return p + (aligned - address);
}

}  // namespace

Arena::Arena() : kept_(kKeptBlockBytes), nextBlock_(kKeptBlockBytes) {
    reset();
}

void* Arena::allocate(std::size_t bytes, std::size_t alignment) {
    std::byte* start = alignUp(cursor_, alignment);
    if (start <= end_ && std::size_t(end_ - start) >= bytes) {
        cursor_ = start + bytes;
        return start;
    }
    // A list larger than the next block gets a block of its own, and the
    // current block stays open for the small lists that follow.
    if (bytes + alignment > nextBlock_) {
        std::unique_ptr<std::byte[]> memory(new std::byte[bytes + alignment]);
        void* start = alignUp(memory.get(), alignment);
        own_.push_back({start, bytes + alignment, std::move(memory)});
        ownBytes_ += bytes + alignment;
        return start;
    }
    cursor_ = take(nextBlock_);
    end_ = cursor_ + nextBlock_;
    nextBlock_ += nextBlock_ / 2;
    return allocate(bytes, alignment);
}

std::byte* Arena::take(std::size_t bytes) {
    // Left uninitialised: every list writes what it reads.
    taken_.push_back(std::unique_ptr<std::byte[]>(new std::byte[bytes]));
    takenBytes_ += bytes;
    return taken_.back().get();
}

void Arena::release(void* start, std::size_t bytes) {
    // A block of its own is only made for a list nearly as large as the
    // kept block: smaller ones share blocks and are not looked for.
    if (bytes <= kKeptBlockBytes / 2) return;
    // Lists mostly go in the reverse order they came.
    for (size_t i = own_.size(); i-- > 0;) {
        if (own_[i].start != start) continue;
        ownBytes_ -= own_[i].bytes;
        if (i + 1 < own_.size()) own_[i] = std::move(own_.back());
        own_.pop_back();
        return;
    }
}

void Arena::reset() {
    taken_.clear();
    own_.clear();
    takenBytes_ = ownBytes_ = 0;
    nextBlock_ = kept_.size();
    cursor_ = kept_.data();
    end_ = cursor_ + kept_.size();
}

std::size_t Arena::heldBytes() const {
    return kept_.size() + takenBytes_ + ownBytes_;
}

StageMemory::StageMemory() : arena_(&threadArena().arena), outermost_(!threadArena().open) {
    threadArena().open = true;
}

StageMemory::~StageMemory() {
    if (!outermost_) return;
    arena_->reset();
    threadArena().open = false;
}

}  // namespace carvex::region
