"""Booleans of closed cubic Bezier shapes; SVG and JSON shape files."""

from typing import ClassVar, List, Optional, Sequence, Tuple

_Point = Tuple[float, float]
_Knot = Tuple[_Point, _Point, _Point, int]

class Error(Exception):
    """Base of the errors carvex raises."""

class InputError(Error, ValueError):
    """Input that cannot be read: the message names the file (or the path data) and the place, as the carvex command prints it."""

class WriteError(Error, OSError):
    """An output that cannot be written; an existing file is left untouched."""

class RegionError(Error, ValueError):
    """Shapes the region engine cannot combine (a coordinate not finite or too large, too many knots, a bad threshold)."""

class Op:
    """A Boolean operation, named as the command names it."""

    UNION: ClassVar[Op]
    INTERSECT: ClassVar[Op]
    SUBTR_A: ClassVar[Op]
    SUBTR_B: ClassVar[Op]
    XOR: ClassVar[Op]
    INTERSECTION: ClassVar[Op]
    A_MINUS_B: ClassVar[Op]
    B_MINUS_A: ClassVar[Op]
    def __init__(self, value: int) -> None: ...
    def __int__(self) -> int: ...
    def __index__(self) -> int: ...
    @property
    def name(self) -> str: ...
    @property
    def value(self) -> int: ...

PairOp = Op

class FillRule:
    """Which points a shape's splines enclose."""

    NONZERO: ClassVar[FillRule]
    EVENODD: ClassVar[FillRule]
    def __init__(self, value: int) -> None: ...
    def __int__(self) -> int: ...
    def __index__(self) -> int: ...
    @property
    def name(self) -> str: ...
    @property
    def value(self) -> int: ...

class PairOutcome:
    """What the per-pair engine did with one base spline and one operand spline."""

    @property
    def base_index(self) -> int:
        """The base spline's place in the base shape."""
    @property
    def operand_index(self) -> int:
        """The operand spline's place in the operand shape."""
    @property
    def combined(self) -> bool:
        """Whether the pair was combined into one loop."""
    @property
    def reason(self) -> str:
        """Why the pair was left uncombined, as the command says it; empty when combined."""

class Shape:
    """A region: closed and open cubic splines and the rule that fills them. Made by read(), from_path_data(), from_svg(), from_json() and the operations; never changed by an operation."""

    fill: FillRule
    """The rule that fills the splines; combine() and resolve() use it unless given another."""
    def __init__(self) -> None:
        """An empty shape."""
    def __len__(self) -> int: ...
    @property
    def area(self) -> float:
        """The exact signed area the splines enclose, each counted once whatever the fill rule (counterclockwise in x-y with y up is positive); an open spline counts as closed by a straight segment."""
    def splines(self) -> List[Tuple[bool, List[_Knot]]]:
        """Every spline as (closed, knots), each knot as (point, in handle, out handle, type code)."""
    def path_data(self) -> str:
        """SVG path data: M and C commands, Z on closed splines."""
    def to_path_data(self) -> str:
        """The same as path_data(): from_path_data(s.to_path_data()) gives the splines back."""
    def points(self) -> List[List[List[float]]]:
        """The knot points of every spline as plain lists: [[[x, y], ...], ...]."""
    def point_arrays(self) -> list:
        """The knot points of every spline as NumPy arrays of shape (n, 2); raises ImportError when NumPy is not installed."""
    def to_svg(self) -> str:
        """An SVG document with the splines as one path under the shape's fill rule."""
    def to_json(self) -> str:
        """The engine's model as JSON, with the fill rule, lossless."""
    def copy(self) -> Shape:
        """A copy that shares nothing with this shape."""

def read(path: str, threshold: float = 0.0) -> Shape:
    """Reads a .svg or .json file as the region it paints, as the carvex command reads it: filled elements each under their own fill rule, elements left out with a UserWarning each. Raises InputError with the command's message."""

def read_splines(path: str) -> Shape:
    """Reads every subpath of a .svg or .json file as written, filled or not, as the per-pair engine takes them; the fill rule is nonzero."""

def write(path: str, shape: Shape) -> None:
    """Writes a .svg, .json or .png file, whole or not at all, as the command writes its answers. Raises WriteError."""

def from_path_data(d: str, fill: FillRule = ...) -> Shape:
    """A shape from SVG path data (the d attribute), one spline per subpath."""

def to_path_data(shape: Shape) -> str:
    """The same as Shape.to_path_data()."""

def from_svg(text: str, name: str = "SVG document", threshold: float = 0.0) -> Shape:
    """A shape from an SVG document's text, read as read() reads a file."""

def from_json(text: str, name: str = "JSON document") -> Shape:
    """A shape from the JSON that Shape.to_json() writes."""

def combine(
    a: Shape,
    b: Shape,
    op: Op,
    fill_a: Optional[FillRule] = None,
    fill_b: Optional[FillRule] = None,
    threshold: float = 0.0,
) -> Shape:
    """The region of a op b, each under its own fill rule unless one is given, as non-crossing loops (outer boundaries counterclockwise, holes clockwise, filled nonzero). Raises RegionError."""

def resolve(shape: Shape, fill: Optional[FillRule] = None, threshold: float = 0.0) -> Shape:
    """The region of one shape under its fill rule (or the one given), as combine() answers."""

def union_all(shapes: Sequence[Shape], threshold: float = 0.0) -> Shape:
    """The union of many shapes, each under its own fill rule, in one pass: what combine() would answer uniting them one by one, much faster for many shapes. An empty list gives an empty shape. Raises RegionError naming a shape that cannot be resolved."""

class Join:
    """How a stroke or an offset turns a corner."""

    MITER: ClassVar[Join]
    ROUND: ClassVar[Join]
    BEVEL: ClassVar[Join]
    def __init__(self, value: int) -> None: ...
    def __int__(self) -> int: ...
    def __index__(self) -> int: ...
    @property
    def name(self) -> str: ...
    @property
    def value(self) -> int: ...

class Cap:
    """How a stroke ends an open spline."""

    BUTT: ClassVar[Cap]
    ROUND: ClassVar[Cap]
    SQUARE: ClassVar[Cap]
    def __init__(self, value: int) -> None: ...
    def __int__(self) -> int: ...
    def __index__(self) -> int: ...
    @property
    def name(self) -> str: ...
    @property
    def value(self) -> int: ...

def stroke(
    shape: Shape,
    width: float = 1.0,
    join: Join = ...,
    cap: Cap = ...,
    miter_limit: float = 4.0,
    dashes: Sequence[float] = ...,
    dash_offset: float = 0.0,
    threshold: float = 0.0,
) -> Shape:
    """The region a pen of that width paints along the shape's splines, as SVG strokes them: closed splines joined where they close, open ones capped, dashes (lengths on and off in turn) from dash_offset. Answered as combine() answers."""

def offset(
    shape: Shape,
    distance: float,
    join: Join = ...,
    miter_limit: float = 4.0,
    fill: Optional[FillRule] = None,
    threshold: float = 0.0,
) -> Shape:
    """The shape's region (under its fill rule, or the one given) grown by distance, or shrunk where it is negative, corners shaped by join; curves stay curves."""

def enclosed_area(shape: Shape) -> float:
    """The same as Shape.area."""

def combine_pairs(
    base: Shape, operand: Shape, op: Op, threshold: float = 0.0001
) -> Tuple[Shape, List[PairOutcome]]:
    """The per-pair engine, as the plug-in runs it: every base spline with every operand spline. Returns (shape, outcomes), one PairOutcome per pair; the inputs are left as they are."""
