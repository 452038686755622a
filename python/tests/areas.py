"""An area measure of its own, independent of the module's: Green's theorem
on each cubic segment, integrated by three-point Gauss-Legendre quadrature,
which is exact for the degree-5 polynomial x dy - y dx of a cubic."""

import math

_NODES = ((-math.sqrt(0.6), 5 / 9), (0.0, 8 / 9), (math.sqrt(0.6), 5 / 9))


def segment_area(p0, p1, p2, p3):
    total = 0.0
    for node, weight in _NODES:
        t = 0.5 + 0.5 * node
        u = 1 - t
        x = u * u * u * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t * t * t * p3[0]
        y = u * u * u * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t * t * t * p3[1]
        dx = 3 * u * u * (p1[0] - p0[0]) + 6 * u * t * (p2[0] - p1[0]) + 3 * t * t * (p3[0] - p2[0])
        dy = 3 * u * u * (p1[1] - p0[1]) + 6 * u * t * (p2[1] - p1[1]) + 3 * t * t * (p3[1] - p2[1])
        total += 0.25 * weight * (x * dy - y * dx)
    return total


def loop_areas(shape):
    """The signed area of each spline of a shape, open ones closed straight."""
    areas = []
    for closed, knots in shape.splines():
        n = len(knots)
        area = 0.0
        for i in range(n if closed else n - 1):
            a, b = knots[i], knots[(i + 1) % n]
            area += segment_area(a[0], a[2], b[1], b[0])
        if not closed and n > 1:
            area += segment_area(knots[-1][0], knots[-1][0], knots[0][0], knots[0][0])
        areas.append(area)
    return areas
