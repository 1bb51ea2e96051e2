#!/usr/bin/env bash
# The whole player's CPU while it plays an MP3, side by side with mpv playing the same file with
# no output (`mpv --no-video --ao=null`), both running at once over the same stretch of time:
# the player on a private X server with SDL's dummy output, in turn with the "PlayBack" page (the
# display) and the "PlayList" page in front. CPU from utime + stime in /proc of each process.
#
#   tools/bench_player/cpu.sh [SECONDS [ROUNDS]]   (default 30 s per page, best of 3 rounds)
#
# Installs mpv, sox and sox's MP3 support when missing (this benchmark's needs, not the
# player's). Environment: see tools/check/common.sh (BUILD_DIR, JOBS, CHECK_NO_BUILD, KEEP_TMP).
set -euo pipefail
seconds=${1:-30}
rounds=${2:-3}
source "$(dirname "$0")/../check/common.sh"
ensure_x_tools
ensure_packages "the player benchmark" mpv sox libsox-fmt-mp3
build_targets velorixa
mpv_pid=""
stop_mpv() {
  if [ -n "$mpv_pid" ] && kill -0 "$mpv_pid" 2>/dev/null; then kill "$mpv_pid" 2>/dev/null || true; fi
  cleanup
}
trap stop_mpv EXIT

mkdir -p "$tmp/media" "$tmp/player"
music="$tmp/media/pink.mp3"
length=$((rounds * 2 * (seconds + 3) + 30))
sox -n -r 44100 -c 2 "$music" synth "$length" pinknoise vol 0.7
printf '%s\r\n' "$music" >"$tmp/player/MemoList.ini"

start_xvfb
export SDL_AUDIODRIVER=dummy
show_player
xdotool key --clearmodifiers KP_Multiply # play the list's first title
mpv --no-video --ao=null --no-terminal --no-config "$music" >"$tmp/mpv.log" 2>&1 &
mpv_pid=$!
log "mpv started (pid $mpv_pid)"
hz=$(getconf CLK_TCK)
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# One measurement: both processes over the same SECONDS; prints "player% mpv%".
measure() {
  local pa ma pb mb t0 t1
  sleep 2 # settle after the page change
  pa=$(ticks "$player_pid")
  ma=$(ticks "$mpv_pid")
  t0=$(date +%s.%N)
  sleep "$seconds"
  pb=$(ticks "$player_pid")
  mb=$(ticks "$mpv_pid")
  t1=$(date +%s.%N)
  awk -v pa="$pa" -v pb="$pb" -v ma="$ma" -v mb="$mb" -v t0="$t0" -v t1="$t1" -v hz="$hz" \
    'BEGIN { d = (t1 - t0) * hz; printf "%.3f %.3f\n", 100 * (pb - pa) / d, 100 * (mb - ma) / d }'
}

# The pages by the Tab key: 0 PlayList, 1 PlayBack, ... (Tab walks 1, 2, 3, 2, 1, 0).
results=()
for r in $(seq "$rounds"); do
  xdotool key --clearmodifiers Tab # page "PlayBack"
  back=$(measure)
  for _ in 1 2 3 4 5; do xdotool key --clearmodifiers Tab; done
  list=$(measure)
  log "round $r: PlayBack page player/mpv % = $back; PlayList page = $list"
  results+=("$back $list")
done
kill -0 "$mpv_pid" 2>/dev/null || { echo "mpv ended early: see $tmp/mpv.log" >&2; exit 1; }

printf '%s\n' "${results[@]}" | awk -v rounds="$rounds" -v s="$seconds" '
  function best(r, v) { return (v < r || r < 0) ? v : r }
  BEGIN { bb = bm = lb = lm = rb = rl = -1 }
  { bb = best(bb, $1); bm = best(bm, $2); lb = best(lb, $3); lm = best(lm, $4)
    if ($2 > 0) rb = best(rb, $1 / $2); if ($4 > 0) rl = best(rl, $3 / $4) }
  END {
    printf "\nCPU %% of one core, %d s per page, best of %d rounds, mpv --no-video --ao=null beside\n", s, rounds
    printf "  %-34s %8s %8s %8s\n", "", "player", "mpv", "ratio"
    printf "  %-34s %8.2f %8.2f %8.2f   (aims: player <= 3 %%)\n", "PlayBack page (display) in front", bb, bm, rb
    printf "  %-34s %8.2f %8.2f %8.2f   (aims: player <= 1.5 %%, ratio <= 1.2)\n", "PlayList page in front", lb, lm, rl
  }'
close_player "$win" || true
