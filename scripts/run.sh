#!/usr/bin/env bash
# Installs what is missing, builds, and runs one agent; options go to the agent.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DTRAVONELQUIST_TESTS=OFF -DTRAVONELQUIST_BENCH=OFF
exec build/travonelquist-base "$@"
