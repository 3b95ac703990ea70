#!/usr/bin/env python3
"""Checks the winget and Scoop manifests in dist/ and the filled-in copies the
package step writes next to the release files.

  check_manifests.py --dist dist --built build/windows/package-test

In dist/ every hash is the placeholder the package step fills in; in the built
copies it is the SHA-256 of the built file the manifest names. Prints one line
per problem and exits 1 if there is any.
"""
import argparse
import hashlib
import json
import re
import sys
from pathlib import Path

VERSION = "1.00"
SETUP = f"Duomira-{VERSION}-setup-x64.exe"
ZIP = f"Duomira-{VERSION}-win64.zip"
WINGET_ID = "Duomira.Duomira"
WINGET_FILES = [f"{WINGET_ID}.yaml", f"{WINGET_ID}.installer.yaml",
                f"{WINGET_ID}.locale.en-US.yaml", f"{WINGET_ID}.locale.ja-JP.yaml"]
SCOOP_FILE = "duomira.json"
PLACEHOLDER = re.compile(r"@[A-Z0-9_]+@")


def fields(text):
    """Top-level and list-item `key: value` pairs of a plain YAML manifest."""
    found = {}
    for line in text.splitlines():
        match = re.match(r"^\s*(?:- )?([A-Za-z0-9]+):\s*(.*?)\s*$", line)
        if match and not line.lstrip().startswith("#"):
            found.setdefault(match.group(1), match.group(2).strip('"'))
    return found


def check(folder, hashes, problems):
    """hashes: None for dist/ (placeholders wanted), else the built files' SHA-256."""
    def want_hash(where, value, file_name, placeholder):
        if hashes is None:
            if value != placeholder:
                problems.append(f"{where}: hash {value!r}, expected the placeholder {placeholder}")
        elif value.lower() != hashes[file_name]:
            problems.append(f"{where}: hash {value!r} is not the SHA-256 of {file_name}")

    winget = folder / "winget"
    for name in WINGET_FILES:
        path = winget / name
        if not path.is_file():
            problems.append(f"{path}: missing")
            continue
        text = path.read_text(encoding="utf-8")
        values = fields(text)
        if values.get("PackageIdentifier") != WINGET_ID or values.get("PackageVersion") != VERSION:
            problems.append(f"{path}: identifier or version is not {WINGET_ID} {VERSION}")
        if hashes is not None and PLACEHOLDER.search(text):
            problems.append(f"{path}: placeholder left: {PLACEHOLDER.search(text).group()}")
    installer = fields((winget / WINGET_FILES[1]).read_text(encoding="utf-8")) if (winget / WINGET_FILES[1]).is_file() else {}
    if installer:
        if (installer.get("InstallerType"), installer.get("Scope")) != ("nullsoft", "user"):
            problems.append(f"{WINGET_FILES[1]}: not a nullsoft installer for the user scope")
        if not installer.get("InstallerUrl", "").endswith("/" + SETUP):
            problems.append(f"{WINGET_FILES[1]}: InstallerUrl does not name {SETUP}")
        want_hash(WINGET_FILES[1], installer.get("InstallerSha256", ""), SETUP, "@DUOMIRA_SETUP_SHA256@")
    ja = winget / WINGET_FILES[3]
    if ja.is_file() and not re.search(r"ShortDescription: .*[\u3040-\u30ff]", ja.read_text(encoding="utf-8")):
        problems.append(f"{ja.name}: no Japanese ShortDescription")

    path = folder / "scoop" / SCOOP_FILE
    try:
        scoop = json.loads(path.read_text(encoding="utf-8"))
    except (OSError, ValueError) as error:
        problems.append(f"{path}: {error}")
        return
    package = scoop.get("architecture", {}).get("64bit", {})
    if scoop.get("version") != VERSION or not package.get("url", "").endswith("/" + ZIP):
        problems.append(f"{path}: version is not {VERSION} or url does not name {ZIP}")
    want_hash(SCOOP_FILE, package.get("hash", ""), ZIP, "@DUOMIRA_ZIP_SHA256@")
    if scoop.get("extract_dir") != "Duomira":
        problems.append(f"{path}: extract_dir is not the zip's folder Duomira")
    for hook, script in (("post_install", "menu_register.cmd"), ("pre_uninstall", "menu_remove.cmd")):
        if not any(script in line and "/quiet" in line for line in scoop.get(hook, [])):
            problems.append(f"{path}: {hook} does not run {script} /quiet")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dist", required=True, type=Path)
    parser.add_argument("--built", required=True, type=Path)
    args = parser.parse_args()
    problems = []
    check(args.dist, None, problems)
    hashes = {name: hashlib.sha256((args.built / name).read_bytes()).hexdigest() for name in (SETUP, ZIP)}
    check(args.built, hashes, problems)
    for problem in problems:
        print(problem)
    print(f"{len(problems)} problem(s) in the manifests")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
