"""The carvex module as a Python program uses it: answers checked by exact
area (with a measure of the tests' own), errors by type and message, and
threads running at once."""

import math
import os
import pathlib
import pickle
import subprocess
import threading
import time
from concurrent.futures import ThreadPoolExecutor

import pytest

import carvex
from areas import loop_areas

EXACT = 1e-12


def square(x, y, side):
    return carvex.from_path_data(f"M {x} {y} h {side} v {side} h {-side} Z")


def circle(cx, cy, r, clockwise=False):
    """Four cubic quarters; clockwise flips the direction of travel."""
    k = 0.5522847498307936 * r
    d = (f"M {cx + r} {cy} C {cx + r} {cy + k} {cx + k} {cy + r} {cx} {cy + r} "
         f"C {cx - k} {cy + r} {cx - r} {cy + k} {cx - r} {cy} "
         f"C {cx - r} {cy - k} {cx - k} {cy - r} {cx} {cy - r} "
         f"C {cx + k} {cy - r} {cx + r} {cy - k} {cx + r} {cy} Z")
    shape = carvex.from_path_data(d)
    if clockwise:
        shape = carvex.from_path_data(reverse_path(shape))
    return shape


def reverse_path(shape):
    (closed, knots), = shape.splines()
    knots = knots[::-1]
    d = f"M {knots[0][0][0]} {knots[0][0][1]}"
    for i in range(len(knots)):
        a, b = knots[i], knots[(i + 1) % len(knots)]
        d += f" C {a[1][0]} {a[1][1]} {b[2][0]} {b[2][1]} {b[0][0]} {b[0][1]}"
    return d + " Z"


class TestShapes:
    def test_path_data_gives_one_spline_per_subpath_and_its_area(self):
        shape = carvex.from_path_data("M 0 0 h 3 v 2 h -3 Z M 10 10 l 1 0 l 0 1 z")
        assert len(shape) == 2
        assert shape.area == pytest.approx(6.5, abs=EXACT)
        assert sum(loop_areas(shape)) == pytest.approx(shape.area, abs=EXACT)

    def test_area_of_curves_agrees_with_an_independent_measure(self):
        shape = circle(3, -2, 5)
        assert shape.area == pytest.approx(sum(loop_areas(shape)), rel=1e-14)
        # A cubic quarter circle overshoots the true circle very slightly.
        assert shape.area == pytest.approx(math.pi * 25, rel=1e-3)
        assert carvex.enclosed_area(shape) == shape.area

    def test_an_open_subpath_counts_as_closed_by_a_straight_segment(self):
        assert carvex.from_path_data("M 0 0 L 4 0 L 4 4").area == pytest.approx(8, abs=EXACT)

    def test_files_round_trip_through_svg_and_json(self, tmp_path, fixtures):
        shape = carvex.read(str(fixtures / "square_b.svg"))
        assert shape.area == pytest.approx(4, abs=EXACT)
        for name in ("copy.svg", "copy.json"):
            carvex.write(str(tmp_path / name), shape)
            again = carvex.read(str(tmp_path / name))
            assert again.path_data() == shape.path_data()
        assert carvex.from_json(shape.to_json()).path_data() == shape.path_data()
        assert carvex.from_svg(shape.to_svg()).area == pytest.approx(4, abs=EXACT)

    def test_a_png_is_written_but_cannot_be_read(self, tmp_path):
        target = tmp_path / "picture.png"
        carvex.write(str(target), square(0, 0, 1))
        assert target.read_bytes().startswith(b"\x89PNG")
        with pytest.raises(carvex.InputError, match="PNG files are pictures"):
            carvex.read(str(target))

    def test_pickling_keeps_every_bit(self):
        shape = circle(0.1, 0.2, 1 / 3)
        again = pickle.loads(pickle.dumps(shape))
        assert again.splines() == shape.splines()
        assert again.area == shape.area


class TestPythonicEdges:
    def test_path_data_round_trips(self):
        shape = circle(0.5, -2, 3)
        again = carvex.from_path_data(shape.to_path_data())
        assert again.splines() == shape.splines()
        assert carvex.to_path_data(shape) == shape.path_data()

    def test_points_come_out_as_plain_lists(self):
        points = square(1, 2, 3).points()
        assert points == [[[1, 2], [4, 2], [4, 5], [1, 5]]]
        assert all(type(v) is float for p in points[0] for v in p)

    def test_points_come_out_as_arrays_where_numpy_is_there(self):
        shape = carvex.from_path_data("M 0 0 h 2 v 2 h -2 Z M 5 5 h 1 v 1 Z")
        try:
            import numpy
        except ImportError:
            with pytest.raises(ImportError, match="points\\(\\) gives lists"):
                shape.point_arrays()
            return
        arrays = shape.point_arrays()
        assert [a.shape for a in arrays] == [(4, 2), (3, 2)]
        assert numpy.array_equal(arrays[1], numpy.array([[5, 5], [6, 5], [6, 6]]))

    def test_shapes_and_outcomes_print_what_they_hold(self):
        ring = carvex.from_path_data("M 0 0 h 4 v 4 h -4 Z M 1 1 h 2 v 2 h -2 Z",
                                     carvex.FillRule.EVENODD)
        assert repr(ring) == "<carvex.Shape: 2 splines, 8 knots, evenodd>"
        _, outcomes = carvex.combine_pairs(square(0, 0, 1), square(5, 5, 1), carvex.Op.UNION)
        assert repr(outcomes[0]).startswith("PairOutcome(base_index=0, operand_index=0, "
                                            "combined=False, reason='")


class TestRegions:
    @pytest.mark.parametrize("op, area", [
        (carvex.Op.UNION, 7), (carvex.Op.INTERSECT, 1), (carvex.Op.SUBTR_A, 3),
        (carvex.Op.SUBTR_B, 3), (carvex.Op.XOR, 6)])
    def test_two_overlapping_squares(self, op, area):
        a, b = square(0, 0, 2), square(1, 1, 2)
        answer = carvex.combine(a, b, op)
        assert answer.area == pytest.approx(area, abs=1e-9)
        assert sum(loop_areas(answer)) == pytest.approx(area, abs=1e-9)
        # The inputs are left as they were.
        assert a.area == pytest.approx(4, abs=EXACT) and len(a) == 1 and len(b) == 1

    def test_area_identities_on_curved_shapes(self):
        a, b = circle(0, 0, 3), circle(2, 1, 2.5)
        area = {op: carvex.combine(a, b, op).area for op in carvex.Op.__members__.values()}
        assert area[carvex.Op.UNION] + area[carvex.Op.INTERSECT] == pytest.approx(
            a.area + b.area, rel=1e-9)
        assert area[carvex.Op.SUBTR_A] == pytest.approx(
            a.area - area[carvex.Op.INTERSECT], rel=1e-9)
        assert area[carvex.Op.XOR] == pytest.approx(
            area[carvex.Op.UNION] - area[carvex.Op.INTERSECT], rel=1e-9)

    def test_a_hole_is_a_clockwise_loop(self):
        answer = carvex.combine(square(0, 0, 4), square(1, 1, 2), carvex.Op.SUBTR_A)
        assert sorted(loop_areas(answer)) == pytest.approx([-4, 16], abs=1e-9)
        assert answer.area == pytest.approx(12, abs=1e-9)

    def test_fill_rules_decide_what_a_ring_encloses(self):
        outer, inner = circle(0, 0, 2), circle(0, 0, 1)
        ring = carvex.from_path_data(outer.path_data() + " " + inner.path_data())
        even_odd = carvex.resolve(ring, carvex.FillRule.EVENODD)
        assert even_odd.area == pytest.approx(outer.area - inner.area, rel=1e-9)
        assert len(even_odd) == 2
        non_zero = carvex.resolve(ring, carvex.FillRule.NONZERO)
        assert non_zero.area == pytest.approx(outer.area, rel=1e-9)
        # The fill rule of each input is its own.
        cut = carvex.combine(ring, square(-0.5, -0.5, 1), carvex.Op.UNION,
                             fill_a=carvex.FillRule.EVENODD)
        assert cut.area == pytest.approx(outer.area - inner.area + 1, rel=1e-9)

    def test_disjoint_shapes_unite_into_two_loops_and_an_empty_answer_is_empty(self):
        united = carvex.combine(square(0, 0, 1), square(5, 5, 1), carvex.Op.UNION)
        assert len(united) == 2 and united.area == pytest.approx(2, abs=EXACT)
        nothing = carvex.combine(square(0, 0, 1), square(5, 5, 1), carvex.Op.INTERSECT)
        assert len(nothing) == 0 and nothing.area == 0


class TestOneReadingOfAFile:
    """A file means the region it paints, whichever face reads it."""

    def test_command_library_and_module_answer_alike(self, tmp_path, fixtures):
        ring, disc = fixtures / "painted_ring.svg", fixtures / "centre_disc.svg"
        binary, unite = os.environ.get("CARVEX_BINARY"), os.environ.get("CARVEX_UNITE")
        if not binary or not unite:
            pytest.skip("CARVEX_BINARY or CARVEX_UNITE is not set: nothing to compare with")
        # An even-odd square ring in a stroked frame, and a disc of radius 15
        # in the ring's hole.
        expected = 80 * 80 - 40 * 40 + (99 * 99 - 97 * 97) + math.pi * 15 ** 2

        a = carvex.read(str(ring))
        b = carvex.read(str(disc))
        assert len(a) == 4
        module = carvex.combine(a, b, carvex.Op.UNION)

        done = subprocess.run([binary, ring, "union", disc, "-o", tmp_path / "command.json"],
                              capture_output=True, text=True, timeout=60)
        assert done.returncode == 0, done.stderr
        command = carvex.read(str(tmp_path / "command.json"))

        done = subprocess.run([unite, ring, disc, tmp_path / "library.svg"],
                              capture_output=True, text=True, timeout=60)
        assert done.returncode == 0, done.stderr
        library_area = float(done.stdout.split()[3])
        library = carvex.read(str(tmp_path / "library.svg"))

        assert module.area == pytest.approx(expected, rel=1e-6)
        for other in (command.area, library_area, library.area):
            assert other == pytest.approx(module.area, rel=1e-12)
        assert len(module) == len(command) == len(library) == 5
        # The written answer means the same region again when read back.
        carvex.write(str(tmp_path / "module.svg"), module)
        assert carvex.read(str(tmp_path / "module.svg")).area == pytest.approx(module.area,
                                                                            rel=1e-12)

    def test_fill_rules_travel_with_the_shape_and_can_be_overridden(self, fixtures):
        ring = carvex.read(str(fixtures / "ring_evenodd.svg"))
        assert ring.fill == carvex.FillRule.EVENODD
        hole_filled = carvex.resolve(ring, carvex.FillRule.NONZERO)
        assert carvex.resolve(ring).area == pytest.approx(math.pi * 75, rel=1e-5)
        assert hole_filled.area == pytest.approx(math.pi * 100, rel=1e-5)
        again = pickle.loads(pickle.dumps(ring))
        assert again.fill == carvex.FillRule.EVENODD
        assert carvex.from_json(ring.to_json()).fill == carvex.FillRule.EVENODD
        assert "evenodd" in repr(ring)

    def test_raw_splines_are_the_outlines_as_written(self, fixtures):
        # The square 4 across, stroked 1 wide: a band from 3 to 5 across.
        painted = carvex.read(str(fixtures / "stroke_only.svg"))
        assert len(painted) == 2 and painted.area == pytest.approx(25 - 9, abs=1e-9)
        splines = carvex.read_splines(str(fixtures / "stroke_only.svg"))
        assert len(splines) == 1 and splines.area == pytest.approx(16, abs=1e-12)


class TestPairs:
    def test_each_pair_reports_whether_it_was_combined(self):
        base = carvex.from_path_data("M 0 0 h 2 v 2 h -2 Z M 10 0 h 2 v 2 h -2 Z")
        operand = square(1, 1, 2)
        answer, outcomes = carvex.combine_pairs(base, operand, carvex.Op.UNION)
        assert [(o.base_index, o.operand_index, o.combined) for o in outcomes] == [
            (0, 0, True), (1, 0, False)]
        assert answer.area == pytest.approx(7 + 4, abs=1e-9)
        assert base.area == pytest.approx(8, abs=EXACT) and len(base) == 2

    def test_an_uncombined_pair_says_why(self):
        _, outcomes = carvex.combine_pairs(square(0, 0, 1), square(5, 5, 1), carvex.Op.UNION)
        assert not outcomes[0].combined and outcomes[0].reason
        assert outcomes[0].reason in repr(outcomes[0])
        _, combined = carvex.combine_pairs(square(0, 0, 2), square(1, 1, 2), carvex.Op.UNION)
        assert combined[0].combined and combined[0].reason == ""

    def test_subtraction_cuts_a_notch(self):
        answer, outcomes = carvex.combine_pairs(square(0, 0, 2), square(1, 1, 2),
                                                carvex.Op.SUBTR_A)
        assert [o.combined for o in outcomes] == [True]
        assert answer.area == pytest.approx(3, abs=1e-9)


    def test_operations_have_the_commands_names_and_the_older_ones_still_work(self):
        assert carvex.Op.INTERSECTION == carvex.Op.INTERSECT
        assert carvex.Op.A_MINUS_B == carvex.Op.SUBTR_A
        assert carvex.Op.B_MINUS_A == carvex.Op.SUBTR_B
        assert carvex.PairOp is carvex.Op

    def test_xor_is_refused_by_the_per_pair_engine_not_answered_as_another(self):
        with pytest.raises(ValueError) as caught:
            carvex.combine_pairs(square(0, 0, 2), square(1, 1, 2), carvex.Op.XOR)
        assert "xor" in str(caught.value).lower()


class TestValuesThatNameNothing:
    """Values Python can make but that name nothing are refused with a
    ValueError (a carvex.Error too), never taken for something else or
    crashed on."""

    def test_a_shape_made_without_init_is_an_empty_shape(self):
        bare = carvex.Shape.__new__(carvex.Shape)
        assert len(bare) == 0 and bare.area == 0 and bare.fill == carvex.FillRule.NONZERO
        assert carvex.combine(bare, square(0, 0, 1), carvex.Op.UNION).area == pytest.approx(1)

    @pytest.mark.parametrize("call", [
        lambda a, b: carvex.combine(a, b, carvex.Op(5)),
        lambda a, b: carvex.combine_pairs(a, b, carvex.Op(-1)),
        lambda a, b: carvex.combine(a, b, carvex.Op.UNION, fill_a=carvex.FillRule(7)),
        lambda a, b: carvex.resolve(a, carvex.FillRule(2)),
        lambda a, b: carvex.from_path_data("M 0 0 h 1 v 1 Z", carvex.FillRule(3)),
        lambda a, b: setattr(a, "fill", carvex.FillRule(9)),
    ])
    def test_enum_values_that_name_nothing(self, call):
        a, b = square(0, 0, 2), square(1, 1, 2)
        with pytest.raises(carvex.RegionError, match="names no"):
            call(a, b)
        assert a.fill == carvex.FillRule.NONZERO

    @pytest.mark.parametrize("threshold", [1e300, -1.0, float("nan"), 1e-9, 2e8])
    def test_thresholds_outside_the_commands_range(self, threshold):
        a, b = square(0, 0, 2), square(1, 1, 2)
        with pytest.raises(ValueError, match="between 0.00001 and 100000000"):
            carvex.combine(a, b, carvex.Op.UNION, threshold=threshold)
        with pytest.raises(ValueError, match="between 0.00001 and 100000000"):
            carvex.combine_pairs(a, b, carvex.Op.UNION, threshold=threshold)
        # 0 lets the region engine choose; the per-pair engine needs a distance.
        assert carvex.combine(a, b, carvex.Op.UNION, threshold=0).area == pytest.approx(7)
        with pytest.raises(ValueError):
            carvex.combine_pairs(a, b, carvex.Op.UNION, threshold=0)

    def test_paths_with_a_nul_byte_are_not_cut_short(self, tmp_path):
        (tmp_path / "a.svg").write_text('<svg xmlns="http://www.w3.org/2000/svg">'
                                        '<path d="M0 0 h1 v1 Z"/></svg>')
        cut = str(tmp_path / "a.svg") + "\0ignored"
        for call in (carvex.read, carvex.read_splines):
            with pytest.raises(carvex.InputError, match="NUL"):
                call(cut)
        with pytest.raises(carvex.InputError, match="NUL"):
            carvex.write(str(tmp_path / "b.svg") + "\0.png", square(0, 0, 1))
        assert not (tmp_path / "b.svg").exists()


class TestErrors:
    """The message of each error is the one the command prints after 'carvex: '."""

    def same_as_command(self, command, error, *arguments):
        code, stderr = command(*arguments)
        assert stderr.splitlines()[0] == "carvex: " + str(error)
        return code

    def test_a_missing_file(self, tmp_path, command):
        missing = tmp_path / "missing.svg"
        with pytest.raises(carvex.InputError) as caught:
            carvex.read(str(missing))
        assert str(caught.value).startswith(f"{missing}: cannot read")
        assert isinstance(caught.value, ValueError) and isinstance(caught.value, carvex.Error)
        assert self.same_as_command(command, caught.value, missing, "union", missing,
                                    "-o", tmp_path / "x.svg") == 2

    def test_malformed_svg_names_line_and_column(self, tmp_path, command):
        bad = tmp_path / "bad.svg"
        bad.write_text('<svg xmlns="http://www.w3.org/2000/svg">\n  <path d="M 0 0 L 1 x"/>\n</svg>\n')
        with pytest.raises(carvex.InputError, match=r"bad\.svg:2:3: <path> attribute 'd', offset 10"):
            carvex.read(str(bad))
        with pytest.raises(carvex.InputError) as caught:
            carvex.read(str(bad))
        assert self.same_as_command(command, caught.value, bad, "union", bad,
                                    "-o", tmp_path / "x.svg") == 2

    def test_malformed_json_and_path_data(self):
        with pytest.raises(carvex.InputError, match=r"^doc\.json:1:"):
            carvex.from_json("{]", name="doc.json")
        with pytest.raises(carvex.InputError, match=r"^path data, offset 7: .*needs a number"):
            carvex.from_path_data("M 0 0 Q")

    def test_an_output_that_cannot_be_written_leaves_nothing(self, tmp_path):
        target = tmp_path / "no such folder" / "out.svg"
        with pytest.raises(carvex.WriteError) as caught:
            carvex.write(str(target), square(0, 0, 1))
        assert "out.svg" in str(caught.value) and isinstance(caught.value, OSError)
        assert not target.parent.exists()
        with pytest.raises(carvex.WriteError, match="unknown file type"):
            carvex.write(str(tmp_path / "out.txt"), square(0, 0, 1))

    @pytest.mark.parametrize("threshold", [-1.0, float("nan"), float("inf")])
    def test_a_threshold_the_region_engine_refuses(self, threshold):
        with pytest.raises(carvex.RegionError) as caught:
            carvex.combine(square(0, 0, 1), square(0, 0, 2), carvex.Op.UNION, threshold=threshold)
        assert "threshold" in str(caught.value) and isinstance(caught.value, ValueError)
        with pytest.raises(carvex.RegionError):
            carvex.resolve(square(0, 0, 1), threshold=threshold)


    def test_circles_touching_along_a_stretch_share_it(self):
        disc = carvex.from_svg(
            "<svg xmlns='http://www.w3.org/2000/svg'><circle r='100'/></svg>")
        # A circle 0.1 larger around the disc, touching it at one point.
        copy = carvex.from_svg(
            "<svg xmlns='http://www.w3.org/2000/svg'><circle cx='-0.1' r='100.1'/></svg>")
        union = carvex.combine(disc, copy, carvex.Op.UNION, threshold=0.01)
        # Up to the threshold along the rim, the union is the copy.
        slack = 0.01 * 2 * 3.14159 * 100
        assert abs(carvex.enclosed_area(union) - carvex.enclosed_area(copy)) < slack
        assert len(carvex.combine(disc, copy, carvex.Op.SUBTR_A, threshold=0.01)) == 0


class TestThreads:
    def test_operations_give_the_same_answers_on_many_threads(self):
        shared = circle(0, 0, 10)
        offsets = [(i % 7 - 3) * 1.7 for i in range(160)]

        def job(dx):
            moved = circle(dx, dx / 2, 6)
            return carvex.combine(shared, moved, carvex.Op.XOR).area

        expected = [job(dx) for dx in offsets]
        with ThreadPoolExecutor(max_workers=8) as pool:
            # Shapes made on the workers are dropped here, on another thread.
            answers = list(pool.map(job, offsets))
        assert answers == expected

    @pytest.mark.parametrize("call", ["combine", "from_path_data", "to_json"])
    def test_the_interpreter_runs_while_an_operation_does(self, call):
        # One long call on another thread: with the GIL held, the loop below
        # could not advance while it runs.
        if call == "combine":
            stars = [carvex.from_path_data(star(0, 0, 1000, 2000, phase))
                     for phase in (0.0, 0.37)]
            work = lambda: carvex.combine(stars[0], stars[1], carvex.Op.UNION)
        elif call == "from_path_data":
            data = star(0, 0, 1000, 40000, 0.1)
            work = lambda: carvex.from_path_data(data)
        else:
            shape = carvex.from_path_data(star(0, 0, 1000, 20000, 0.1))
            work = shape.to_json
        started = threading.Event()
        finished = threading.Event()

        def run():
            started.set()
            work()
            finished.set()

        worker = threading.Thread(target=run)
        begin = time.perf_counter()
        worker.start()
        started.wait()
        spins = 0
        while not finished.is_set():
            spins += 1
        worker.join()
        elapsed = time.perf_counter() - begin
        if elapsed < 0.05:
            pytest.skip(f"{call} took {elapsed * 1000:.1f} ms: too short to tell")
        # A spin takes well under ten microseconds; a held GIL would allow a
        # few of them per switch interval (5 ms) at most.
        assert spins > elapsed * 1e4


def star(cx, cy, r, points, phase):
    d = []
    for i in range(2 * points):
        angle = math.pi * i / points + phase
        radius = r if i % 2 == 0 else r * 0.8
        d.append(f"{'M' if i == 0 else 'L'} {cx + radius * math.cos(angle)} "
                 f"{cy + radius * math.sin(angle)}")
    return " ".join(d) + " Z"


class TestUnionAll:
    def test_one_pass_gives_the_union_one_by_one(self):
        # Forty overlapping circles, every third drawn clockwise: each is its
        # own region first, so none cuts a hole into another.
        shapes = [circle(0.4 * (i % 8), 0.5 * (i // 8), 0.3, clockwise=i % 3 == 0)
                  for i in range(40)]
        dissolved = carvex.union_all(shapes)
        step = carvex.resolve(shapes[0])
        for shape in shapes[1:]:
            step = carvex.combine(step, shape, carvex.Op.UNION)
        assert dissolved.area == pytest.approx(step.area, rel=1e-9)
        assert sum(loop_areas(dissolved)) == pytest.approx(dissolved.area, rel=1e-12)
        assert dissolved.area > 40 * 0.5 * math.pi * 0.09

    def test_empty_lists_none_and_broken_shapes(self):
        assert len(carvex.union_all([])) == 0
        with pytest.raises(TypeError):
            carvex.union_all([square(0, 0, 1), None])
        broken = carvex.from_path_data("M 0 0 C 1e300 0 -1e300 1 0 1 Z")
        with pytest.raises(carvex.RegionError, match="shape 1"):
            carvex.union_all([square(0, 0, 1), broken])
        with pytest.raises(carvex.RegionError):
            carvex.union_all([square(0, 0, 1)], threshold=-1)


class TestStrokesAndOffsets:
    def test_stroke_areas_follow_from_the_pen(self):
        line = carvex.from_path_data("M 0 0 H 10")
        assert carvex.stroke(line, 2).area == pytest.approx(20, abs=1e-9)
        assert carvex.stroke(line, 2, cap=carvex.Cap.SQUARE).area == pytest.approx(24, abs=1e-9)
        assert carvex.stroke(line, 2, cap=carvex.Cap.ROUND).area == pytest.approx(
            20 + math.pi, abs=1e-3)
        assert carvex.stroke(line, 1, dashes=[3, 1]).area == pytest.approx(8, abs=1e-6)
        ring = carvex.stroke(carvex.from_path_data("M 0 0 H 10 V 10 H 0 Z"), 2)
        assert len(ring) == 2 and ring.area == pytest.approx(144 - 64, abs=1e-9)

    def test_offset_grows_and_shrinks(self):
        s = square(0, 0, 4)
        assert carvex.offset(s, 1).area == pytest.approx(16 + 16 + math.pi, abs=1e-3)
        assert carvex.offset(s, 1, join=carvex.Join.MITER).area == pytest.approx(36, abs=1e-9)
        assert carvex.offset(s, -1, join=carvex.Join.MITER).area == pytest.approx(4, abs=1e-9)
        assert len(carvex.offset(s, -3)) == 0

    def test_bad_pens_are_refused(self):
        line = carvex.from_path_data("M 0 0 H 10")
        for call in (lambda: carvex.stroke(line, -1), lambda: carvex.stroke(line, math.nan),
                     lambda: carvex.stroke(line, 1, miter_limit=0.5),
                     lambda: carvex.stroke(line, 1, dashes=[1, -1]),
                     lambda: carvex.offset(line, math.inf),
                     lambda: carvex.stroke(line, 1, join=carvex.Join(7))):
            with pytest.raises(ValueError):
                call()
        with pytest.raises(carvex.RegionError, match="dashes"):
            carvex.stroke(line, 1, dashes=[1e-6, 1e-6])
