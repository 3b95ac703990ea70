#!/usr/bin/env bash
# Runs the Win32 test driver under Wine, on a private Xvfb display and a fresh
# Wine prefix that live in BUILD_DIR/wine-state/.
#
#   run_wine_tests.sh BUILD_DIR setup        start Xvfb, create the prefix
#   run_wine_tests.sh BUILD_DIR run GROUP    run one test group (GoogleTest test suite)
#                                            of duomira_driver.exe; fails when no test ran
#   run_wine_tests.sh BUILD_DIR script FILE  run a bash test script in the same
#                                            Wine environment (BUILD_DIR and
#                                            ARTIFACTS exported)
#   run_wine_tests.sh BUILD_DIR cleanup      stop Wine and Xvfb
#
# Needs no terminal, no display of its own and no input (works with CI=true).
# Every step that waits is bounded, so nothing here can hang forever.
#
# Knobs (environment): DUOMIRA_WINE_RUN_TIMEOUT  seconds for one group (540),
#                      DUOMIRA_WINE_KEEP_BMP=1   keep the .bmp next to each .png,
#                      DUOMIRA_WINE_LOCALE       the locale of the run (ja_JP.UTF-8),
#                                                from which Wine takes the code pages,
#                      DUOMIRA_WINE_TEST         run only this test of the group.
set -u

usage() {
    echo "usage: $0 BUILD_DIR setup|run GROUP|script FILE|cleanup" >&2
    exit 2
}

[ $# -ge 2 ] || usage
BUILD_DIR=$(cd "$1" 2>/dev/null && pwd -P) || { echo "no build directory: $1" >&2; exit 2; }
ACTION=$2
STATE="$BUILD_DIR/wine-state"
PREFIX="$STATE/prefix"
ARTIFACTS="$BUILD_DIR/wine-artifacts"
LOG="$STATE/wine.log"

note() { printf '%s\n' "$*"; }
die() { printf 'run_wine_tests: %s\n' "$*" >&2; exit 1; }

# The environment every Wine call of this run shares.
wine_env() {
    export WINEPREFIX="$PREFIX"
    export WINEARCH=win64
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES='mscoree=;mshtml='
    export LANG="${DUOMIRA_WINE_LOCALE:-ja_JP.UTF-8}" LC_ALL="${DUOMIRA_WINE_LOCALE:-ja_JP.UTF-8}"
    unset WAYLAND_DISPLAY
    if [ -s "$STATE/display" ]; then
        DISPLAY=":$(cat "$STATE/display")"
        export DISPLAY
    fi
}

# True when PID is alive and runs the program named COMM (guards against a
# recycled process id).
pid_is() {
    local pid=$1 comm=$2
    [ -n "$pid" ] && [ -r "/proc/$pid/comm" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$comm" ]
}

stop_xvfb() {
    local pid
    pid=$(cat "$STATE/xvfb.pid" 2>/dev/null) || return 0
    if pid_is "$pid" Xvfb; then
        kill "$pid" 2>/dev/null
        for _ in $(seq 50); do pid_is "$pid" Xvfb || break; sleep 0.1; done
        pid_is "$pid" Xvfb && kill -9 "$pid" 2>/dev/null
    fi
    rm -f "$STATE/xvfb.pid" "$STATE/display"
}

stop_wine() {
    [ -d "$PREFIX" ] || return 0
    (wine_env; timeout -k 5 30 wineserver -k </dev/null >>"$LOG" 2>&1)
    return 0
}

# A wineserver that outlives the single runs, so that no Wine process started
# later inherits CTest's output pipes (CTest waits until they close). When one
# already serves the prefix the new one just exits.
start_wineserver() {
    (wine_env; timeout -k 5 30 wineserver -p </dev/null >>"$LOG" 2>&1)
    return 0
}

do_setup() {
    command -v Xvfb >/dev/null || die "Xvfb is not installed"
    command -v wine >/dev/null || die "wine is not installed"
    mkdir -p "$STATE"
    stop_wine
    stop_xvfb
    rm -rf "$PREFIX" "$ARTIFACTS"
    : >"$LOG"

    # Xvfb picks a free display itself and writes its number to fd 3 once ready.
    local displayfd="$STATE/displayfd"
    : >"$displayfd"
    setsid Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -ac \
        3>"$displayfd" </dev/null >>"$STATE/xvfb.log" 2>&1 &
    local xpid=$!
    echo "$xpid" >"$STATE/xvfb.pid"
    for _ in $(seq 300); do
        [ -s "$displayfd" ] && break
        kill -0 "$xpid" 2>/dev/null || break
        sleep 0.1
    done
    [ -s "$displayfd" ] || { cat "$STATE/xvfb.log" >&2; stop_xvfb; die "Xvfb did not start"; }
    tr -dc '0-9' <"$displayfd" >"$STATE/display"
    note "Xvfb :$(cat "$STATE/display") (pid $xpid)"

    local started=$SECONDS
    (
        wine_env
        timeout -k 10 240 wineboot -i </dev/null >>"$LOG" 2>&1 || exit 1
        # Without a window manager Wine waits for one whenever a managed
        # window hides; unmanaged windows avoid the wait.
        timeout -k 5 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
            </dev/null >>"$LOG" 2>&1 || exit 1
        # Let the server write the registry and go away before the runs begin.
        timeout -k 5 60 wineserver -w </dev/null >>"$LOG" 2>&1
        exit 0
    ) || { tail -n 40 "$LOG" >&2; die "creating the Wine prefix failed"; }
    [ -f "$PREFIX/user.reg" ] || die "no Wine prefix was created"
    grep -q '"Managed"="N"' "$PREFIX/user.reg" || die "the X11 driver setting did not reach the prefix"
    start_wineserver
    note "Wine prefix $PREFIX ready in $((SECONDS - started)) s"
}

convert_screenshots() {
    command -v convert >/dev/null || return 0
    local bmp
    while IFS= read -r -d '' bmp; do
        if timeout 60 convert "$bmp" "${bmp%.bmp}.png" 2>/dev/null; then
            [ "${DUOMIRA_WINE_KEEP_BMP:-0}" = 1 ] || rm -f "$bmp"
        fi
    done < <(find "$ARTIFACTS" -name '*.bmp' -print0 2>/dev/null)
}

# /unix/path -> Z:\unix\path (the fresh prefix maps Z: to /).
windows_path() {
    local p=$1
    printf 'Z:%s' "${p//\//\\}"
}

do_run() {
    local group=$1
    local driver="$BUILD_DIR/duomira_driver.exe"
    [ -f "$driver" ] || die "$driver is missing; build first"
    [ -f "$PREFIX/user.reg" ] || die "no Wine prefix; run '$0 $BUILD_DIR setup' first"
    pid_is "$(cat "$STATE/xvfb.pid" 2>/dev/null)" Xvfb || die "Xvfb is not running; run setup first"
    mkdir -p "$ARTIFACTS"
    rm -rf "$ARTIFACTS/FAIL-$group."* "$ARTIFACTS/tmp/$group."*
    start_wineserver

    # The driver's output goes through a file: Wine processes that outlive the
    # driver would otherwise keep CTest's pipe open.
    local filter="$group.*"
    local label=$group
    if [ -n "${DUOMIRA_WINE_TEST:-}" ]; then
        filter="$group.$DUOMIRA_WINE_TEST"
        label="$group.$DUOMIRA_WINE_TEST"
    fi
    [ -n "${DUOMIRA_WINE_LOCALE:-}" ] && label="$label.$DUOMIRA_WINE_LOCALE"
    local out="$ARTIFACTS/$label.log"
    local rc=0
    (
        wine_env
        exec timeout -k 10 "${DUOMIRA_WINE_RUN_TIMEOUT:-540}" wine "$driver" \
            "--gtest_filter=$filter" --exe-dir "$(windows_path "$BUILD_DIR")" \
            --artifacts "$(windows_path "$ARTIFACTS")"
    ) </dev/null >"$out" 2>&1 || rc=$?
    cat "$out"
    if [ "$rc" = 124 ] || [ "$rc" = 137 ]; then
        echo "run_wine_tests: group $group timed out"
    fi
    # GoogleTest passes a run in which no test matched the filter.
    local ran
    ran=$(sed -n 's/^\[==========\] \([0-9][0-9]*\) tests\{0,1\} from .* ran\..*/\1/p' "$out" | tail -n 1)
    if [ "$rc" = 0 ] && [ "${ran:-0}" -lt 1 ]; then
        echo "run_wine_tests: no test matches $filter"
        rc=1
    fi
    convert_screenshots
    return "$rc"
}

do_script() {
    local script=$1
    [ -f "$PREFIX/user.reg" ] || die "no Wine prefix; run '$0 $BUILD_DIR setup' first"
    pid_is "$(cat "$STATE/xvfb.pid" 2>/dev/null)" Xvfb || die "Xvfb is not running; run setup first"
    mkdir -p "$ARTIFACTS"
    start_wineserver
    # Through a file, as in do_run: Wine processes may outlive the script.
    local out
    out="$ARTIFACTS/$(basename "$script" .sh).log"
    local rc=0
    (
        wine_env
        export BUILD_DIR ARTIFACTS
        exec timeout -k 10 "${DUOMIRA_WINE_RUN_TIMEOUT:-240}" bash "$script"
    ) </dev/null >"$out" 2>&1 || rc=$?
    cat "$out"
    return "$rc"
}

do_cleanup() {
    stop_wine
    stop_xvfb
    rm -f "$STATE/displayfd"
    note "Wine and Xvfb stopped"
}

case "$ACTION" in
    setup) do_setup ;;
    run) [ $# -ge 3 ] || usage; do_run "$3" ;;
    script) [ $# -ge 3 ] || usage; do_script "$3" ;;
    cleanup) do_cleanup ;;
    *) usage ;;
esac
