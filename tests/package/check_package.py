#!/usr/bin/env python3
"""Checks the release zip against the build and the files in dist/.

  check_package.py --zip Duomira-1.00-win64.zip --exe build/.../Duomira.exe --dist dist
  check_package.py --installer Duomira-1.00-setup-x64.exe [--installer uninstall.exe]

Prints one line per problem and exits 1 if there is any, 0 otherwise.
"""
import argparse
import re
import struct
import sys
import zipfile
from pathlib import Path

FOLDER = "Duomira/"
SCRIPTS = ["menu_register.cmd", "menu_remove.cmd"]
GUIDE = "はじめにお読みください.txt"
VERB_TEXT = "Diffﾂｰﾙで比較"
UTF8_NAME_FLAG = 0x800


def check_script(name, data, problems):
    """A script must stay readable for cmd.exe on a Japanese system."""
    try:
        text = data.decode("cp932")
    except UnicodeDecodeError as error:
        problems.append(f"{name}: not code page 932: {error}")
        return
    if data.startswith(b"\xef\xbb\xbf"):
        problems.append(f"{name}: starts with a UTF-8 byte-order mark")
    if data.replace(b"\r\n", b"").count(b"\n") or data.replace(b"\r\n", b"").count(b"\r"):
        problems.append(f"{name}: has line ends other than CR LF")
    if not data.endswith(b"\r\n"):
        problems.append(f"{name}: last line has no CR LF")
    # Everything up to the code page switch is read in whatever code page the
    # console has, so it must be plain ASCII.
    head, switch, _ = data.partition(b"chcp 932")
    if not switch:
        problems.append(f"{name}: no 'chcp 932'")
    elif any(byte > 0x7F for byte in head):
        problems.append(f"{name}: non-ASCII text before 'chcp 932'")
    if f'set "TEXT={VERB_TEXT}"' not in text:
        problems.append(f"{name}: the menu text {VERB_TEXT!r} is not set as expected")


# What every Windows has; the program must need no other DLL (no C++ or
# threads runtime beside it).
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
               "comdlg32.dll", "comctl32.dll", "msvcrt.dll"}


def imported_dlls(image):
    """The DLL names of the PE import table."""
    (pe,) = struct.unpack_from("<I", image, 0x3C)
    if image[pe:pe + 4] != b"PE\0\0":
        raise ValueError("not a PE image")
    sections_count, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    import_rva, _ = struct.unpack_from("<II", image, optional + 112 + 8)  # PE32+ directory 1
    sections = [struct.unpack_from("<8xIIII", image, optional + optional_size + 40 * i)
                for i in range(sections_count)]

    def offset(rva):
        for size, address, raw_size, raw_offset in sections:
            if address <= rva < address + max(size, raw_size):
                return rva - address + raw_offset
        raise ValueError(f"RVA {rva:#x} outside the sections")

    names = []
    at = offset(import_rva)
    while True:
        name_rva = struct.unpack_from("<12xI", image, at)[0]
        if name_rva == 0:
            return names
        start = offset(name_rva)
        names.append(image[start:image.index(b"\0", start)].decode("ascii"))
        at += 20


# The setup program and its uninstaller (one NSIS stub) also use ole32.dll.
INSTALLER_DLLS = SYSTEM_DLLS | {"ole32.dll"}


def check_exe(image, problems, name="Duomira.exe", allowed=SYSTEM_DLLS):
    """A 64-bit image that needs only system DLLs, whether imported at start
    or loaded at first use."""
    try:
        (pe,) = struct.unpack_from("<I", image, 0x3C)
        (machine,) = struct.unpack_from("<H", image, pe + 4)
        imports = {dll.lower() for dll in imported_dlls(image)}
    except (ValueError, struct.error) as error:
        problems.append(f"{name}: import table unreadable: {error}")
        return
    if machine != 0x8664:
        problems.append(f"{name}: machine {machine:#x}, not x64")
    if "kernel32.dll" not in imports:
        problems.append(f"{name}: import table without kernel32.dll: {sorted(imports)}")
    # Delay-loaded DLLs are named only in the image's data.
    named = {match.decode("ascii").lower()
             for match in re.findall(rb"[A-Za-z0-9_.+-]+\.dll(?=\0)", image, re.IGNORECASE)}
    for dll in sorted((imports | named) - allowed):
        problems.append(f"{name}: needs {dll}, which is no system DLL")


def check_guide(data, problems):
    if not data.startswith(b"\xef\xbb\xbf"):
        problems.append(f"{GUIDE}: no UTF-8 byte-order mark")
    try:
        data[3:].decode("utf-8")
    except UnicodeDecodeError as error:
        problems.append(f"{GUIDE}: not UTF-8: {error}")
    if data.replace(b"\r\n", b"").count(b"\n"):
        problems.append(f"{GUIDE}: has bare LF line ends")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zip", type=Path)
    parser.add_argument("--exe", type=Path)
    parser.add_argument("--dist", type=Path)
    parser.add_argument("--installer", type=Path, action="append", default=[])
    args = parser.parse_args()

    problems = []
    if args.installer:
        for path in args.installer:
            check_exe(path.read_bytes(), problems, path.name, INSTALLER_DLLS)
        for problem in problems:
            print(problem)
        print(f"{len(problems)} problem(s) in {', '.join(path.name for path in args.installer)}")
        return 1 if problems else 0
    if not (args.zip and args.exe and args.dist):
        parser.error("--zip, --exe and --dist go together")
    expected = {FOLDER + "Duomira.exe": args.exe.read_bytes()}
    for name in SCRIPTS + [GUIDE]:
        expected[FOLDER + name] = (args.dist / name).read_bytes()

    with zipfile.ZipFile(args.zip) as archive:
        infos = archive.infolist()
        files = {info.filename: info for info in infos if not info.is_dir()}
        folders = {info.filename for info in infos if info.is_dir()}

        if set(files) != set(expected):
            problems.append(
                f"files in the zip: {sorted(files)}; expected: {sorted(expected)}")
        if folders - {FOLDER}:
            problems.append(f"unexpected folders in the zip: {sorted(folders - {FOLDER})}")

        for name, want in expected.items():
            info = files.get(name)
            if info is None:
                continue
            if archive.read(info) != want:
                problems.append(f"{name}: differs from {args.exe if name.endswith('.exe') else args.dist}")

        guide = files.get(FOLDER + GUIDE)
        if guide is not None and not guide.flag_bits & UTF8_NAME_FLAG:
            problems.append(f"{GUIDE}: stored without the UTF-8 name flag")

    for name in SCRIPTS:
        check_script(name, expected[FOLDER + name], problems)
    check_guide(expected[FOLDER + GUIDE], problems)
    check_exe(expected[FOLDER + "Duomira.exe"], problems)

    for problem in problems:
        print(problem)
    print(f"{len(problems)} problem(s) in {args.zip.name}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
