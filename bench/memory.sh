#!/bin/bash
# What the game holds in memory: the private memory (Private_Clean +
# Private_Dirty of /proc/PID/smaps_rollup: what the process does not share
# with any other) at the start screen, and its peak while the largest level
# in maps/ loads and starts, sampled every 50 ms. Neverball's start screen is
# measured beside it when it is installed.
#
#   bench/memory.sh [GAME_DIR] [SECONDS]
#
# GAME_DIR defaults to build/game, SECONDS (how long each program runs
# before it is measured) to 8. Without a display the programs run under
# xvfb-run at 1024 x 768 x 24; sound goes to SDL's dummy driver.
set -u
here=$(cd "$(dirname "$0")" && pwd)
game=$(cd "${1:-$here/../build/game}" && pwd) || exit 1
seconds=${2:-8}

if [ -z "${DISPLAY:-}" ] && [ -z "${RDV_MEMORY_INNER:-}" ]; then
    command -v xvfb-run > /dev/null || { echo "no DISPLAY and no xvfb-run" >&2; exit 1; }
    exec env RDV_MEMORY_INNER=1 xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$game" "$seconds"
fi
export SDL_AUDIODRIVER=dummy

# Private memory of PID in kB, and its written (dirty) part.
private_kb() {
    awk '/^Private_Clean:/ {c = $2} /^Private_Dirty:/ {d = $2} END {print c + d, d}' "/proc/$1/smaps_rollup" 2> /dev/null
}
mb() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }

# Runs a program for $seconds, prints "PRIVATE DIRTY PEAK" in kB: the
# private memory at the end, its dirty part, and the highest private figure
# seen on the way.
measure() {
    "$@" > /dev/null 2>&1 &
    local pid=$! peak=0 now=0 dirty=0 start=$SECONDS
    while [ $((SECONDS - start)) -lt "$seconds" ] && kill -0 "$pid" 2> /dev/null; do
        read -r now dirty < <(private_kb "$pid")
        [ -n "$now" ] && [ "$now" -gt "$peak" ] && peak=$now
        sleep 0.05
    done
    if ! kill -0 "$pid" 2> /dev/null; then
        echo "0 0 0"
        return
    fi
    read -r now dirty < <(private_kb "$pid")
    kill -TERM "$pid" 2> /dev/null
    wait "$pid" 2> /dev/null
    echo "$now $dirty $peak"
}

# A freshly linked program's pages stay dirty in the page cache until they
# are written out, and would count as written here.
sync

largest=$(ls -S "$game"/maps/*.tcs 2> /dev/null | head -n 1)
largest=$(basename "${largest%.tcs}")

cd "$game" || exit 1
read -r start start_dirty _ < <(measure ./rondovar -w)
read -r _ _ load_peak < <(measure ./rondovar -w "$largest")
if [ "$start" = 0 ]; then
    echo "rondovar did not keep running in $game" >&2
    exit 1
fi
echo "rondovar  start screen: private $(mb "$start") MB (written $(mb "$start_dirty") MB)"
echo "rondovar  loading $largest: peak private $(mb "$load_peak") MB"
# Debian installs it in /usr/games, which is not always on PATH.
neverball=$(PATH="$PATH:/usr/games" command -v neverball)
if [ -n "$neverball" ]; then
    read -r nb nb_dirty _ < <(measure "$neverball")
    echo "neverball start screen: private $(mb "$nb") MB (written $(mb "$nb_dirty") MB)"
else
    echo "neverball not installed"
fi
