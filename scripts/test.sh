#!/usr/bin/env bash
# Builds Tarquel's Terminal with its tests (installing what they need) and runs every test: the
# unit and window tests under ctest against Qt 5.15 and again against Qt 6, the compile check of
# the Windows device layer, and the Debian package test (installs the package; root only).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages "${build_packages[@]}" "${qt6_packages[@]}" "${package_packages[@]}" \
    g++-mingw-w64-x86-64
for qt in 5 6; do
    echo "test: Qt $qt"
    build "$repo_root/build-tests-qt$qt" -DCMAKE_BUILD_TYPE=Debug -DTARQUEL_QT=$qt \
        -DTARQUEL_TESTS=ON -DTARQUEL_BENCH=ON
    (cd "$repo_root/build-tests-qt$qt" && ctest --output-on-failure -j2)
done
"$repo_root/.ci/check-windows.sh"
"$repo_root/tests/packaging/test-package.sh"
