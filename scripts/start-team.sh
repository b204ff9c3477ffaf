#!/usr/bin/env bash
# Starts N players of one team against a server, one process each, every one
# with its own log file, and records their process ids so that kill-team.sh
# ends exactly these processes.
#
#   scripts/start-team.sh [--host=IP] [--team=NAME] [-n N] [--today|--classic]
#                         [--types=LIST] [--binary=PATH] [--logs=DIR]
#
# The server gives out the uniform numbers in the order the players join
# (1 is the goalkeeper), so the players are started one after the other.
# Robot types: --today (the default) gives each number the type of a plan that
# today's server's quota allows; --classic the standard robot; --types=0,0,2,...
# the type of each number (checked against the quota unless --classic).
set -euo pipefail
cd "$(dirname "$0")/.."

host=127.0.0.1
team=MERLO-Skyline
n=3
binary=build/travonelquist-base
logs=logs
server=--today
types=()

usage() {
    sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'
}

while [ $# -gt 0 ]; do
    case "$1" in
        --host=*) host=${1#--host=} ;;
        --host) host=${2:?--host needs a value}; shift ;;
        --team=*) team=${1#--team=} ;;
        --team) team=${2:?--team needs a value}; shift ;;
        -n) n=${2:?-n needs a value}; shift ;;
        -n*) n=${1#-n} ;;
        --players=*) n=${1#--players=} ;;
        --binary=*) binary=${1#--binary=} ;;
        --logs=*) logs=${1#--logs=} ;;
        --today|--classic) server=$1 ;;
        --types=*) types=("$1") ;;
        -h|--help) usage; exit 0 ;;
        *) echo "start-team.sh: unknown argument '$1'" >&2; usage >&2; exit 2 ;;
    esac
    shift
done

case "$n" in ''|*[!0-9]*) echo "start-team.sh: -n wants a number, got '$n'" >&2; exit 2 ;; esac
case "$team" in ''|*[!A-Za-z0-9_.-]*)
    echo "start-team.sh: team names are letters, digits, '_', '.' and '-'" >&2; exit 2 ;; esac
# One robot type per player; 0, the standard robot, is nao.rsg and needs no option.
plan=$(python3 scripts/teamtypes.py "$server" "${types[@]+"${types[@]}"}" -n "$n") || exit 2
mapfile -t plan <<< "$plan"
if [ ! -x "$binary" ]; then
    echo "start-team.sh: $binary not found; build first (bash scripts/build.sh)" >&2
    exit 1
fi

mkdir -p "$logs"
pidfile="$logs/$team.pids"
if [ -s "$pidfile" ]; then
    while read -r pid; do
        if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
            echo "start-team.sh: $team is still running (pid $pid); end it with scripts/kill-team.sh --team=$team" >&2
            exit 1
        fi
    done < "$pidfile"
fi
: > "$pidfile"

for i in $(seq 1 "$n"); do
    log="$logs/$team-$i.log"
    robot=${plan[$((i - 1))]}
    opt=()
    if [ "$robot" != 0 ]; then opt=("--type=$robot"); fi
    nohup "$binary" "--host=$host" "--team=$team" "${opt[@]+"${opt[@]}"}" > "$log" 2>&1 < /dev/null &
    echo "$!" >> "$pidfile"
    echo "player $i of $team: pid $!, log $log, robot type $robot"
    sleep 0.3
done
echo "process ids in $pidfile"
