# Shared by the start and test scripts: installs missing Debian packages and builds.

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

# fonts-liberation: the free face that fontconfig draws for Courier New, the terminal's font.
build_packages=(cmake make g++ qtbase5-dev libqt5serialport5-dev fonts-dejavu-core
    fonts-liberation)

# build FOLDER [CMAKE ARGS...] configures and builds the project into FOLDER.
build() {
    local folder="$1"
    shift
    cmake -S "$repo_root" -B "$folder" "$@" >/dev/null
    cmake --build "$folder" -j"$(nproc)"
}
