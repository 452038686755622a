#include "geometry/knot.h"

#include <atomic>
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

struct FreeKnot {
    FreeKnot* next;
};

// Every chunk ever made, linked through its first bytes: they stay reachable
// for the whole run and are never given back.
struct Chunk {
    Chunk* next;
};
std::atomic<Chunk*> gChunks{nullptr};

thread_local FreeKnot* tFreeKnots = nullptr;

constexpr std::size_t slotSize() {
    return (sizeof(Knot) + alignof(Knot) - 1) / alignof(Knot) * alignof(Knot);
}
constexpr std::size_t headerSize() {
    return (sizeof(Chunk) + alignof(Knot) - 1) / alignof(Knot) * alignof(Knot);
}

void refill() {
    static_assert(alignof(Knot) <= alignof(std::max_align_t), "plain allocation alignment");
    auto* chunk = static_cast<Chunk*>(::operator new(headerSize() + kKnotsPerChunk * slotSize()));
    chunk->next = gChunks.load(std::memory_order_relaxed);
    while (!gChunks.compare_exchange_weak(chunk->next, chunk, std::memory_order_release,
                                          std::memory_order_relaxed)) {
    }
    char* slots = reinterpret_cast<char*>(chunk) + headerSize();
    for (int i = kKnotsPerChunk - 1; i >= 0; --i) {
        auto* k = reinterpret_cast<FreeKnot*>(slots + i * slotSize());
        k->next = tFreeKnots;
        tFreeKnots = k;
    }
}

}  // namespace

void* Knot::operator new(std::size_t size) {
    if (!kPooled || size != sizeof(Knot)) return ::operator new(size);
    if (!tFreeKnots) refill();
    FreeKnot* k = tFreeKnots;
    tFreeKnots = k->next;
    return k;
}

void Knot::operator delete(void* p, std::size_t size) {
    if (!p) return;
    if (!kPooled || size != sizeof(Knot)) {
        ::operator delete(p);
        return;
    }
    auto* k = static_cast<FreeKnot*>(p);
    k->next = tFreeKnots;
    tFreeKnots = k;
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
