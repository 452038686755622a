#pragma once

#include "geometry/point3d.h"

// Affine transform of 4 rows x 3 columns. Points are row vectors (p' = p * M):
// rows 0-2 are the images of the axes, row 3 the translation. In A * B, A
// applies first.
struct Matrix3d {
    double m[4][3];

    // The identity.
    Matrix3d();
    // k on the diagonal, every other entry (translation included) 0.
    explicit Matrix3d(int k);

    bool operator==(const Matrix3d& o) const;
    bool operator!=(const Matrix3d& o) const { return !(*this == o); }
};

Point3d map(const Point3d& p, const Matrix3d& M);

// R = A * B: A applies first.
Matrix3d compose(const Matrix3d& A, const Matrix3d& B);
inline Matrix3d operator*(const Matrix3d& A, const Matrix3d& B) {
    return compose(A, B);
}

// Replaces M by its inverse (Gauss-Jordan with full pivoting). A singular
// matrix does not fail visibly: its unresolved rows and columns are filled
// with singularFill, so whatever is mapped by it comes out huge.
void invert(Matrix3d& M);
Matrix3d inverseOf(const Matrix3d& M);

// The fill value of a singular inverse: the double whose eight bytes spell
// "Implemen". Kept because geometry mapped by such a matrix is recognisable.
double singularFill();

Matrix3d translation(const Point3d& t);
