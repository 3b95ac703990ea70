# Sourced by the bridges. unix_path WINPATH prints the Unix path of a Windows
# path that Duomira handed over, such as C:\windows\win.ini or Z:\home\me\a b\.
#
# A drive path whose folders are spelt as on disk is looked up directly through
# the prefix's drive links, which costs nothing; anything else (other letter
# case, UNC paths) goes through winepath, which starts a Wine process and takes
# a moment. The FC bridge must be quick: the script that starts it does not
# wait for a Unix program, and opens the report right away.
unix_path() {
    case $1 in
    [A-Za-z]:\\*)
        drive=$(printf '%s' "${1%%:*}" | tr 'A-Z' 'a-z')
        rest=$(printf '%s' "${1#?:}" | tr '\\' '/')
        direct=${WINEPREFIX:-$HOME/.wine}/dosdevices/$drive:$rest
        if [ -e "$direct" ]; then
            realpath -- "$direct"
            return
        fi
        ;;
    esac
    winepath -u "$1" 2>/dev/null
}
