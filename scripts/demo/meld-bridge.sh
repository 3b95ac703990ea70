#!/usr/bin/env bash
# Stands in for WinDiff and WinMerge in the demo Wine prefix of scripts/run.sh.
# Duomira starts it through its Windows path (C:\demo\...), which Wine runs as
# a Unix program, with the tool's command line:
#   meld-bridge.sh [-D|-r] "FIRST" "SECOND"
# It turns the Windows paths into Unix paths and opens them in meld, which
# compares two folders with their subfolders by itself, so the switches are
# dropped. DUOMIRA_DEMO_VIEWER names another viewer (the tests use a logger).
set -u
. "$(dirname "$0")/unix_path.sh"

paths=()
for argument in "$@"; do
    case $argument in
    -D | -r) continue ;;
    esac
    path=$(unix_path "$argument")
    if [ -z "$path" ]; then
        echo "meld-bridge: no Unix path for $argument" >&2
        exit 2
    fi
    paths+=("$path")
done
exec "${DUOMIRA_DEMO_VIEWER:-meld}" "${paths[@]}"
