#include "region/vertexorder.h"

#include <algorithm>
#include <cmath>

#include "region/tolerances.h"

namespace carvex::region {

namespace {

// The direction in which a curve leaves its start: the first handle that
// stands off the point, or the chord.
Vec2 leavingDirection(const Cubic& c) {
    const double scale =
        length(c.p[3] - c.p[0]) + length(c.p[1] - c.p[0]) + length(c.p[2] - c.p[0]);
    for (int i = 1; i < 4; ++i) {
        const Vec2 d = c.p[i] - c.p[0];
        if (length(d) > kShortestHeading * scale) return d;
    }
    return c.p[3] - c.p[0];
}

// How far counterclockwise `to` lies from `from`, in (-pi, pi].
double turn(double from, double to) {
    double d = std::remainder(to - from, 2.0 * M_PI);
    if (d <= -M_PI) d += 2.0 * M_PI;
    return d;
}

}  // namespace

Departure departureOf(const Cubic& leaving, int item) {
    const Vec2 d = leavingDirection(leaving);
    const Vec2 p = pointAt(leaving, 0.25) - leaving.p[0];
    return {item, std::atan2(d.y, d.x), std::atan2(p.y, p.x)};
}

bool orderAroundVertex(Departure* first, Departure* last) {
    const int n = int(last - first);
    if (n < 2) return true;
    std::sort(first, last,
              [](const Departure& x, const Departure& y) { return x.tangent < y.tangent; });
    // Start after the widest gap, so that no run of ties is cut where the
    // angles wrap round.
    int start = 0;
    double widest = -1.0;
    for (int i = 0; i < n; ++i) {
        const double next = i + 1 < n ? first[i + 1].tangent : first[0].tangent + 2.0 * M_PI;
        if (next - first[i].tangent > widest) widest = next - first[i].tangent, start = i + 1;
    }
    std::rotate(first, first + start % n, last);
    // Runs of ties, each ordered by the points along them, turning from the
    // run's first tangent.
    bool clear = true;
    for (int i = 0; i < n;) {
        int j = i + 1;
        while (j < n && turn(first[j - 1].tangent, first[j].tangent) <= kHeadingTie)
            ++j;
        if (j - i > 1) {
            clear = false;
            const double base = first[i].tangent;
            std::sort(first + i, first + j, [base](const Departure& x, const Departure& y) {
                return turn(base, x.along) < turn(base, y.along);
            });
        }
        i = j;
    }
    return clear;
}

}  // namespace carvex::region
