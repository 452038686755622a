#pragma once

#include <algorithm>
#include <memory>
#include <vector>

#include "geometry/pline.h"
#include "geometry/spline.h"
#include "intersection/beziersegment.h"

// The segments of a spline in the order the finder visits them: segment s
// runs from knot s to knot (s + 1) mod n. An open spline has no closing
// segment, except that a lone knot runs from itself to itself.
class SegmentList {
public:
    explicit SegmentList(const Spline& s)
        : spline_(s), n_(s.size()), count_(s.closed || n_ == 1 ? n_ : std::max(n_ - 1, 0)) {}
    int size() const { return count_; }
    int from(int s) const { return s; }
    int to(int s) const { return s + 1 == n_ ? 0 : s + 1; }
    BezierSegment at(int s) const {
        const Knot* a = spline_.at(s);
        const Knot* b = spline_.at(to(s));
        return {a->point, a->outVec, b->inVec, b->point};
    }

private:
    const Spline& spline_;
    const int n_;
    const int count_;
};

// The polylines of a list's segments, each made by appendToPolyline (from
// empty) once, when first asked for: one flattening serves every pair.
class SegmentLines {
public:
    SegmentLines(const SegmentList& segments, double angleTolerance)
        : segments_(segments), angleTolerance_(angleTolerance), lines_(segments.size()) {}
    PLine& at(int s);

private:
    const SegmentList& segments_;
    const double angleTolerance_;
    std::vector<std::unique_ptr<PLine>> lines_;
};

// The segment pairs of two splines that intersectSegments can find anything
// on, for a given threshold: every pair it could report a record for is
// listed, and the pairs left out provably give none.
struct SegmentPairs {
    // Partners of segment a of A: indices into B's segments, ascending,
    // partners[start[a]] to partners[start[a + 1] - 1].
    std::vector<int> start;
    std::vector<int> partners;
};

// Fills pairs and returns true when the proof holds for this input: every
// coordinate finite and below 1e60 in size, every z zero, a threshold of at
// least 1e-10. Returns false otherwise; then every pair must be visited.
// Given the polylines of both lists, segments that turn far are placed by the
// lines of their actual edges rather than by the cone of their control
// polygon, which keeps curved pairs that cannot be collinear apart.
bool findSegmentPairs(const SegmentList& a, const SegmentList& b, double threshold,
                      SegmentPairs& pairs, SegmentLines* linesA = nullptr,
                      SegmentLines* linesB = nullptr);
