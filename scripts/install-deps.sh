#!/usr/bin/env bash
# Installs what building, running and testing Duomira needs on Debian 12, and
# only what is missing. Safe to run again; never asks a question.
set -euo pipefail

packages=(
  cmake make g++ libgtest-dev                      # the portable core and its unit tests
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev  # Duomira.exe
  wine wine64 fonts-wine xvfb xauth x11-utils                       # running it
  locales fonts-ipafont-gothic imagemagick zip unzip python3  # Japanese text, screenshots, package
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

# Wine reads the system's ANSI code page (932) from the Japanese locale; one
# test starts the program in English, where Wine's own dialog titles differ.
for loc in ja_JP en_US; do
  if ! locale -a 2>/dev/null | grep -qi "^$loc\.utf8\$"; then
    as_root sed -i "s/^# *\($loc.UTF-8 UTF-8\)/\1/" /etc/locale.gen
    grep -q "^$loc.UTF-8 UTF-8" /etc/locale.gen || echo "$loc.UTF-8 UTF-8" | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
  fi
done
