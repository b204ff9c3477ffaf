#!/usr/bin/env bash
# Installs what is missing, builds, and runs one agent; options go to the agent.
# When no server answers at the host (--host=IP, default 127.0.0.1, port 3100),
# the practice peer is started there instead, so that the agent plays at once.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build -DTRAVONELQUIST_TESTS=OFF -DTRAVONELQUIST_BENCH=OFF

# The agent takes the host and team from the last arguments that start with
# --host and --team.
host=127.0.0.1
team=MERLO-Skyline
for arg in "$@"; do
    case "$arg" in
        --host?*) host=${arg:7} ;;
        --team?*) team=${arg:7} ;;
    esac
done

# The agent's standard output is kept in a log as well, for scripts/plot-run.
mkdir -p logs
log=logs/run.log
truth=
tell_log() {
    echo "the agent's log is $log; draw it with: scripts/plot-run $log -o logs/run.png --team=$team${truth:+ --truth=$truth}"
}

if timeout 1 bash -c "exec 3<>/dev/tcp/$host/3100" 2>/dev/null; then
    trap 'true' INT
    status=0
    # tee -i: an interrupt is the agent's to handle; tee keeps writing its last lines.
    build/travonelquist-base "$@" | tee -i "$log" || status=$?
    tell_log
    exit "$status"
fi

echo "no server at $host:3100: playing against the practice peer instead (real games need rcssserver3d)"
truth=logs/run-truth.jsonl
build/practice-peer "--host=$host" --unum=2 "--truth=$truth" > logs/practice-peer.log 2>&1 &
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
build/travonelquist-base "$@" | tee -i "$log" || status=$?
kill "$peer" 2>/dev/null || true
wait "$peer" 2>/dev/null || true
tell_log
exit "$status"
