#include "intersection/boxgrid.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// A box spread over more cells than this is checked by every query instead.
constexpr int kMaxCellsPerBox = 64;
constexpr int kMaxCellsPerAxis = 4096;

int cellsAlong(double extent, double cell) {
    if (!(extent > 0.0) || !(cell > 0.0)) return 1;
    const double cells = std::ceil(extent / cell);
    // Finite bounds far apart overflow the extent, and inf / inf is no count.
    if (std::isnan(cells)) return 1;
    return int(std::clamp(cells, 1.0, double(kMaxCellsPerAxis)));
}

}  // namespace

BoxGrid::BoxGrid(std::vector<Box> boxes, std::vector<int> ids, int idCount)
    : boxes_(std::move(boxes)), ids_(std::move(ids)), seen_(std::max(idCount, 0), -1) {
    const int n = int(boxes_.size());
    if (n == 0) {
        cellStart_.assign(2, 0);
        return;
    }
    double x1 = boxes_[0].x1;
    double y1 = boxes_[0].y1;
    x0_ = boxes_[0].x0;
    y0_ = boxes_[0].y0;
    for (const Box& b : boxes_) {
        x0_ = std::min(x0_, b.x0);
        y0_ = std::min(y0_, b.y0);
        x1 = std::max(x1, b.x1);
        y1 = std::max(y1, b.y1);
    }
    // About one cell per box, square where the extent allows.
    const double w = x1 - x0_;
    const double h = y1 - y0_;
    const double cells = n;
    double cell = 0.0;
    if (w > 0.0 && h > 0.0)
        cell = std::sqrt(w * h / cells);
    else
        cell = std::max(w, h) / cells;
    nx_ = cellsAlong(w, cell);
    ny_ = cellsAlong(h, cell);
    scaleX_ = nx_ > 1 ? nx_ / w : 0.0;
    scaleY_ = ny_ > 1 ? ny_ / h : 0.0;

    // Each box's cell range, or none for a box too large to list.
    std::vector<int> range(4 * size_t(n));
    std::vector<int> count(size_t(nx_) * ny_ + 1, 0);
    for (int i = 0; i < n; ++i) {
        const Box& b = boxes_[i];
        int* r = &range[4 * size_t(i)];
        r[0] = cellX(b.x0);
        r[1] = cellX(b.x1);
        r[2] = cellY(b.y0);
        r[3] = cellY(b.y1);
        if ((long long)(r[1] - r[0] + 1) * (r[3] - r[2] + 1) > kMaxCellsPerBox) {
            large_.push_back(i);
            r[0] = 1;
            r[1] = 0;
            continue;
        }
        for (int cy = r[2]; cy <= r[3]; ++cy)
            for (int cx = r[0]; cx <= r[1]; ++cx)
                ++count[size_t(cy) * nx_ + cx + 1];
    }
    for (size_t c = 1; c < count.size(); ++c)
        count[c] += count[c - 1];
    cellStart_ = count;
    cellItems_.resize(cellStart_.back());
    for (int i = 0; i < n; ++i) {
        const int* r = &range[4 * size_t(i)];
        for (int cy = r[2]; cy <= r[3]; ++cy)
            for (int cx = r[0]; cx <= r[1]; ++cx)
                cellItems_[count[size_t(cy) * nx_ + cx]++] = i;
    }
}

void BoxGrid::query(const Box& q, std::vector<int>& out) {
    out.clear();
    if (boxes_.empty()) return;
    const int stamp = queries_++;
    auto consider = [&](int i) {
        const int id = ids_[i];
        if (seen_[id] == stamp || !overlaps(boxes_[i], q)) return;
        seen_[id] = stamp;
        out.push_back(id);
    };
    const int cx0 = cellX(q.x0), cx1 = cellX(q.x1);
    const int cy0 = cellY(q.y0), cy1 = cellY(q.y1);
    for (int cy = cy0; cy <= cy1; ++cy)
        for (int cx = cx0; cx <= cx1; ++cx) {
            const int c = cy * nx_ + cx;
            for (int k = cellStart_[c]; k < cellStart_[c + 1]; ++k)
                consider(cellItems_[k]);
        }
    for (int i : large_)
        consider(i);
    std::sort(out.begin(), out.end());
}
