#!/usr/bin/env bash
# Builds the Debian package of Tarquel's Terminal (installing what it needs) and prints the
# package's path as its last line. CMake options pass through, for example -DTARQUEL_QT=6.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

packages=("${build_packages[@]}" "${package_packages[@]}")
for option in "$@"; do
    if [ "$option" = "-DTARQUEL_QT=6" ]; then
        packages+=("${qt6_packages[@]}")
    fi
done
ensure_packages "${packages[@]}"

# Debian's own compiler and linker flags, hardening included, as for a package built by Debian.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CXXFLAGS="$CPPFLAGS $CXXFLAGS"

folder="$repo_root/build-package"
# A package carries one Qt: an option given once must not stick to the next run's default.
rm -f "$folder/CMakeCache.txt"
build "$folder" -DCMAKE_BUILD_TYPE=Release -DTARQUEL_TESTS=OFF -DTARQUEL_BENCH=OFF "$@" >&2
rm -f "$folder"/tarquel-terminal_*.deb
(cd "$folder" && cpack -G DEB >&2)
ls "$folder"/tarquel-terminal_*.deb
