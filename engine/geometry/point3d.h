#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

// A position or a vector in three dimensions. The Boolean logic works in the
// x-y plane; z is carried along and transformed like the other two.
struct Point3d {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    constexpr Point3d() = default;
    constexpr Point3d(double px, double py, double pz) : x(px), y(py), z(pz) {}

    Point3d& operator+=(const Point3d& o) {
        x += o.x;
        y += o.y;
        z += o.z;
        return *this;
    }
    Point3d& operator-=(const Point3d& o) {
        x -= o.x;
        y -= o.y;
        z -= o.z;
        return *this;
    }
};

inline Point3d operator+(const Point3d& a, const Point3d& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Point3d operator-(const Point3d& a, const Point3d& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Point3d operator*(const Point3d& a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline Point3d operator/(const Point3d& a, double s) {
    return {a.x / s, a.y / s, a.z / s};
}
inline bool operator==(const Point3d& a, const Point3d& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}
inline bool operator!=(const Point3d& a, const Point3d& b) {
    return !(a == b);
}
// Equal to the last bit, telling 0 from -0: the very point computed or
// read elsewhere, not merely one equal to it.
inline bool sameBits(const Point3d& a, const Point3d& b) {
    std::uint64_t x[3];
    std::uint64_t y[3];
    std::memcpy(x, &a, sizeof x);
    std::memcpy(y, &b, sizeof y);
    return ((x[0] ^ y[0]) | (x[1] ^ y[1]) | (x[2] ^ y[2])) == 0;
}

inline double dot(const Point3d& a, const Point3d& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Point3d cross(const Point3d& a, const Point3d& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double norm(const Point3d& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}
inline double distance(const Point3d& a, const Point3d& b) {
    return norm(a - b);
}

// Scales v to unit length in place; a vector shorter than 1e-10 has no
// direction and becomes the zero vector.
inline Point3d& normalise(Point3d& v) {
    const double l = norm(v);
    if (l < 1e-10) {
        v = Point3d();
    } else {
        v.x /= l;
        v.y /= l;
        v.z /= l;
    }
    return v;
}

inline Point3d normalised(Point3d v) {
    return normalise(v);
}
