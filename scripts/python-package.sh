#!/usr/bin/env bash
# The Python package as a user installs it: `pip install .` into a fresh
# virtual environment on Debian's Python, with no package index at all,
# then the module's tests run against what was installed, from a folder
# outside the source tree.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

bash "$root/scripts/setup.sh"
# venv's pip, and the build backend, from Debian.
bash "$root/scripts/install-packages.sh" python-package python3-venv python3-pip-whl \
  python3-setuptools python3-setuptools-whl python3-wheel

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 -m venv --system-site-packages "$work/env"
"$work/env/bin/pip" install --quiet --no-build-isolation --no-index "$root"

cd "$work"
installed=$("$work/env/bin/python" -c 'import carvex; print(carvex.__file__)')
case "$installed" in
  "$work/env/"*) echo "python-package: carvex installed as $installed" ;;
  *) echo "python-package: carvex was imported from $installed, not the environment" >&2; exit 1 ;;
esac
# The command's build, if there is one, for the tests that compare with it.
binary=$root/build/plain/cli/carvex
CARVEX_FIXTURES="$root/tests/fixtures" CARVEX_EXPECT_INSTALLED_STUBS=1 \
  CARVEX_BINARY=$([ -x "$binary" ] && echo "$binary") \
  "$work/env/bin/python" -m pytest -q -p no:cacheprovider "$root/python/tests"
# The README's example, on the bundled files.
"$work/env/bin/python" "$root/examples/python/cut.py" "$work"
test -s "$work/part.svg" && test -s "$work/part.png"
