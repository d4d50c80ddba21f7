# Shared by the start, test and package scripts: installs missing Debian packages and builds.

set -euo pipefail

repo_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# ensure_packages PACKAGE... installs those that are not installed yet.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        return 0
    fi
    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# Qt 5.15 is the default build (cmake -DTARQUEL_QT=5); the tests also run against Qt 6.
# fonts-liberation: the free face that fontconfig draws for Courier New, the terminal's font.
build_packages=(cmake make g++ qtbase5-dev libqt5serialport5-dev fonts-dejavu-core
    fonts-liberation)
qt6_packages=(qt6-base-dev qt6-serialport-dev)
# CPack's Debian generator finds the binaries with file and their dependencies with dpkg-shlibdeps.
package_packages=(dpkg-dev file)

# build FOLDER [CMAKE ARGS...] configures and builds the project into FOLDER.
build() {
    local folder="$1"
    shift
    cmake -S "$repo_root" -B "$folder" "$@" >/dev/null
    cmake --build "$folder" -j"$(nproc)"
}
