"""Builds the extension module ombrix._ombrix with the project's own CMake
build (the Release configuration, the Python module alone) and packages it
with python/ombrix: the package's __init__.py, stubs and py.typed."""
import os
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE = os.path.dirname(os.path.abspath(__file__))


def project_version():
    """The version the CMake project declares, so that it is written once."""
    with open(os.path.join(SOURCE, "CMakeLists.txt")) as cmake_lists:
        found = re.search(r"project\(ombrix VERSION ([0-9.]+)", cmake_lists.read())
    if not found:
        raise RuntimeError("CMakeLists.txt declares no project version")
    return found.group(1)


class CMakeExtension(Extension):
    """An extension that CMake builds; setuptools compiles nothing itself."""

    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = os.path.abspath(os.path.join(self.build_temp, "cmake"))
        configure = [
            "cmake", "-S", SOURCE, "-B", build,
            "-DCMAKE_BUILD_TYPE=Release",
            f"-DPython_EXECUTABLE={sys.executable}",
            "-DOMBRIX_BUILD_PYTHON=ON", "-DOMBRIX_BUILD_FORMATS=ON",
            "-DOMBRIX_BUILD_TOOLS=OFF", "-DOMBRIX_BUILD_TESTS=OFF",
            "-DOMBRIX_BUILD_BENCHMARKS=OFF", "-DOMBRIX_BUILD_EXAMPLES=OFF",
        ]
        subprocess.check_call(configure)
        jobs = str(os.cpu_count() or 1)
        subprocess.check_call(["cmake", "--build", build, "--target", "ombrix_python", "-j", jobs])
        built = self.get_ext_fullpath(ext.name)
        os.makedirs(os.path.dirname(built), exist_ok=True)
        shutil.copy2(os.path.join(build, "python", "ombrix", os.path.basename(built)), built)


setup(
    version=project_version(),
    packages=["ombrix"],
    package_dir={"ombrix": "python/ombrix"},
    package_data={"ombrix": ["_ombrix.pyi", "py.typed"]},
    ext_modules=[CMakeExtension("ombrix._ombrix")],
    cmdclass={"build_ext": CMakeBuild},
    # Beside the CMake presets' own folders, not in them.
    options={"build": {"build_base": "build/python-package"}},
    zip_safe=False,
)
