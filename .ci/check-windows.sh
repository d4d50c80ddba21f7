#!/usr/bin/env bash
# Checks the Windows layer of device discovery with the MinGW-w64 cross compiler (Debian package
# g++-mingw-w64-x86-64): the SetupAPI and registry code is compiled with warnings as errors and
# linked into a small program against the Windows libraries, so that a call with wrong types or
# a missing import fails here and not on a Windows machine. When Qt 5 or Qt 6 development
# headers are installed, the Qt-facing Windows glue is also parsed for the Windows target (syntax
# only: those headers are configured for Linux, so nothing is linked).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

compiler=x86_64-w64-mingw32-g++
if ! command -v "$compiler" >/dev/null 2>&1; then
    echo "check-windows: $compiler is missing (install g++-mingw-w64-x86-64)" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/listdevices.cpp" <<'PROGRAM'
// Lists the present devices of every searched class, as discovery does once a second.
#include "link/windowsdevices.h"

#include <cstdio>

int main()
{
    for (int classIndex = 0; classIndex < WindowsDevices::deviceClassCount; ++classIndex) {
        const auto devices = WindowsDevices::listClassDevices(classIndex);
        if (!devices)
            return 1;
        std::printf("class %d: %zu devices\n", classIndex, devices->size());
    }
    return 0;
}
PROGRAM

echo "check-windows: compiling and linking the SetupAPI layer"
"$compiler" -std=c++17 -Wall -Wextra -Werror -I. -static \
    -o "$work/listdevices.exe" link/windowsdevices.cpp "$work/listdevices.cpp" \
    -lsetupapi -ladvapi32

# Windows users who install Qt today get Qt 6, so the glue is parsed against each Qt found here.
for qt in Qt5 Qt6; do
    if ! pkg-config --exists "${qt}Core" "${qt}SerialPort" 2>/dev/null; then
        echo "check-windows: $qt headers not found; the Qt-facing glue was not parsed with them"
        continue
    fi
    echo "check-windows: parsing the Qt-facing Windows glue for the Windows target ($qt)"
    # -Wno-attributes: Linux Qt headers declare exports the Windows way only in part.
    # shellcheck disable=SC2046
    "$compiler" -std=c++17 -Wall -Wextra -Werror -Wno-attributes -fsyntax-only -I. \
        $(pkg-config --cflags "${qt}Core" "${qt}SerialPort") \
        link/platform_win.cpp link/devicediscovery.cpp link/serialport.cpp app/diskfile_win.cpp \
        terminal/scratchfile_win.cpp
done

echo "check-windows: the Windows device layer and the hex view's cache file build"
