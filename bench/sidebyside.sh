#!/bin/sh
# Runs this terminal and another serial terminal (CuteCom) side by side, each fed by a device at
# USB full speed through a pty (1,200 bytes every millisecond), and prints the share of a core
# each used over the same seconds and their ratio. Ours is receivebench's paced run; CuteCom is
# fed the same stream by ptyfeed and opened on its pty as a user would, through its Open button.
# Both draw on the same X display (Xvfb unless DISPLAY is set). CPU is utime + stime from
# /proc/<pid>/stat; ours leaves out its own feeding thread.
#
#   bench/sidebyside.sh [build folder] [seconds]
#
# Needs cutecom, xdotool and Xvfb (apt-get install cutecom xdotool xvfb). CuteCom's settings go
# to a throw-away folder.
set -eu

build=${1:-build}
seconds=${2:-20}
for tool in cutecom xdotool Xvfb; do
    command -v "$tool" >/dev/null || { echo "sidebyside: $tool is needed" >&2; exit 2; }
done
work=$(mktemp -d)
pids=""
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

if [ -z "${DISPLAY:-}" ]; then
    Xvfb :57 -screen 0 1700x1024x24 -nolisten tcp >/dev/null 2>&1 &
    pids="$pids $!"
    export DISPLAY=:57
    sleep 1
fi
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME/CuteCom" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
ticks=$(getconf CLK_TCK)

cpu_ticks() { # utime + stime of a process, in clock ticks
    sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'
}

# peer_run <ptyfeed arguments> <our scenario>
peer_run() {
    feedargs=$1
    scenario=$2
    rm -f "$work/feed.out"
    mkfifo "$work/go"
    # shellcheck disable=SC2086
    "$build/bench/ptyfeed" $feedargs "$seconds" <"$work/go" >"$work/feed.out" &
    feed=$!
    pids="$pids $feed"
    exec 3>"$work/go"
    while [ ! -s "$work/feed.out" ]; do sleep 0.1; done
    port=$(head -n 1 "$work/feed.out")
    cat >"$XDG_CONFIG_HOME/CuteCom/CuteCom5.conf" <<CONF
[sessions]
1\\BaudRate=115200
1\\DataBits=8
1\\Device=$port
1\\FlowControl=0
1\\OpenMode=3
1\\Parity=0
1\\StopBits=1
1\\autoReconnect=false
1\\name=Default
1\\showCtrlCharacters=false
1\\showTimestamp=false
size=1
CONF
    cutecom >/dev/null 2>&1 &
    peer=$!
    pids="$pids $peer"
    window=$(xdotool search --sync --onlyvisible --name CuteCom | head -n 1)
    sleep 1
    # Beside our window (800 wide, at the left), so that neither hides the other.
    xdotool windowmove --sync "$window" 850 0 windowfocus --sync "$window" key alt+o
    opened=""
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        if ls -l "/proc/$peer/fd" 2>/dev/null | grep -q "$port\$"; then opened=yes; break; fi
        sleep 0.3
    done
    if [ -z "$opened" ]; then
        echo "sidebyside: CuteCom did not open $port" >&2
        exit 1
    fi

    QT_QPA_PLATFORM=xcb "$build/bench/receivebench" "$scenario@$seconds" >"$work/ours.out" 2>/dev/null &
    ours=$!
    # receivebench starts its device once its window is up, about 0.3 s after it starts.
    sleep 0.3
    before=$(cpu_ticks "$peer")
    echo go >&3
    exec 3>&-
    wait "$feed"
    after=$(cpu_ticks "$peer")
    wait "$ours"
    kill "$peer"
    wait "$peer" 2>/dev/null || true
    rm -f "$work/go"
    ourshare=$(sed -n 's/.*CPU *\([0-9.]*\)% of a core.*/\1/p' "$work/ours.out")
    peershare=$(awk -v t="$((after - before))" -v hz="$ticks" -v s="$seconds" \
        'BEGIN { printf "%.1f", 100 * t / hz / s }')
    ratio=$(awk -v a="$ourshare" -v b="$peershare" 'BEGIN { printf "%.2f", a / b }')
    printf '%-12s ours %5s%% of a core, CuteCom %5s%%: ratio %s\n' \
        "$scenario" "$ourshare" "$peershare" "$ratio"
    sed 's/^/    /' "$work/ours.out"
}

echo "load: $(uptime)"
peer_run "" p-lines
peer_run "" p-hex
peer_run --nolf p-nolf
peer_run "" p-stamps
peer_run "" p-all
