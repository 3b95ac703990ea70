#!/usr/bin/env bash
# Stands in for the FC command in the demo Wine prefix of scripts/run.sh.
# Duomira's diff_tmp.bat runs it through its Windows path (C:\demo\...):
#   "diff-bridge.sh" "FIRST" "SECOND" > diff_tmp.txt
# and it writes GNU diff's report of the two Windows paths, with CR LF line
# ends so that Windows programs show it line by line. Folders are compared
# with their subfolders. Wine's cmd can't open the report as the script asks
# and the script then deletes it, so a copy stays as fc-report.txt next to it.
set -u
. "$(dirname "$0")/unix_path.sh"

if [ $# -ne 2 ]; then
    echo "diff-bridge: two paths expected, got $#" >&2
    exit 2
fi
first=$(unix_path "$1")
second=$(unix_path "$2")
if [ -z "$first" ] || [ -z "$second" ]; then
    echo "diff-bridge: no Unix path for $1 or $2" >&2
    exit 2
fi
# Two files are named in the report as Duomira named them.
labels=()
[ -d "$first" ] || [ -d "$second" ] || labels=(--label "$1" --label "$2")
diff -r -u "${labels[@]}" -- "$first" "$second" | sed 's/\r*$/\r/' | tee fc-report.txt
