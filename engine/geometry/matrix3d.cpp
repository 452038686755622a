#include "geometry/matrix3d.h"

#include <cstring>
#include <utility>

Matrix3d::Matrix3d() : Matrix3d(1) {}

Matrix3d::Matrix3d(int k) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            m[r][c] = (r == c) ? double(k) : 0.0;
}

bool Matrix3d::operator==(const Matrix3d& o) const {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            if (m[r][c] != o.m[r][c]) return false;
    return true;
}

Point3d map(const Point3d& p, const Matrix3d& M) {
    const auto& m = M.m;
    return {p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0] + m[3][0],
            p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1] + m[3][1],
            p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2] + m[3][2]};
}

Matrix3d compose(const Matrix3d& A, const Matrix3d& B) {
    Matrix3d R;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            R.m[r][c] = A.m[r][0] * B.m[0][c] + A.m[r][1] * B.m[1][c] + A.m[r][2] * B.m[2][c];
    const Point3d t = map(Point3d(A.m[3][0], A.m[3][1], A.m[3][2]), B);
    R.m[3][0] = t.x;
    R.m[3][1] = t.y;
    R.m[3][2] = t.z;
    return R;
}

double singularFill() {
    double v;
    std::memcpy(&v, "Implemen", sizeof v);
    return v;
}

void invert(Matrix3d& M) {
    double m[4][4];
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c)
            m[r][c] = M.m[r][c];
        m[r][3] = (r == 3) ? 1.0 : 0.0;
    }
    int rowTag[4] = {0, 1, 2, 3};
    int colTag[4] = {0, 1, 2, 3};

    for (int pass = 0; pass < 4; ++pass) {
        double best = -1.0;
        int pr = -1;
        int pc = -1;
        for (int r = 3; r >= 0; --r) {
            if (rowTag[r] == -1) continue;
            for (int c = 3; c >= 0; --c) {
                if (colTag[c] == -1) continue;
                const double a = std::fabs(m[r][c]);
                if (a > best) {
                    best = a;
                    pr = r;
                    pc = c;
                }
            }
        }
        // NaN entries never win the search and leave best at -1: singular too.
        if (best < 1e-99) {
            const double fill = singularFill();
            for (int k = 3; k >= 0; --k) {
                if (rowTag[k] != -1)
                    for (int c = 0; c < 4; ++c)
                        m[k][c] = fill;
                if (colTag[k] != -1)
                    for (int r = 0; r < 4; ++r)
                        m[r][k] = fill;
            }
            break;
        }
        const int r2 = colTag[pc];
        const int c2 = rowTag[pr];
        for (int c = 0; c < 4; ++c)
            std::swap(m[pr][c], m[r2][c]);
        for (int r = 0; r < 4; ++r)
            std::swap(m[r][pc], m[r][c2]);
        rowTag[pr] = rowTag[r2];
        colTag[pc] = colTag[c2];
        colTag[c2] = -1;
        rowTag[r2] = -1;

        const double p = m[r2][c2];
        m[r2][c2] = 1.0;
        for (int i = 3; i >= 0; --i) {
            if (i == r2) continue;
            const double f = m[i][c2] / p;
            m[i][c2] = 0.0;
            for (int c = 0; c < 4; ++c)
                m[i][c] -= f * m[r2][c];
        }
        for (int c = 0; c < 4; ++c)
            m[r2][c] /= p;
    }

    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            M.m[r][c] = m[r][c];
}

Matrix3d inverseOf(const Matrix3d& M) {
    Matrix3d r = M;
    invert(r);
    return r;
}

Matrix3d translation(const Point3d& t) {
    Matrix3d r;
    r.m[3][0] = t.x;
    r.m[3][1] = t.y;
    r.m[3][2] = t.z;
    return r;
}
