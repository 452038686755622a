#include "countedheap.h"

#include <malloc.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long long> current{0};
std::atomic<long long> most{0};

void* allocate(std::size_t size, std::size_t alignment = alignof(std::max_align_t)) {
    if (size == 0) size = 1;
    // aligned_alloc wants a size that is a multiple of the alignment.
    void* p = alignment <= alignof(std::max_align_t)
                  ? std::malloc(size)
                  : std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
    if (!p) throw std::bad_alloc();
    const long long now = current += (long long)malloc_usable_size(p);
    long long seen = most.load(std::memory_order_relaxed);
    while (now > seen && !most.compare_exchange_weak(seen, now)) {
    }
    return p;
}

void release(void* p) {
    if (!p) return;
    current -= (long long)malloc_usable_size(p);
    std::free(p);
}

}  // namespace

namespace countedheap {

long long inUse() {
    return current.load();
}

long long markPeak() {
    const long long now = current.load();
    most = now;
    return now;
}

long long peak() {
    return most.load();
}

}  // namespace countedheap

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void operator delete(void* p) noexcept {
    release(p);
}
void operator delete[](void* p) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    release(p);
}

// The aligned forms too: standard library parts (polymorphic memory
// resources among them) allocate through them.
void* operator new(std::size_t size, std::align_val_t alignment) {
    return allocate(size, std::size_t(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return allocate(size, std::size_t(alignment));
}
void operator delete(void* p, std::align_val_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
    release(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
    release(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
    release(p);
}
