#!/usr/bin/env bash
# The whole player's CPU while it plays an MP3 (pink noise, made with sox) on a private X server
# with SDL's dummy output: 60 s with the "PlayBack" page (the display) in front, then 60 s with
# the "PlayList" page in front, from the utime + stime of the player's process in /proc.
#
#   tools/bench_display/cpu.sh [SECONDS]   (default 60 per page)
#
# Needs sox with MP3 output (apt-get install sox libsox-fmt-mp3).
# Environment: see tools/check/common.sh (BUILD_DIR, JOBS, CHECK_NO_BUILD, KEEP_TMP).
set -euo pipefail
seconds=${1:-60}
source "$(dirname "$0")/../check/common.sh"
ensure_x_tools
build_targets velorixa
mkdir -p "$tmp/media" "$tmp/player"
music="$tmp/media/pink.mp3"
sox -n -r 44100 -c 2 "$music" synth $((2 * seconds + 20)) pinknoise vol 0.7
printf '%s\r\n' "$music" >"$tmp/player/MemoList.ini"

start_xvfb
export SDL_AUDIODRIVER=dummy
show_player
hz=$(getconf CLK_TCK)
ticks() { awk '{print $14 + $15}' "/proc/$player_pid/stat"; }
measure() {
  local a b t0 t1
  sleep 2 # settle after the page change
  a=$(ticks)
  t0=$(date +%s.%N)
  sleep "$seconds"
  b=$(ticks)
  t1=$(date +%s.%N)
  awk -v a="$a" -v b="$b" -v t0="$t0" -v t1="$t1" -v hz="$hz" -v what="$1" \
    'BEGIN { printf "%s: %.2f %% of one core over %.1f s\n", what, 100 * (b - a) / hz / (t1 - t0), t1 - t0 }'
}
xdotool key --clearmodifiers KP_Multiply
xdotool key --clearmodifiers Tab # page "PlayBack"
measure "PlayBack page (display) in front"
# Tab walks 1, 2, 3, 2, 1, 0.
for _ in 1 2 3 4 5; do xdotool key --clearmodifiers Tab; done
measure "PlayList page in front"
import -window "$win" "$tmp/last.png"
close_player "$win" || true
