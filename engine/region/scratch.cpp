#include "region/scratch.h"

#include <cstddef>

namespace carvex::region {

namespace {

struct Block {
    std::vector<std::byte> bytes = std::vector<std::byte>(std::size_t(1) << 16);
    std::pmr::monotonic_buffer_resource arena{bytes.data(), bytes.size()};
};

Block& threadBlock() {
    thread_local Block block;
    return block;
}

}  // namespace

std::pmr::memory_resource* stageMemory() {
    Block& block = threadBlock();
    block.arena.release();
    return &block.arena;
}

void releaseStageMemory() {
    threadBlock().arena.release();
}

}  // namespace carvex::region
