#pragma once

// Working memory for the lists a stage of the engine needs only while it
// runs. Each thread keeps one block; a stage takes all of it when it starts,
// giving up whatever the stage before it left there, so that small inputs
// never reach the allocator and large ones only a few times.

#include <memory_resource>
#include <vector>

namespace carvex::region {

template <class T>
using ScratchList = std::pmr::vector<T>;

// Called once at the start of a stage; the lists of any earlier stage must
// be gone by then.
std::pmr::memory_resource* stageMemory();

// Hands back what the last stage took beyond the thread's block, once a
// call is over.
void releaseStageMemory();

}  // namespace carvex::region
