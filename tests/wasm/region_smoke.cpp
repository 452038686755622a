// The region engine's core as a WebAssembly program sees it: a few answers
// checked by exact area, and a refusal. Prints one line per check; exits 1
// when any check fails.

#include <cmath>
#include <cstdio>
#include <limits>

#include "region/region.h"

using namespace carvex;

namespace {

int failures = 0;

void check(bool ok, const char* what, double got, double want) {
    std::printf("%s %s: %.12g (want %.12g)\n", ok ? "ok  " : "FAIL", what, got, want);
    if (!ok) ++failures;
}

void checkArea(const char* what, const RegionResult& r, double want) {
    const double got = r.ok() ? enclosedArea(r.loops) : std::nan("");
    if (!r.ok()) std::printf("     %s\n", describe(r.status).c_str());
    check(r.ok() && std::fabs(got - want) <= 1e-9 * std::fmax(1.0, std::fabs(want)), what, got,
          want);
}

PathKnot corner(double x, double y) {
    return {{x, y}, {x, y}, {x, y}};
}

Path square(double x, double y, double side) {
    return {{corner(x, y), corner(x + side, y), corner(x + side, y + side), corner(x, y + side)},
            true};
}

// Four quarter arcs, each a cubic with the usual handle length.
Path circle(double cx, double cy, double r) {
    const double k = 0.5522847498307936 * r;
    return {{{{cx + r, cy}, {cx + r, cy - k}, {cx + r, cy + k}},
             {{cx, cy + r}, {cx + k, cy + r}, {cx - k, cy + r}},
             {{cx - r, cy}, {cx - r, cy + k}, {cx - r, cy - k}},
             {{cx, cy - r}, {cx - k, cy - r}, {cx + k, cy - r}}},
            true};
}

}  // namespace

int main() {
    const Paths a{square(0, 0, 2)};
    const Paths b{square(1, 1, 2)};
    checkArea("union of two squares", combine(a, b, Operation::Union), 7.0);
    checkArea("intersection", combine(a, b, Operation::Intersect), 1.0);
    checkArea("a minus b", combine(a, b, Operation::SubtrA), 3.0);
    checkArea("b minus a", combine(a, b, Operation::SubtrB), 3.0);
    checkArea("exclusive or", combine(a, b, Operation::Xor), 6.0);

    // Both squares drawn the same way round: only even-odd leaves the hole.
    const Paths ring{square(0, 0, 4), square(1, 1, 2)};
    checkArea("ring under even-odd", resolve(ring, FillRule::EvenOdd), 12.0);
    checkArea("ring under nonzero", resolve(ring, FillRule::NonZero), 16.0);

    // Curves: the pieces of a disc cut by a square add up to the disc.
    const Paths disc{circle(2, 2, 1.5)};
    const Paths box{square(0, 0, 2)};
    const double whole = enclosedArea(disc);
    const RegionResult inside = combine(disc, box, Operation::Intersect);
    const RegionResult outside = combine(disc, box, Operation::SubtrA);
    const double parts = inside.ok() && outside.ok()
                             ? enclosedArea(inside.loops) + enclosedArea(outside.loops)
                             : std::nan("");
    check(std::fabs(parts - whole) <= 1e-9 * whole, "disc cut by a square, pieces", parts, whole);
    check(std::fabs(enclosedArea(inside.loops) - whole / 4) <= 1e-9 * whole,
          "quarter of the disc in the square", enclosedArea(inside.loops), whole / 4);

    Paths broken{square(0, 0, 1)};
    broken[0].knots[2].point.x = std::numeric_limits<double>::quiet_NaN();
    const RegionResult refused = combine(broken, a, Operation::Union);
    std::printf("     %s\n", describe(refused.status).c_str());
    check(refused.status == RegionStatus::NonFiniteCoordinate && refused.loops.empty(),
          "a NaN is refused with no answer", double(refused.loops.size()), 0.0);
    return failures == 0 ? 0 : 1;
}
