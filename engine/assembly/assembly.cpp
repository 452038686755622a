#include "assembly/assembly.h"

#include <memory>
#include <utility>
#include <vector>

#include "geometry/algorithm.h"

namespace {

// Knots of one run closer than this are one knot (appendKnot).
constexpr double kCoincident = 1e-10;
// Joints between runs, and the closing joint, are merged below this.
constexpr double kJoint = 0.001;

// (to - from) / 3, built from its direction so that a vanishing difference
// gives no handle at all.
Point3d thirdOf(const Point3d& from, const Point3d& to) {
    const Point3d d = to - from;
    const double len = norm(d);
    return normalised(d) * len / 3.0;
}

// Fits the joint knot L, which ends the result, to the run whose skipped
// first knot Q repeats it and whose next knot N follows it.
void fitJoint(Knot& L, const Knot& Q, const Knot& N) {
    if (Q.type == Knot::Corner && N.type == Knot::Corner) {
        if (L.type == Knot::Corner) {
            L.inVec = L.point;
            L.outVec = L.point;
        } else {
            L.type = Knot::BezierCorner;
            L.outVec = L.point + thirdOf(Q.point, N.point);
        }
        return;
    }
    const double d1 = distance(Q.point, Q.outVec);
    const double d2 = distance(L.point, L.inVec);
    if (d1 >= kJoint) {
        L.type = Knot::BezierCorner;
        L.outVec = Q.outVec;
    } else if (d2 < kJoint) {
        L.type = Knot::Corner;
        L.inVec = L.point;
        L.outVec = L.point;
    } else {
        L.type = Knot::BezierCorner;
        L.outVec = L.point + thirdOf(Q.point, N.point);
    }
}

// Pulls a handle that reaches farther than gap back to a third of the gap.
void shortenHandle(const Point3d& point, Point3d& handle, double gap) {
    if (distance(point, handle) > gap) handle = point + normalised(handle - point) * gap / 3.0;
}

// A run of knots as references to the source's knots, each with the handle
// swap of a backward walk and the outVec it ends up with (appendKnot merges
// coincident knots into the one before by taking over their outVec).
class KnotRun {
public:
    struct Entry {
        const Knot* knot;
        bool reversed;
        Point3d outVec;
    };

    explicit KnotRun(int capacity) { entries_.reserve(capacity); }
    int size() const { return int(entries_.size()); }
    const Point3d& point(int i) const { return entries_[i].knot->point; }
    const Point3d& outVec(int i) const { return entries_[i].outVec; }
    int type(int i) const { return entries_[i].knot->type; }
    bool deleted(int) const { return false; }  // never taken in
    // The knot the run holds at i, as a value.
    Knot at(int i) const {
        Knot k(*entries_[i].knot);
        shape(k, entries_[i]);
        return k;
    }
    Knot* copyOf(int i) const {
        auto* k = new Knot(*entries_[i].knot);
        shape(*k, entries_[i]);
        return k;
    }
    // appendKnot's rule for a source knot, reversed or not.
    void append(const Knot& knot, bool reversed) {
        if (knot.hasFlag(CustomFlag::Deleted)) return;
        const Point3d& out = reversed ? knot.inVec : knot.outVec;
        if (!entries_.empty() && distance(entries_.back().knot->point, knot.point) < kCoincident) {
            entries_.back().outVec = out;
            return;
        }
        entries_.push_back({&knot, reversed, out});
    }

private:
    static void shape(Knot& k, const Entry& e) {
        if (e.reversed) std::swap(k.inVec, k.outVec);
        k.outVec = e.outVec;
    }

    std::vector<Entry> entries_;
};

// The knots of a spline run as appendPiece reads them.
class SplineRun {
public:
    explicit SplineRun(const Spline& s) : s_(s) {}
    int size() const { return s_.size(); }
    const Point3d& point(int i) const { return s_.at(i)->point; }
    const Point3d& outVec(int i) const { return s_.at(i)->outVec; }
    int type(int i) const { return s_.at(i)->type; }
    bool deleted(int i) const { return s_.at(i)->hasFlag(CustomFlag::Deleted); }
    const Knot& at(int i) const { return *s_.at(i); }
    Knot* copyOf(int i) const { return new Knot(*s_.at(i)); }

private:
    const Spline& s_;
};

// Knot i of the source as the run meets it: walking backwards the handles
// trade places so that the run traces the same curve the other way round.
void takeKnot(Spline& run, const Spline& source, int i, bool forward) {
    const Knot& k = *source.at(i);
    if (forward) {
        appendKnot(run, k);
        return;
    }
    Knot reversed(k);
    std::swap(reversed.inVec, reversed.outVec);
    appendKnot(run, reversed);
}

void takeKnot(KnotRun& run, const Spline& source, int i, bool forward) {
    run.append(*source.at(i), !forward);
}

template <typename Run>
void fillPiece(Run& run, const Spline& source, int first, int last, bool forward) {
    const int n = source.size();
    if (first == last || (!source.closed && forward && last < first)) return;
    // Bad indices would never meet last; give an empty run rather than loop.
    if (first < 0 || first >= n || last < 0 || last >= n) return;
    int i = first;
    do {
        takeKnot(run, source, i, forward);
        i = forward ? (i + 1) % n : (i - 1 + n) % n;
    } while (i != last);
    takeKnot(run, source, last, forward);
}

// appendKnot for the run's knot i.
template <typename Run>
void appendKnotOf(Spline& spline, const Run& run, int i) {
    if (run.deleted(i)) return;
    if (!spline.isEmpty() && distance(spline.last()->point, run.point(i)) < kCoincident) {
        spline.last()->outVec = run.outVec(i);
        return;
    }
    spline.append(run.copyOf(i));
}

template <typename Run>
void appendPieceOf(Spline& result, const Run& piece, int start, bool measure = true) {
    if (result.isEmpty()) {
        for (int i = start; i < piece.size(); ++i)
            appendKnotOf(result, piece, i);
        if (measure) result.updateLengths();
        return;
    }
    for (int i = start; i < piece.size(); ++i) {
        if (i == start) {
            Knot& L = *result.last();
            if (distance(L.point, piece.point(i)) < kJoint) {
                // The run starts where the result ends: one knot, two handles.
                if (L.type == Knot::Corner && piece.type(i) != Knot::Corner)
                    L.type = Knot::BezierCorner;
                L.outVec = piece.outVec(i);
                continue;
            }
            // From the second run on, knot 0 repeats L and only shapes the joint.
            if (i != 0) fitJoint(L, piece.at(0), piece.at(i));
        }
        result.append(piece.copyOf(i));
    }
    if (measure) result.updateLengths();
}

}  // namespace

Spline* extractPiece(const Spline& source, int first, int last, bool forward) {
    auto* run = new Spline();
    run->copyAttributes(source);
    fillPiece(*run, source, first, last, forward);
    return run;
}

void appendPiece(Spline& result, const Spline& piece, int start) {
    appendPieceOf(result, SplineRun(piece), start);
}

void appendRun(Spline& result, const Spline& source, int first, int last, bool forward, int start,
               bool measure) {
    if (literalAlgorithm()) {
        std::unique_ptr<Spline> run(extractPiece(source, first, last, forward));
        appendPieceOf(result, SplineRun(*run), start, measure);
        return;
    }
    // The same knots without a spline of heap knots in between.
    KnotRun run(source.size() + 1);
    fillPiece(run, source, first, last, forward);
    appendPieceOf(result, run, start, measure);
}

void appendKnot(Spline& spline, const Knot& knot) {
    if (knot.hasFlag(CustomFlag::Deleted)) return;
    if (!spline.isEmpty() && distance(spline.last()->point, knot.point) < kCoincident) {
        spline.last()->outVec = knot.outVec;
        return;
    }
    spline.append(new Knot(knot));
}

void closeResult(Spline& result) {
    // Closed before measuring, so the lengths include the closing segment
    // even when the result came in open.
    result.closed = true;
    if (result.isEmpty()) return;
    Knot& F = *result.first();
    Knot& L = *result.last();
    const double gap = distance(F.point, L.point);
    if (gap < kJoint) {
        // A lone knot is both ends; there is no duplicate to fold away.
        if (result.size() > 1) {
            if (F.type != L.type) F.type = Knot::BezierCorner;
            F.inVec = L.inVec;
            delete result.takeLast();
        }
    } else {
        // The closing segment spans only the gap: keep its handles inside it.
        shortenHandle(F.point, F.inVec, gap);
        shortenHandle(L.point, L.outVec, gap);
    }
    result.updateLengths();
}

void prepareForWalk(Spline& A, const Spline& copyOfA) {
    A.clearKnots();
    // A is Deleted here, so its own style and flags stay; the copy only brings
    // parent and closed.
    A.copyAttributes(copyOfA);
    A.clearFlag(CustomFlag::Deleted);
}
