#include "region/region.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "region/answercheck.h"
#include "region/arrangement.h"
#include "region/crossings.h"
#include "region/gather.h"
#include "region/loops.h"
#include "region/scratch.h"
#include "region/spare.h"
#include "region/stagecheck.h"

namespace carvex {

namespace {

// The working lists of one thread, kept from call to call so that their
// memory is not handed back and faulted in again every time.
struct Workspace {
    region::Gathered input;
    region::PieceList pieces;
    region::Meetings meetings;
    region::Arrangement arrangement;

    // Past this many segments the lists are let go after the call.
    void release() {
        if (input.segments.capacity() <= size_t(region::kKeptSegments)) return;
        *this = Workspace();
    }
};

// One pass at the input's merge distance: Ok with the answer, Unresolved
// when some chosen edge did not close into a loop, or the cap the crossing
// search ran into.
RegionStatus pass(Operation op, FillRule fillA, FillRule fillB, Workspace& w, Paths& answer) {
    using namespace region;
    const bool checks = stageChecksOn();
    if (checks) enforce("gathering", checkGathered(w.input));
    monotonePieces(w.input, w.pieces);
    findHits(w.input, w.pieces, w.input.join, w.meetings);
    // Grown by doubling as they were found: their spare room is given back
    // before the arrangement takes its own.
    w.meetings.hits.shrink_to_fit();
    w.meetings.overlaps.shrink_to_fit();
    if (w.meetings.limit != RegionStatus::Ok) return w.meetings.limit;
    if (checks) enforce("crossing", checkMeetings(w.input, w.pieces, w.meetings));
    buildArrangement(w.input, w.pieces, w.meetings, w.arrangement);
    if (w.arrangement.joinsTooLong) return RegionStatus::ThresholdTooCoarse;
    if (checks) enforce("arrangement", checkArrangement(w.input, w.arrangement));
    // The inputs' windings beside the edges are counted on a spare core, if
    // one is free, while the arrangement's own are worked out and the loops
    // drawn.
    EdgeSides sampled;
    bool agree = true;
    bool complete = true;
    auto windingsAndLoops = [&] {
        agree = computeWindings(w.arrangement);
        answer = assembleLoops(w.input, w.arrangement, op, fillA, fillB, &complete);
    };
    auto sample = [&] { sampled = sampleEdgeSides(w.input, w.pieces, w.arrangement); };
    if (w.arrangement.edges.size() < size_t(kEdgesForASpareCore) ||
        !besideEachOther(sample, windingsAndLoops))
        windingsAndLoops();
    if (!complete || !agree) {
        // Edges ordered wrongly around some vertex, or a ray that counted
        // wrong, carried wrong windings: a ray from every edge instead.
        agree = computeWindings(w.arrangement, false);
        answer = assembleLoops(w.input, w.arrangement, op, fillA, fillB, &complete);
    }
    // Windings that still disagree could bound a wrong region: refused.
    if (!complete || !agree) return RegionStatus::Unresolved;
    // Nor is an answer given that the inputs' own windings contradict.
    if (!windingsMatchInputs(w.input, w.pieces, w.arrangement, &sampled))
        return RegionStatus::AnswerDisagrees;
    if (checks) enforce("winding", checkWindings(w.arrangement));
    if (checks) enforce("loop", checkLoops(answer));
    return RegionStatus::Ok;
}

// The answer's knots from the input's origin back to where the inputs lie;
// knots that are input knots come back bit for bit.
void moveBack(Paths& loops, Vec2 origin) {
    if (origin == Vec2{}) return;
    for (Path& loop : loops)
        for (PathKnot& k : loop.knots) {
            k.point = k.point + origin;
            k.in = k.in + origin;
            k.out = k.out + origin;
        }
}

// releaseA and releaseB, when given, are a and b, let go once their knots
// are gathered: the passes work on their own copies.
RegionResult run(const Paths& a, const Paths* b, Operation op, FillRule fillA, FillRule fillB,
                 double threshold, Paths* releaseA = nullptr, Paths* releaseB = nullptr) {
    using namespace region;
    thread_local Workspace w;
    RegionResult result;
    // An operation cast from a number that names none would answer nothing.
    Operation named = op;
    if (!operationOfCode(operationCode(op), &named)) {
        result.status = RegionStatus::UnknownOperation;
        return result;
    }
    result.status = gather(a, b, threshold, w.input);
    if (releaseA) Paths().swap(*releaseA);
    if (releaseB) Paths().swap(*releaseB);
    if (result.status != RegionStatus::Ok || w.input.segments.empty()) {
        w.release();
        return result;
    }
    // Outlines that run along each other a little farther apart than the
    // merge distance cross at angles too shallow to place, and near-copies
    // keep the crossing search busy: taken as one at a coarser distance they
    // close up; past that the answer is refused.
    const double coarsest = kCoarsestMergeOfExtent * w.input.extent;
    const double eps = w.input.eps;
    for (double factor : kRetryMerges) {
        // A retry never widens past the coarsest merge distance; points
        // are joined at the caller's threshold whatever the retry.
        w.input.merge = std::max(w.input.merge, std::min(factor * eps, coarsest));
        w.input.join = std::max(w.input.join, w.input.merge);
        Paths loops;
        result.status = pass(op, fillA, fillB, w, loops);
        if (result.status == RegionStatus::Ok) {
            result.loops = std::move(loops);
            moveBack(result.loops, w.input.origin);
            break;
        }
        // A coarser merge distance joins more, never less.
        if (result.status == RegionStatus::ThresholdTooCoarse) break;
    }
    if (w.meetings.limit != RegionStatus::Ok && result.status == w.meetings.limit) {
        const auto& segments = w.input.segments;
        result.first = segmentOfKnot(w.input, segments[w.meetings.limitSegments[0]].startKnot);
        result.second = segmentOfKnot(w.input, segments[w.meetings.limitSegments[1]].startKnot);
    }
    w.release();
    return result;
}

std::string describeSegment(const SegmentRef& s) {
    return "segment " + std::to_string(s.knot) + " of spline " + std::to_string(s.spline) +
           " of the " + (s.operand == 0 ? "first" : "second") + " shape";
}

// A number as messages write it: six significant digits, as %g does.
std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

}  // namespace

RegionResult combine(const Paths& a, const Paths& b, Operation op, const RegionOptions& options) {
    return run(a, &b, op, options.fillA, options.fillB, options.threshold);
}

RegionResult combine(Paths&& a, Paths&& b, Operation op, const RegionOptions& options) {
    return run(a, &b, op, options.fillA, options.fillB, options.threshold, &a, &b);
}

namespace {

struct Box2 {
    double x0 = HUGE_VAL, y0 = HUGE_VAL, x1 = -HUGE_VAL, y1 = -HUGE_VAL;
    void grow(Vec2 p) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    void grow(const Box2& b) {
        if (b.x0 > b.x1) return;
        grow(Vec2{b.x0, b.y0});
        grow(Vec2{b.x1, b.y1});
    }
    double area() const { return x0 <= x1 ? (x1 - x0) * (y1 - y0) : 0.0; }
    Vec2 centre() const { return x0 <= x1 ? Vec2{0.5 * (x0 + x1), 0.5 * (y0 + y1)} : Vec2{}; }
};

// One region's loops and their box (of the knots), for splitting lists.
struct Resolved {
    Paths loops;
    Box2 box;
};

Box2 boxOf(const Paths& loops) {
    Box2 box;
    for (const Path& p : loops)
        for (const PathKnot& k : p.knots)
            box.grow(k.point);
    return box;
}

// How many times over the regions' boxes cover the box of them all.
double coverage(const std::vector<Resolved>& parts, size_t lo, size_t hi) {
    Box2 all;
    double sum = 0.0;
    for (size_t i = lo; i < hi; ++i) {
        all.grow(parts[i].box);
        sum += parts[i].box.area();
    }
    return all.area() > 0.0 ? sum / all.area() : 0.0;
}

// The nonzero region of loops, which are let go as soon as they are
// gathered, so that a union's inputs and its working lists are not held at
// once.
RegionResult resolveReleasing(Paths& loops, double threshold) {
    return run(loops, nullptr, Operation::Union, FillRule::NonZero, FillRule::NonZero, threshold,
               &loops);
}

// Resolved loops turn one way round what they fill and the other round
// holes: under nonzero, together they fill the union. A few regions are
// united in one pass; more are split in two at the median of their centres
// along the wider side and each half is united first, so that the crossings
// inside a half are gone before the halves meet. That pays only where the
// regions pile up; scattered ones are united in one pass however many.
RegionResult uniteRange(std::vector<Resolved>& parts, size_t lo, size_t hi, double threshold) {
    if (hi - lo <= size_t(region::kRegionsUnitedAtOnce) ||
        coverage(parts, lo, hi) < region::kPiledUpCoverage) {
        size_t count = 0;
        for (size_t i = lo; i < hi; ++i)
            count += parts[i].loops.size();
        Paths loops;
        loops.reserve(count);
        for (size_t i = lo; i < hi; ++i) {
            for (Path& loop : parts[i].loops)
                loops.push_back(std::move(loop));
            Paths().swap(parts[i].loops);
        }
        return resolveReleasing(loops, threshold);
    }
    Box2 centres;
    for (size_t i = lo; i < hi; ++i)
        centres.grow(parts[i].box.centre());
    const bool alongX = centres.x1 - centres.x0 >= centres.y1 - centres.y0;
    const size_t mid = lo + (hi - lo) / 2;
    std::nth_element(parts.begin() + lo, parts.begin() + mid, parts.begin() + hi,
                     [alongX](const Resolved& a, const Resolved& b) {
                         const Vec2 p = a.box.centre();
                         const Vec2 q = b.box.centre();
                         return alongX ? p.x < q.x : p.y < q.y;
                     });
    RegionResult left;
    RegionResult right;
    region::bothHalves(
        hi - lo >= size_t(region::kRegionsPerThread),
        [&] {
            left = uniteRange(parts, lo, mid, threshold);
            return left.ok();
        },
        [&] { right = uniteRange(parts, mid, hi, threshold); });
    if (!left.ok()) return left;
    if (!right.ok()) return right;
    for (Path& loop : right.loops)
        left.loops.push_back(std::move(loop));
    Paths().swap(right.loops);
    return resolveReleasing(left.loops, threshold);
}

// Regions first to last - 1 resolved alone into their parts; a refusal
// names its region. With owned (the same list), each region's paths are let
// go once they are gathered.
RegionResult resolveEach(const std::vector<FilledPaths>& regions, std::vector<FilledPaths>* owned,
                         size_t first, size_t last, double threshold,
                         std::vector<Resolved>& parts) {
    for (size_t i = first; i < last; ++i) {
        Paths* own = owned ? &(*owned)[i].paths : nullptr;
        RegionResult one = run(regions[i].paths, nullptr, Operation::Union, regions[i].fill,
                               FillRule::NonZero, threshold, own);
        if (!one.ok()) {
            one.region = int(i);
            return one;
        }
        parts[i].box = boxOf(one.loops);
        parts[i].loops = std::move(one.loops);
    }
    return RegionResult();
}

// Every region resolved alone: the list's two halves (by knots) side by
// side when the knots pay for a thread. The first refusal in the list is
// the one named, as one thread would name it.
RegionResult resolveAll(const std::vector<FilledPaths>& regions, std::vector<FilledPaths>* owned,
                        double threshold, std::vector<Resolved>& parts) {
    auto knotsOf = [&](size_t i) {
        size_t knots = 0;
        for (const Path& path : regions[i].paths)
            knots += path.knots.size();
        return knots;
    };
    size_t knots = 0;
    for (size_t i = 0; i < regions.size(); ++i)
        knots += knotsOf(i);
    const size_t mid = region::halfwayBy(regions.size(), knots, knotsOf);
    RegionResult first;
    RegionResult second;
    region::bothHalves(
        knots >= size_t(region::kKnotsPerThread),
        [&] {
            first = resolveEach(regions, owned, 0, mid, threshold, parts);
            return first.ok();
        },
        [&] { second = resolveEach(regions, owned, mid, regions.size(), threshold, parts); });
    return first.ok() ? second : first;
}

// Each region resolved alone, then all united.
RegionResult uniteRegions(const std::vector<FilledPaths>& regions, std::vector<FilledPaths>* owned,
                          double threshold) {
    if (regions.size() == 1) {
        Paths* own = owned ? &(*owned)[0].paths : nullptr;
        return run(regions[0].paths, nullptr, Operation::Union, regions[0].fill, FillRule::NonZero,
                   threshold, own);
    }
    std::vector<Resolved> parts(regions.size());
    RegionResult resolved = resolveAll(regions, owned, threshold, parts);
    if (!resolved.ok()) return resolved;
    return uniteRange(parts, 0, parts.size(), threshold);
}

}  // namespace

RegionResult unionAll(const std::vector<FilledPaths>& regions, double threshold) {
    return uniteRegions(regions, nullptr, threshold);
}

RegionResult unionAll(std::vector<FilledPaths>&& regions, double threshold) {
    return uniteRegions(regions, &regions, threshold);
}

RegionResult resolve(const Paths& paths, FillRule fill, double threshold) {
    return run(paths, nullptr, Operation::Union, fill, FillRule::NonZero, threshold);
}

std::string describe(RegionStatus status) {
    switch (status) {
        case RegionStatus::Ok:
            return "the shapes were combined";
        case RegionStatus::NonFiniteCoordinate:
            return "a coordinate or frame entry is not finite";
        case RegionStatus::CoordinateTooLarge:
            return "a coordinate is larger than " + number(kMaxRegionCoordinate) + " in magnitude";
        case RegionStatus::TooManyKnots:
            return "a shape has more than " + std::to_string(kMaxRegionKnots) + " knots";
        case RegionStatus::InvalidThreshold:
            return "the threshold is negative or not finite";
        case RegionStatus::UnknownOperation:
            return "the operation is none of union, intersect, subtr_a, subtr_b and xor";
        case RegionStatus::Unresolved:
            return "outlines run along each other too closely to tell where they cross or "
                   "which side of them is inside";
        case RegionStatus::SearchBudgetExhausted:
            return "the search for crossings of two segments ran past its budget of " +
                   std::to_string(region::kPairSearchBudget) + " subdivisions";
        case RegionStatus::TooManyMeetings:
            return "two segments meet at more than " + std::to_string(region::kMaxMeetingsPerPair) +
                   " places";
        case RegionStatus::TooSmallForPosition:
            return "the shapes are too small for where they lie: the doubles there are too "
                   "coarse to draw them";
        case RegionStatus::AnswerDisagrees:
            return "the answer found disagrees with the windings counted on the inputs "
                   "themselves, so it is not given";
        case RegionStatus::ThresholdTooCoarse:
            return "the threshold is coarser than the shapes' detail: it would join knots and "
                   "crossings into runs longer than itself; a smaller threshold combines them";
        case RegionStatus::InvalidStroke:
            return "a stroke width, miter limit, dash length or offset distance is negative or "
                   "not finite";
        case RegionStatus::TooManyStrokePieces:
            return "the stroke would take more than " + std::to_string(kMaxDashes) + " dashes or " +
                   std::to_string(kMaxStrokePieces) + " pieces of outline";
        case RegionStatus::SearchTooDeep:
            return "the search for crossings of two segments went deeper than " +
                   std::to_string(region::kMaxSearchDepth) + " levels";
    }
    return "unknown status";
}

std::string describe(RegionStatus status, const SegmentRef& first, const SegmentRef& second) {
    std::string text = describe(status);
    if (first.operand >= 0 && second.operand >= 0)
        text += " (" + describeSegment(first) + " and " + describeSegment(second) + ")";
    return text;
}

double enclosedArea(const Paths& paths) {
    using namespace region;
    double total = 0.0;
    for (const Path& path : paths) {
        const auto& knots = path.knots;
        if (knots.empty()) continue;
        const size_t n = knots.size();
        // Relative to the first knot, so that far-off shapes lose no digits.
        const Vec2 origin = knots.front().point;
        double sum = 0.0;
        for (size_t i = 0; i < n; ++i) {
            const size_t j = (i + 1) % n;
            const PathKnot& k0 = knots[i];
            const PathKnot& k1 = knots[j];
            if (j == 0 && !path.closed)
                sum += 0.5 * cross(k0.point - origin, k1.point - origin);
            else
                sum += areaTerm(
                    {{k0.point - origin, k0.out - origin, k1.in - origin, k1.point - origin}});
        }
        total += sum;
    }
    return total;
}

}  // namespace carvex
