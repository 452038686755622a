"""A batch of a few hundred jobs on a local Dask cluster of worker
processes, as the README shows for an existing scheduler: shapes travel
pickled to the workers, answers come back by file and by area."""

import os
import pathlib

import pytest

import carvex

distributed = pytest.importorskip(
    "distributed", reason="python3-distributed is not installed (scripts/setup.sh installs it)")
dask_bag = pytest.importorskip("dask.bag")

JOBS = 300


def test_a_batch_on_a_local_cluster(tmp_path):
    hole = carvex.from_path_data("M 1 1 h 2 v 2 h -2 Z")
    for i in range(JOBS):
        side = 4 + i % 5
        (tmp_path / f"{i}.svg").write_text(
            '<svg xmlns="http://www.w3.org/2000/svg">'
            f'<rect x="0" y="0" width="{side}" height="{side}"/></svg>')
    # One job names a file that is not there: its error comes back as data.
    (tmp_path / "7.svg").unlink()

    def cut(i):
        try:
            square = carvex.read(str(tmp_path / f"{i}.svg"))
        except carvex.InputError as error:
            return i, str(error)
        answer = carvex.combine(square, hole, carvex.Op.A_MINUS_B)
        carvex.write(str(tmp_path / f"{i}-cut.json"), answer)
        return i, answer.area

    here = str(pathlib.Path(carvex.__file__).parent)
    os.environ["PYTHONPATH"] = os.pathsep.join(
        p for p in (here, os.environ.get("PYTHONPATH")) if p)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=2, processes=True,
                                  dashboard_address=None) as cluster, \
            distributed.Client(cluster) as client:
        answers = dict(dask_bag.from_sequence(range(JOBS), npartitions=16).map(cut)
                       .compute(scheduler=client.get))
        # Shapes also travel as task arguments and results. (The module's
        # functions are built in: tasks call them from Python functions.)
        united = client.submit(lambda a, b: carvex.combine(a, b, carvex.Op.UNION), hole,
                               carvex.from_path_data("M 2 2 h 2 v 2 h -2 Z")).result()

    assert len(answers) == JOBS
    assert answers.pop(7).endswith("7.svg: cannot read: No such file or directory")
    for i, area in answers.items():
        side = 4 + i % 5
        assert area == pytest.approx(side * side - 4, abs=1e-9), i
        assert carvex.read(str(tmp_path / f"{i}-cut.json")).area == area
    assert united.area == pytest.approx(7, abs=1e-9)
