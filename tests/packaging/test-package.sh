#!/usr/bin/env bash
# The Debian package on this machine: builds it with scripts/package.sh, has lintian check it,
# installs it with apt, checks that every file is where a Debian system looks for it, starts the
# installed program under a virtual X server until its window shows, and removes the package
# again. Installing needs root (CI runs as root on a throw-away machine); anyone else gets a skip.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."

if [ "$(id -u)" -ne 0 ]; then
    echo "test-package: SKIPPED: installing a package needs root; run as root to test it"
    exit 0
fi
if dpkg-query -W -f='${Status}' tarquel-terminal 2>/dev/null | grep -q "ok installed"; then
    echo "test-package: tarquel-terminal is installed already; remove it first" >&2
    exit 1
fi

source scripts/common.sh
ensure_packages desktop-file-utils appstream lintian xvfb xauth x11-utils

package=$(./scripts/package.sh "$@" | tail -n 1)
echo "test-package: installing $package"

work=$(mktemp -d)
cleanup() {
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tarquel-terminal >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$package" >/dev/null

failures=0
fail() {
    echo "test-package: FAIL: $*" >&2
    failures=$((failures + 1))
}

# Every tag that stays is overridden in the package, with its reason in packaging/README.md.
lintian --fail-on error,warning,info --info "$package" >"$work/lintian" 2>&1 ||
    fail "lintian: $(grep -v 'root privileges' "$work/lintian")"

dpkg -L tarquel-terminal >"$work/files"
for file in \
    /usr/bin/tarquel-terminal \
    /usr/share/applications/tarquel-terminal.desktop \
    /usr/share/metainfo/com.tarquel.terminal.metainfo.xml \
    /usr/lib/udev/rules.d/60-tarquel-terminal.rules \
    /usr/share/doc/tarquel-terminal/README.md \
    /usr/share/doc/tarquel-terminal/copyright \
    /usr/share/doc/tarquel-terminal/changelog.Debian.gz \
    /usr/share/man/man1/tarquel-terminal.1.gz; do
    grep -qx "$file" "$work/files" || fail "$file is not in the package"
    [ -e "$file" ] || fail "$file is not installed"
done
for pixels in 48 64 128 256; do
    icon=/usr/share/icons/hicolor/${pixels}x${pixels}/apps/tarquel-terminal.png
    grep -qx "$icon" "$work/files" || fail "$icon is not in the package"
    file "$icon" | grep -q "$pixels x $pixels" || fail "$icon is not $pixels pixels square"
done
desktop-file-validate /usr/share/applications/tarquel-terminal.desktop ||
    fail "the desktop entry does not validate"
appstreamcli validate --no-net /usr/share/metainfo/com.tarquel.terminal.metainfo.xml >/dev/null ||
    fail "the AppStream metadata does not validate"
dpkg-query -W -f='${Depends}\n' tarquel-terminal | grep -q "fonts-liberation" ||
    fail "the package does not depend on fonts-liberation"

# The installed program, started the way the desktop entry starts it, in a clean home.
export HOME="$work/home"
mkdir -p "$HOME"
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/tarquel-terminal.desktop)
cat >"$work/show.sh" <<SCRIPT
$exec_line >"$work/log" 2>&1 &
program=\$!
for attempt in \$(seq 1 150); do
    if xwininfo -root -tree | grep -q "\"Tarquel's Terminal V3.00\""; then
        echo shown >"$work/window"
        break
    fi
    sleep 0.2
done
kill \$program
wait \$program || true
SCRIPT
xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/show.sh"
[ -f "$work/window" ] ||
    fail "the installed program showed no window; its output: $(cat "$work/log")"

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tarquel-terminal >/dev/null
[ ! -e /usr/bin/tarquel-terminal ] || fail "removing the package left /usr/bin/tarquel-terminal"
[ ! -e /usr/lib/udev/rules.d/60-tarquel-terminal.rules ] ||
    fail "removing the package left the udev rule"

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "test-package: the package installs, starts its window and removes cleanly"
