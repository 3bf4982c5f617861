#!/usr/bin/env bash
# Checks that the Python package installs the Python way, offline, with
# Debian's setuptools and pybind11:
# 1. `pip install .` from the checkout into a virtual environment made with
#    --system-site-packages, without build isolation or an index; the
#    package imports from outside the checkout and works.
# 2. `python3 -m build --wheel --no-isolation` makes a wheel that installs
#    and imports in a fresh virtual environment of its own.
#
#   .ci/python-package/check.sh
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
python=/usr/bin/python3

# What the installed package must do, run from a folder outside the checkout.
smoke() {
  (cd "$scratch" && "$1" - <<'PY'
import os, pickle, tempfile
import ombrix
assert "site-packages" in ombrix.__file__, ombrix.__file__
package = os.path.dirname(ombrix.__file__)
assert os.path.exists(os.path.join(package, "py.typed"))
assert os.path.exists(os.path.join(package, "_ombrix.pyi"))
assert ombrix.CRC.Of(b"123456789") == 0x906E
image = ombrix.MemoryImage()
image.add_bytes(0x100, b"\x01\x02\x03")
with tempfile.TemporaryDirectory() as folder:
    path = os.path.join(folder, "f.hex")
    ombrix.write_image(image, path)
    assert ombrix.read_image(path).read_bytes(0x100, 3) == b"\x01\x02\x03"
assert pickle.loads(pickle.dumps(image)).read_bytes(0x101, 2) == b"\x02\x03"
print("python-package: ombrix", ombrix.__file__)
PY
  )
}

"$python" -m venv --system-site-packages "$scratch/installed"
"$scratch/installed/bin/pip" install --quiet --no-build-isolation --no-index "$source_dir"
smoke "$scratch/installed/bin/python"

(cd "$source_dir" && "$python" -m build --wheel --no-isolation --outdir "$scratch/dist" >/dev/null)
wheel=$(ls "$scratch"/dist/ombrix-*.whl)
"$python" -m venv "$scratch/fresh"
"$scratch/fresh/bin/pip" install --quiet --no-index "$wheel"
smoke "$scratch/fresh/bin/python"
echo "python-package: pip install . and the wheel $(basename "$wheel") both work"
