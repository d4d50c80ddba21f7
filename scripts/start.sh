#!/usr/bin/env bash
# Builds Tarquel's Terminal (installing what it needs) and starts it.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages "${build_packages[@]}" fonts-liberation
build "$repo_root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARQUEL_TESTS=OFF -DTARQUEL_BENCH=OFF
exec "$repo_root/build/tarquel-terminal"
