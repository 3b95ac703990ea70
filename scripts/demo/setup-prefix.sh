#!/usr/bin/env bash
# Prepares the Wine prefix of scripts/run.sh (WINEPREFIX) for a demo that ends
# in a real comparison on the Linux desktop:
#  - copies the bridges into C:\demo, which is also where run.sh starts Duomira,
#    so the FC script and its report land there;
#  - stores them as the tool paths WinDiffPath and WinMergePath (meld) and
#    CmdPath (GNU diff), each only where nothing is stored yet, so that a
#    developer's own settings in that prefix are kept.
# Needs a prefix that wineboot has created.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd -P)
prefix=${WINEPREFIX:?WINEPREFIX must name the Wine prefix}
[ -d "$prefix/drive_c" ] || { echo "setup-prefix: no Wine prefix at $prefix" >&2; exit 1; }

demo=$prefix/drive_c/demo
mkdir -p "$demo"
# Copies, not links to this checkout: the stored paths stay good when the
# checkout moves, and every run brings the bridges up to date.
for file in meld-bridge.sh diff-bridge.sh unix_path.sh; do
    cp -f "$here/$file" "$demo/$file"
done
chmod +x "$demo/meld-bridge.sh" "$demo/diff-bridge.sh"

key='HKCU\Software\VB and VBA Program Settings\Duomira\Settings'
# A key that doesn't exist yet lists nothing, and reg then fails: fine.
stored=$(wine reg query "$key" 2>/dev/null | tr -d '\r' || true)
store_unless_set() {
    local name=$1 value=$2
    printf '%s\n' "$stored" | grep -Eq "^ +$name +REG_" && return
    wine reg add "$key" /v "$name" /t REG_SZ /d "$value" /f >/dev/null
    echo "Stored $name = $value in the Wine prefix $prefix"
}
store_unless_set WinDiffPath 'C:\demo\meld-bridge.sh'
store_unless_set WinMergePath 'C:\demo\meld-bridge.sh'
store_unless_set CmdPath 'C:\demo\diff-bridge.sh'
