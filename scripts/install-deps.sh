#!/usr/bin/env bash
# Installs the Debian packages the build needs, and only those that are missing.
# Safe to run again and again: when everything is present it does nothing.
set -euo pipefail

packages=(
  cmake
  ninja-build
  g++
  libcli11-dev
  libfmt-dev
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
)
# Extra packages for optional targets are passed as arguments (for example clang for fuzzing).
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing packages: ${missing[*]}" >&2
  echo "Install them with:" >&2
  echo "  sudo apt-get update && sudo DEBIAN_FRONTEND=noninteractive apt-get install -y ${missing[*]}" >&2
  exit 1
fi

echo "Installing: ${missing[*]}" >&2
apt-get update
DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
