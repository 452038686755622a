"""Writes world.svg from world-atlas's countries-50m.json (TopoJSON).

    npm pack world-atlas@2.0.2 && tar xzf world-atlas-2.0.2.tgz
    python3 bench/data/make_world.py package/countries-50m.json bench/data/world.svg

Each country is one path, filled even-odd (its rings are outlines and
holes); longitude is x and latitude, negated, y, in degrees.
"""
import json
import sys


def decoded_arcs(topology):
    (sx, sy), (tx, ty) = topology["transform"]["scale"], topology["transform"]["translate"]
    arcs = []
    for arc in topology["arcs"]:
        x = y = 0
        points = []
        for dx, dy in arc:
            x += dx
            y += dy
            points.append((x * sx + tx, -(y * sy + ty)))
        arcs.append(points)
    return arcs


def ring_points(ring, arcs):
    points = []
    for index in ring:
        arc = arcs[index] if index >= 0 else list(reversed(arcs[~index]))
        points.extend(arc if not points else arc[1:])
    return points


def path_data(geometry, arcs):
    polygons = geometry["arcs"] if geometry["type"] == "MultiPolygon" else [geometry["arcs"]]
    parts = []
    for polygon in polygons:
        for ring in polygon:
            pts = ring_points(ring, arcs)
            if len(pts) < 4:
                continue
            parts.append("M" + " ".join("%.4f %.4f" % p for p in pts[:-1]) + "Z")
    return "".join(parts)


def main(source, target):
    topology = json.load(open(source))
    arcs = decoded_arcs(topology)
    out = ['<svg xmlns="http://www.w3.org/2000/svg" viewBox="-180 -90 360 180">',
           "<!-- Countries of world-atlas 2.0.2 (Natural Earth 1:50m, public domain; "
           "world-atlas ISC, see LICENSE.world) -->"]
    for geometry in topology["objects"]["countries"]["geometries"]:
        if geometry.get("type") not in ("Polygon", "MultiPolygon"):
            continue
        d = path_data(geometry, arcs)
        if d:
            out.append('<path fill-rule="evenodd" d="%s"/>' % d)
    out.append("</svg>")
    open(target, "w").write("\n".join(out) + "\n")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
