#!/usr/bin/env bash
# Installs what building, running and testing Duomira needs on Debian 12, and
# only what is missing. Safe to run again; never asks a question. Packages
# named as arguments are installed too (scripts/run.sh adds meld).
set -euo pipefail

packages=(
  cmake make g++ libgtest-dev                      # the portable core and its unit tests
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev  # Duomira.exe
  googletest                                       # the Wine tests' framework, built for Windows
  wine wine64 fonts-wine xvfb xauth x11-utils                       # running it
  locales fonts-ipafont-gothic imagemagick zip unzip python3  # Japanese text, screenshots, package
  nsis                                                         # the setup program
  "$@"
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

# Wine takes the system's code pages from the locale: Japanese (ANSI and OEM
# 932) for every test; Western (1252, OEM 437), Simplified Chinese (936) and
# Hindi (a Unicode-only locale: UTF-8, 65001) for the checks of the FC script
# on other code pages. The English locale also serves the run of the
# file-open dialog, whose title Wine gives in the locale's language.
missing_locales=()
for locale in ja_JP en_US zh_CN hi_IN; do
  if ! locale -a 2>/dev/null | grep -qi "^${locale}\.utf8$"; then
    missing_locales+=("$locale")
  fi
done
if [ ${#missing_locales[@]} -gt 0 ]; then
  for locale in "${missing_locales[@]}"; do
    as_root sed -i "s/^# *\(${locale}.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    grep -q "^${locale}.UTF-8 UTF-8" /etc/locale.gen || echo "${locale}.UTF-8 UTF-8" | as_root tee -a /etc/locale.gen >/dev/null
  done
  as_root locale-gen >/dev/null
fi
