#include "countedheap.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long long> current{0};
std::atomic<long long> most{0};

void* allocate(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
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
