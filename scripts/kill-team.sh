#!/usr/bin/env bash
# Ends the players that start-team.sh started for a team, by the process ids
# it recorded, and nothing else: a recorded id that now belongs to another
# program is left alone.
#
#   scripts/kill-team.sh [--team=NAME] [--logs=DIR]
#
# Each player gets an interrupt first (it ends after its current cycle and
# says "closed connection to ..."); one that is still there after two seconds
# is terminated.
set -euo pipefail
cd "$(dirname "$0")/.."

team=MERLO-Skyline
logs=logs

while [ $# -gt 0 ]; do
    case "$1" in
        --team=*) team=${1#--team=} ;;
        --team) team=${2:?--team needs a value}; shift ;;
        --logs=*) logs=${1#--logs=} ;;
        -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "kill-team.sh: unknown argument '$1'" >&2; exit 2 ;;
    esac
    shift
done

pidfile="$logs/$team.pids"
if [ ! -f "$pidfile" ]; then
    echo "kill-team.sh: no $pidfile: nothing started for $team" >&2
    exit 1
fi

# True when pid is still one of our players of this team.
ours() {
    local pid=$1 exe args
    exe=$(readlink "/proc/$pid/exe" 2>/dev/null) || return 1
    case "$exe" in */travonelquist-base|*/travonelquist-base\ \(deleted\)) ;; *) return 1 ;; esac
    args=$(tr '\0' ' ' < "/proc/$pid/cmdline" 2>/dev/null) || return 1
    case " $args " in *" --team=$team "*) return 0 ;; *) return 1 ;; esac
}

mine=()
while read -r pid; do
    case "$pid" in ''|*[!0-9]*) continue ;; esac
    if ours "$pid"; then
        kill -INT "$pid" 2>/dev/null || true
        mine+=("$pid")
    else
        echo "pid $pid: no longer a player of $team, left alone"
    fi
done < "$pidfile"

for _ in $(seq 1 20); do
    alive=0
    for pid in "${mine[@]+"${mine[@]}"}"; do
        if ours "$pid"; then alive=1; fi
    done
    [ "$alive" -eq 0 ] && break
    sleep 0.1
done
for pid in "${mine[@]+"${mine[@]}"}"; do
    if ours "$pid"; then
        kill -TERM "$pid" 2>/dev/null || true
        echo "pid $pid: terminated"
    else
        echo "pid $pid: ended"
    fi
done
rm -f "$pidfile"
