"""Cuts the bundled plate with its hole and a square, unites the disc, and
writes the part as SVG and PNG into OUT_FOLDER (the current folder):
python examples/python/cut.py [OUT_FOLDER]"""

import pathlib
import sys

import carvex

examples = pathlib.Path(__file__).resolve().parents[1]
out = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")

plate = carvex.read(str(examples / "plate.svg"))   # the region each file paints
hole = carvex.read(str(examples / "hole.svg"))
disc = carvex.read(str(examples / "disc.svg"))
square = carvex.from_path_data("M 20 20 h 40 v 40 h -40 Z")

part = carvex.combine(plate, hole, carvex.Op.SUBTR_A)
part = carvex.combine(part, square, carvex.Op.SUBTR_A)
part = carvex.combine(part, disc, carvex.Op.UNION)
print(f"{len(part)} loops, area {part.area:.6g}")
for loop in part.points():
    print(f"  a loop of {len(loop)} knots from {loop[0]}")

carvex.write(str(out / "part.svg"), part)   # whole or not at all
carvex.write(str(out / "part.png"), part)
print(f"wrote {out / 'part.svg'} and {out / 'part.png'}")
