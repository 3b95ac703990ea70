#!/usr/bin/env bash
# Runs the benchmark of Duomira.exe under Wine, on a private Xvfb display and
# a fresh Wine prefix in BUILD_DIR/bench/wine-state (set up and torn down with
# the Wine test runner), and prints the machine and a table of the figures.
#
#   bench/run.sh BUILD_DIR [RUNS] [IDLE_SECONDS] [DRIVER ARGUMENTS...]
#
# BUILD_DIR is a mingw build (cmake --build BUILD_DIR --target bench builds
# the programs and calls this script). RUNS: runs of each timed measure
# (default 41, after 3 warm-up runs); IDLE_SECONDS: how long a waiting
# instance is watched for its CPU time and wake-ups (default 10). The table
# also goes to BUILD_DIR/bench/results.txt. Arguments after the third go to
# bench_driver.exe: "--compare Duomira.exe --compare Other.exe@stored" times
# only the first starts of builds copied into BUILD_DIR, side by side.
set -euo pipefail

[ $# -ge 1 ] || { echo "usage: $0 BUILD_DIR [RUNS] [IDLE_SECONDS] [DRIVER ARGUMENTS...]" >&2; exit 2; }
BUILD_DIR=$(cd "$1" && pwd -P)
RUNS=${2:-41}
IDLE_SECONDS=${3:-10}
shift $(($# < 3 ? $# : 3))  # what follows goes to the driver as it is (--compare ...)
HERE=$(cd "$(dirname "$0")" && pwd -P)
RUNNER="$HERE/../tests/wine/run_wine_tests.sh"
BENCH_DIR="$BUILD_DIR/bench"

for program in "$BUILD_DIR/Duomira.exe" "$BENCH_DIR/bench_driver.exe" "$BENCH_DIR/bench_tool.exe" \
    "$BENCH_DIR/baseline_launcher.exe" "$BENCH_DIR/baseline_window.exe"; do
    [ -f "$program" ] || { echo "missing $program: build the target 'bench' first" >&2; exit 2; }
done

cleanup() { bash "$RUNNER" "$BENCH_DIR" cleanup >/dev/null 2>&1 || true; }
trap cleanup EXIT
bash "$RUNNER" "$BENCH_DIR" setup

STATE="$BENCH_DIR/wine-state"
export WINEPREFIX="$STATE/prefix" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES='mscoree=;mshtml='
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export DISPLAY=":$(cat "$STATE/display")"
unset WAYLAND_DISPLAY

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# Everything goes through files: Wine processes that outlive the driver would
# otherwise hold a pipe open, and the script would wait for them.
RESULTS="$BENCH_DIR/results.txt"
{
    echo "date:  $(date -u '+%Y-%m-%d %H:%M UTC')"
    echo "host:  nproc $(nproc), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(awk '/MemTotal/ {printf "%.0f GiB", $2/1048576}' /proc/meminfo)"
    echo "wine:  $(wine --version), Xvfb 1920x1080x24"
    echo "load:  $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) at the start"
    echo "exe:   $(stat -c %s "$BUILD_DIR/Duomira.exe") bytes; imports: $(x86_64-w64-mingw32-objdump -p "$BUILD_DIR/Duomira.exe" 2>/dev/null | awk '/DLL Name/ {printf "%s ", $3}')"
} >"$RESULTS"
rc=0
timeout -k 10 900 wine "$BENCH_DIR/bench_driver.exe" --exe-dir "$(windows_path "$BUILD_DIR")" \
    --bench-dir "$(windows_path "$BENCH_DIR")" --runs "$RUNS" --idle-seconds "$IDLE_SECONDS" \
    "$@" </dev/null >>"$RESULTS" 2>&1 || rc=$?
echo "load:  $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) at the end" >>"$RESULTS"
cat "$RESULTS"
exit "$rc"
