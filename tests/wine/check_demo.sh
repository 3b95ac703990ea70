#!/usr/bin/env bash
# The demo set-up of scripts/run.sh in the test prefix, with a stand-in viewer
# that logs its arguments instead of meld:
#  - the set-up stores the bridges but keeps a tool path stored before it;
#  - a pick-pick of two folders with Duomira.exe reaches the viewer as their two
#    Unix paths (blanks, a trailing backslash and the -D switch on the way);
#  - Wine's cmd starts the FC bridge as diff_tmp.bat does, and the report holds
#    GNU diff's lines with CR LF.
# Run as: run_wine_tests.sh BUILD_DIR script THIS_FILE (Wine environment set).
set -u
source_dir=$(cd "$(dirname "$0")/../.." && pwd -P)
work=$ARTIFACTS/tmp/demo
key='HKCU\Software\VB and VBA Program Settings\Duomira\Settings'
fail() { echo "FAIL: $*"; exit 1; }
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# wait_for SECONDS COMMAND...: true once COMMAND succeeds within SECONDS.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.3
    done
}

rm -rf "$work"
mkdir -p "$work/first dir" "$work/second dir"
printf 'same\nold\n' >"$work/first dir/a.txt"
printf 'same\nnew\n' >"$work/second dir/a.txt"
cat >"$work/viewer" <<VIEWER
#!/bin/sh
printf '%s\n' "\$@" >"$work/viewer.tmp" && mv "$work/viewer.tmp" "$work/viewer.log"
VIEWER
chmod +x "$work/viewer"
export DUOMIRA_DEMO_VIEWER=$work/viewer

echo "== set-up keeps a stored tool path =="
# A waiting instance left by an earlier test would take the first pick.
wine taskkill /f /im Duomira.exe >/dev/null 2>&1
wine reg delete 'HKCU\Software\VB and VBA Program Settings\Duomira' /f >/dev/null 2>&1
wine reg add "$key" /v WinMergePath /d 'C:\own\WinMergeU.exe' /f >/dev/null || fail "reg add"
"$source_dir/scripts/demo/setup-prefix.sh" || fail "the demo set-up failed"
stored=$(wine reg query "$key" | tr -d '\r')
grep -Eq '^ +WinMergePath +REG_SZ +C:\\own\\WinMergeU\.exe$' <<<"$stored" ||
    fail "the stored WinMerge path was not kept: $stored"
grep -Eq '^ +WinDiffPath +REG_SZ +C:\\demo\\meld-bridge\.sh$' <<<"$stored" ||
    fail "no bridge stored for WinDiff: $stored"

echo "== pick-pick of two folders reaches the viewer =="
# SubFlg "1" puts -D on WinDiff's command line; the bridge must drop it.
wine reg add "$key" /v SubFlg /d 1 /f >/dev/null || fail "reg add"
first_pick="$(windows_path "$work/first dir")\\"
cd "$work" || fail "cd"
wine "$BUILD_DIR/Duomira.exe" "$first_pick" >"$work/first.log" 2>&1 &
first_start=$!
first_recorded() { wine reg query "$key" /v FileName 2>/dev/null | grep -Fq 'first dir'; }
wait_for 90 first_recorded || fail "the first start did not record its path"
timeout 90 wine "$BUILD_DIR/Duomira.exe" "$(windows_path "$work/second dir")" ||
    fail "the second start failed"
wait_for 60 test -e "$work/viewer.log" || fail "the viewer was not started"
expected=$(printf '%s\n' "$work/first dir" "$work/second dir")
[ "$(cat "$work/viewer.log")" = "$expected" ] ||
    fail "the viewer got: $(cat "$work/viewer.log") -- expected: $expected"
wait_for 30 eval '! kill -0 $first_start 2>/dev/null' || fail "the first start did not end"

echo "== Wine's cmd runs the FC bridge =="
printf '@echo off\r\n"C:\\demo\\diff-bridge.sh" "%s" "%s" > diff_tmp.txt\r\n' \
    "$(windows_path "$work/first dir/a.txt")" "$(windows_path "$work/second dir/a.txt")" >fc.bat
timeout 90 wine cmd /c fc.bat || fail "cmd failed"
# cmd doesn't wait for a Unix program: the report grows after cmd has ended.
report_done() { grep -q '^+new'$'\r''$' diff_tmp.txt 2>/dev/null; }
wait_for 30 report_done || fail "no report: $(cat -A diff_tmp.txt 2>&1)"
grep -q '^-old'$'\r''$' diff_tmp.txt || fail "report: $(cat -A diff_tmp.txt)"
echo "demo set-up: all checks passed"
