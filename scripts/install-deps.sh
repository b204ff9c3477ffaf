#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# this machine lacks (python3-matplotlib draws the pictures of scripts/plot-run).
# Safe to run again: it installs nothing that is there.
set -euo pipefail

packages=(cmake make g++ pkg-config libboost-dev libboost-regex-dev
          libgtest-dev libgmock-dev googletest libbenchmark-dev
          clang libclang-rt-dev
          python3 python3-matplotlib)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ "${#missing[@]}" -gt 0 ]; then
    echo "installing: ${missing[*]}"
    if [ "$(id -u)" -ne 0 ]; then
        echo "need root to install packages (run as root, or install them by hand)" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
