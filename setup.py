"""The carvex module for pip: CMake builds it (the same target as the CMake
build's python/), and it is installed with its stubs, carvex.pyi."""

import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


def version():
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(Carvex VERSION ([0-9.]+)", text).group(1)


class CMakeBuild(build_ext):
    """Builds the module's target alone, for the interpreter pip runs in."""

    def build_extension(self, ext):
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        build.mkdir(parents=True, exist_ok=True)
        subprocess.run(
            ["cmake", "-S", str(ROOT), "-B", str(build), "-G", "Ninja",
             "-DCMAKE_BUILD_TYPE=Release", "-DCARVEX_BUILD_TESTS=OFF",
             "-DCARVEX_BUILD_BENCH=OFF", "-DCARVEX_BUILD_PYTHON=ON",
             f"-DPython_EXECUTABLE={sys.executable}"],
            check=True)
        subprocess.run(
            ["cmake", "--build", str(build), "--target", "carvex_python",
             "-j", str(os.cpu_count() or 2)],
            check=True)
        built = next((build / "python").glob("carvex*.so"))
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(built, target)
        # Stubs beside the module, where editors and type checkers look.
        shutil.copyfile(ROOT / "python" / "carvex.pyi", target.parent / "carvex.pyi")


setup(
    version=version(),
    # The module is the extension alone: no Python packages to discover.
    packages=[],
    py_modules=[],
    ext_modules=[Extension("carvex", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)
