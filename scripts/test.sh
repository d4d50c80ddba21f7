#!/usr/bin/env bash
# Builds Tarquel's Terminal with its tests (installing what they need) and runs every test:
# the unit and window tests under ctest, and the compile check of the Windows device layer.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages "${build_packages[@]}" g++-mingw-w64-x86-64
build "$repo_root/build-tests" -DCMAKE_BUILD_TYPE=Debug -DTARQUEL_TESTS=ON -DTARQUEL_BENCH=ON
(cd "$repo_root/build-tests" && ctest --output-on-failure -j2)
"$repo_root/.ci/check-windows.sh"
