#pragma once

// A point or a vector of the plane, with the arithmetic the engine needs.

#include <cmath>
#include <cstring>

namespace carvex {

struct Vec2 {
    double x = 0.0;
    double y = 0.0;
};

inline Vec2 operator+(Vec2 a, Vec2 b) {
    return {a.x + b.x, a.y + b.y};
}
inline Vec2 operator-(Vec2 a, Vec2 b) {
    return {a.x - b.x, a.y - b.y};
}
inline Vec2 operator*(Vec2 a, double s) {
    return {a.x * s, a.y * s};
}
inline bool operator==(Vec2 a, Vec2 b) {
    return a.x == b.x && a.y == b.y;
}
inline bool operator!=(Vec2 a, Vec2 b) {
    return !(a == b);
}
// Equal to the last bit, telling 0 from -0: for a point that must be the
// very point computed elsewhere, not merely one equal to it.
inline bool sameBits(Vec2 a, Vec2 b) {
    return std::memcmp(&a, &b, sizeof(Vec2)) == 0;
}
inline double dot(Vec2 a, Vec2 b) {
    return a.x * b.x + a.y * b.y;
}
inline double cross(Vec2 a, Vec2 b) {
    return a.x * b.y - a.y * b.x;
}
inline double length(Vec2 a) {
    return std::sqrt(a.x * a.x + a.y * a.y);
}
inline Vec2 lerp(Vec2 a, Vec2 b, double t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

}  // namespace carvex
