#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need.
# Idempotent: asks apt only for what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  pybind11-dev python3-pybind11 python3-dev python3-pytest
  python3-dask python3-distributed
  qtbase5-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  lib2geom-dev libboost-dev libgeos-dev
  fonts-dejavu-core
  python3 openssl
)

bash "$(dirname "$0")/install-packages.sh" setup "${packages[@]}"
