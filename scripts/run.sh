#!/usr/bin/env bash
# Installs what is missing, builds, and runs one agent; options go to the agent.
# When no server answers at the host (--host=IP, default 127.0.0.1, port 3100),
# the practice peer is started there instead, so that the agent plays at once.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DTRAVONELQUIST_TESTS=OFF -DTRAVONELQUIST_BENCH=OFF

# The agent takes the host from the last argument that starts with --host.
host=127.0.0.1
for arg in "$@"; do
    case "$arg" in --host?*) host=${arg:7} ;; esac
done

if timeout 1 bash -c "exec 3<>/dev/tcp/$host/3100" 2>/dev/null; then
    exec build/travonelquist-base "$@"
fi

echo "no server at $host:3100: playing against the practice peer instead (real games need rcssserver3d)"
mkdir -p logs
build/practice-peer "--host=$host" --unum=2 > logs/practice-peer.log 2>&1 &
peer=$!
# Let Ctrl-C reach the agent and the peer, and still clean up here.
trap 'true' INT
for _ in $(seq 1 50); do
    if grep -q "listening on" logs/practice-peer.log 2>/dev/null; then break; fi
    if ! kill -0 "$peer" 2>/dev/null; then
        cat logs/practice-peer.log >&2
        exit 1
    fi
    sleep 0.1
done
status=0
build/travonelquist-base "$@" || status=$?
kill "$peer" 2>/dev/null || true
wait "$peer" 2>/dev/null || true
exit "$status"
