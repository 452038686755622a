#include "geometry/knot.h"

#include <atomic>
#include <mutex>
#include <new>

namespace {

#if defined(__SANITIZE_ADDRESS__)
// Under AddressSanitizer every knot is its own allocation, so that misuse of
// a dropped knot is still caught.
constexpr bool kPooled = false;
#else
constexpr bool kPooled = true;
#endif

constexpr int kKnotsPerChunk = 256;
// A thread keeps at most this many free knots; beyond it a batch of
// kKnotsPerChunk goes to the shared pool. Knots made on one thread and
// dropped on another (a worker's answers freed by its caller) would otherwise
// pile up on the dropping thread while the making one keeps asking for more.
constexpr int kMaxLocalFree = 2 * kKnotsPerChunk;

struct FreeKnot {
    FreeKnot* next;
    FreeKnot* nextBatch;  // in the shared pool: the first knot of the next batch
};

// Every chunk ever made, linked through its first bytes: they stay reachable
// for the whole run and are never given back.
struct Chunk {
    Chunk* next;
};
std::atomic<Chunk*> gChunks{nullptr};

// Batches of free knots that any thread may take, each a list linked
// through next, the batches linked through their first knot's nextBatch.
std::mutex gPoolMutex;
FreeKnot* gPool = nullptr;

void giveBatch(FreeKnot* batch) {
    std::lock_guard<std::mutex> lock(gPoolMutex);
    batch->nextBatch = gPool;
    gPool = batch;
}

FreeKnot* takeBatch() {
    std::lock_guard<std::mutex> lock(gPoolMutex);
    FreeKnot* batch = gPool;
    if (batch) gPool = batch->nextBatch;
    return batch;
}

// This thread's free knots; what is left when the thread ends goes to the
// shared pool.
struct LocalFreeList {
    FreeKnot* head = nullptr;
    int count = 0;
    ~LocalFreeList() {
        if (head) giveBatch(head);
        head = nullptr;
        count = 0;
    }
};
thread_local LocalFreeList tFree;

constexpr std::size_t slotSize() {
    return (sizeof(Knot) + alignof(Knot) - 1) / alignof(Knot) * alignof(Knot);
}
constexpr std::size_t headerSize() {
    return (sizeof(Chunk) + alignof(Knot) - 1) / alignof(Knot) * alignof(Knot);
}

int lengthOf(const FreeKnot* list) {
    int n = 0;
    for (; list; list = list->next)
        ++n;
    return n;
}

void refill() {
    if (FreeKnot* batch = takeBatch()) {
        tFree.head = batch;
        tFree.count = lengthOf(batch);
        return;
    }
    static_assert(alignof(Knot) <= alignof(std::max_align_t), "plain allocation alignment");
    static_assert(sizeof(FreeKnot) <= sizeof(Knot), "a free knot fits in a knot's slot");
    auto* chunk = static_cast<Chunk*>(::operator new(headerSize() + kKnotsPerChunk * slotSize()));
    chunk->next = gChunks.load(std::memory_order_relaxed);
    while (!gChunks.compare_exchange_weak(chunk->next, chunk, std::memory_order_release,
                                          std::memory_order_relaxed)) {
    }
    char* slots = reinterpret_cast<char*>(chunk) + headerSize();
    for (int i = kKnotsPerChunk - 1; i >= 0; --i) {
        auto* k = reinterpret_cast<FreeKnot*>(slots + i * slotSize());
        k->next = tFree.head;
        tFree.head = k;
    }
    tFree.count += kKnotsPerChunk;
}

// Hands kKnotsPerChunk knots from the front of this thread's list to the pool.
void spill() {
    FreeKnot* batch = tFree.head;
    FreeKnot* last = batch;
    for (int i = 1; i < kKnotsPerChunk; ++i)
        last = last->next;
    tFree.head = last->next;
    tFree.count -= kKnotsPerChunk;
    last->next = nullptr;
    giveBatch(batch);
}

}  // namespace

void* Knot::operator new(std::size_t size) {
    if (!kPooled || size != sizeof(Knot)) return ::operator new(size);
    if (!tFree.head) refill();
    FreeKnot* k = tFree.head;
    tFree.head = k->next;
    --tFree.count;
    return k;
}

void Knot::operator delete(void* p, std::size_t size) {
    if (!p) return;
    if (!kPooled || size != sizeof(Knot)) {
        ::operator delete(p);
        return;
    }
    auto* k = static_cast<FreeKnot*>(p);
    k->next = tFree.head;
    tFree.head = k;
    if (++tFree.count > kMaxLocalFree) spill();
}

Knot::Knot(const Point3d& p, const Point3d& in, const Point3d& out, double prm, int t)
    : point(p), inVec(in), outVec(out), param(prm), type(t) {
    if (type == Corner) {
        inVec = point;
        outVec = point;
    }
    savedPoint = point;
    savedInVec = inVec;
    savedOutVec = outVec;
}

Knot::Knot(const Point3d& p, double prm)
    : point(p),
      inVec(p),
      outVec(p),
      param(prm),
      type(Corner),
      savedPoint(p),
      savedInVec(p),
      savedOutVec(p) {
    flags = Crossing;
}

Knot::Knot(const Knot& o)
    : CustomFlag(o),
      point(o.point),
      inVec(o.inVec),
      outVec(o.outVec),
      param(o.param),
      type(o.type),
      aux(o.aux),
      lengthMemo(o.lengthMemo),
      savedPoint(o.savedPoint),
      savedInVec(o.savedInVec),
      savedOutVec(o.savedOutVec) {}

static Point3d handleVector(const Point3d& handle, const Point3d& point, bool normalise) {
    Point3d v = handle - point;
    return normalise ? normalised(v) : v;
}

Point3d Knot::inVector(bool normalise) const {
    return handleVector(inVec, point, normalise);
}
Point3d Knot::outVector(bool normalise) const {
    return handleVector(outVec, point, normalise);
}

void Knot::transform(const Matrix3d& M) {
    point = map(point, M);
    inVec = map(inVec, M);
    outVec = map(outVec, M);
}
