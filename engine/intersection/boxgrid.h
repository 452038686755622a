#pragma once

#include <vector>

// An axis-aligned box, bounds included.
struct Box {
    double x0 = 0.0;
    double y0 = 0.0;
    double x1 = 0.0;
    double y1 = 0.0;
};

inline bool overlaps(const Box& a, const Box& b) {
    return a.x0 <= b.x1 && b.x0 <= a.x1 && a.y0 <= b.y1 && b.y0 <= a.y1;
}

inline Box grown(const Box& b, double dx, double dy) {
    return {b.x0 - dx, b.y0 - dy, b.x1 + dx, b.y1 + dy};
}

// A uniform grid over a fixed set of boxes (with finite bounds) that answers
// which of them overlap a query box. Each box carries an id; several boxes
// may share one, and a query names every id once.
class BoxGrid {
public:
    // ids[i] belongs to boxes[i]; every id lies in [0, idCount).
    BoxGrid(std::vector<Box> boxes, std::vector<int> ids, int idCount);

    // Replaces out by the ids of the boxes that overlap q, ascending.
    void query(const Box& q, std::vector<int>& out);

private:
    // The cell of a coordinate: monotone, so boxes that overlap cover cells
    // that overlap.
    static int cellOf(double scaled, int cells) {
        if (!(scaled > 0.0)) return 0;
        if (scaled >= cells - 1) return cells - 1;
        return int(scaled);
    }
    int cellX(double x) const { return cellOf((x - x0_) * scaleX_, nx_); }
    int cellY(double y) const { return cellOf((y - y0_) * scaleY_, ny_); }

    std::vector<Box> boxes_;
    std::vector<int> ids_;
    double x0_ = 0.0;
    double y0_ = 0.0;
    double scaleX_ = 0.0;
    double scaleY_ = 0.0;
    int nx_ = 1;
    int ny_ = 1;
    // Box indices by cell (compressed rows), and the boxes too large to list.
    std::vector<int> cellStart_;
    std::vector<int> cellItems_;
    std::vector<int> large_;
    // The query that last reported each id.
    std::vector<int> seen_;
    int queries_ = 0;
};
