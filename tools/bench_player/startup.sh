#!/usr/bin/env bash
# Start to window: how long the player takes from its start until its window is on the screen,
# side by side with Audacious (Debian's package), on one private X server, both with a private
# PulseAudio null sink to open. Each run starts the program, polls the X server every few
# milliseconds until a window of that process is mapped, and ends the program; the runs of the
# two alternate, so both see the same machine. Prints the median and the fastest of each and the
# ratio of the medians.
#
#   tools/bench_player/startup.sh [RUNS]   (default 9)
#
# Both are started once before the timed runs (Audacious writes its plugin registry at its first
# start, the player its files). Environment: see tools/check/common.sh (BUILD_DIR, CHECK_NO_BUILD,
# KEEP_TMP).
set -euo pipefail
runs=${1:-9}
source "$(dirname "$0")/../check/common.sh"
ensure_x_tools
ensure_packages "the player benchmark" audacious pulseaudio pulseaudio-utils
build_targets velorixa
pulse_pid=""
trap 'if [ -n "$pulse_pid" ]; then kill "$pulse_pid" 2>/dev/null || true; fi; cleanup' EXIT

mkdir -p "$tmp/player" "$tmp/aud-home" "$tmp/player-home"
cp "$build_dir/bin/velorixa" "$tmp/player/velorixa"
cp "$build_dir/bin/NetRadio.ini" "$tmp/player/NetRadio.ini"
: >"$tmp/player/velorixa.portable"
start_pulse 44100
start_xvfb
export DBUS_SESSION_BUS_ADDRESS=disabled:

# Milliseconds from the start of "$@" until a window of its process is mapped (0 on none within
# 10 s); the program is ended after.
time_to_window() {
  local t0 t1 pid id=""
  t0=$(date +%s%N)
  "$@" >>"$tmp/programs.log" 2>&1 &
  pid=$!
  for _ in $(seq 2000); do
    id=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && break
    sleep 0.005
  done
  t1=$(date +%s%N)
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  sleep 0.3
  if [ -n "$id" ]; then echo $(((t1 - t0) / 1000000)); else echo 0; fi
}
player() {
  cd "$tmp"
  HOME=$tmp/player-home exec "$tmp/player/velorixa"
}
audacious_() { HOME=$tmp/aud-home exec audacious; }

player_ms=() aud_ms=()
time_to_window player >/dev/null
time_to_window audacious_ >/dev/null
for r in $(seq "$runs"); do
  p=$(time_to_window player)
  a=$(time_to_window audacious_)
  [ "$p" -gt 0 ] || { cat "$tmp/programs.log" >&2; echo "the player showed no window" >&2; exit 1; }
  [ "$a" -gt 0 ] || { cat "$tmp/programs.log" >&2; echo "Audacious showed no window" >&2; exit 1; }
  log "run $r: player $p ms, Audacious $a ms"
  player_ms+=("$p")
  aud_ms+=("$a")
done
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
fastest() { printf '%s\n' "$@" | sort -n | head -n 1; }
pm=$(median "${player_ms[@]}") am=$(median "${aud_ms[@]}")
printf '\nStart to window, %d runs each (ms), one private X server and PulseAudio null sink\n' "$runs"
printf '  %-10s median %5s   fastest %5s\n' player "$pm" "$(fastest "${player_ms[@]}")"
printf '  %-10s median %5s   fastest %5s\n' Audacious "$am" "$(fastest "${aud_ms[@]}")"
awk -v p="$pm" -v a="$am" 'BEGIN { printf "  ratio of medians %.2f   (aims: player <= 300 ms on a quiet machine, ratio < 1)\n", p / a }'
printf 'load: %s\n' "$(uptime)"
