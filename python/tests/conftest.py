import os
import pathlib
import subprocess

import pytest

FIXTURES = pathlib.Path(os.environ.get(
    "CARVEX_FIXTURES", pathlib.Path(__file__).resolve().parents[2] / "tests" / "fixtures"))


@pytest.fixture
def fixtures():
    return FIXTURES


@pytest.fixture
def command():
    """Runs the carvex command (from CARVEX_BINARY) and returns (exit code, stderr)."""
    binary = os.environ.get("CARVEX_BINARY")
    if not binary:
        pytest.skip("CARVEX_BINARY is not set: no command to compare messages with")

    def run(*arguments):
        done = subprocess.run([binary, *map(str, arguments)], capture_output=True, text=True,
                              timeout=60)
        return done.returncode, done.stderr
    return run
