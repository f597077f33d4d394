#!/usr/bin/env bash
# Installs the Debian packages the toolkit needs, when they are missing.
# Sourced by the other scripts; safe to run again. Packages named as
# arguments are installed too (the fuzzing build adds clang's).
set -euo pipefail

HALDOR_PACKAGES=(build-essential cmake libgtest-dev qtbase5-dev python3 fonts-nanum fonts-open-sans "$@")

missing=()
for p in "${HALDOR_PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
