#!/usr/bin/env bash
# Looks at the display as an operator would: a tone sweep followed by pink noise (made with sox)
# plays on a private X server with SDL's dummy output, and screenshots are taken of the
# "PlayBack" page a second apart in both colour schemes (Alt), of the circle on the "Effects"
# page with the grid shown, and of both pages while paused.
#
#   tools/check/display.sh OUT_DIR
#
# Writes OUT_DIR/01-playback-scheme1-a.png ... 08-effects-paused.png (the window only).
# Needs sox with MP3 output (apt-get install sox libsox-fmt-mp3); the player's tests do not.
# Environment: see common.sh (BUILD_DIR, JOBS, CHECK_NO_BUILD, KEEP_TMP).
# Exit code: 0 pictures taken and player closed, 1 otherwise, 2 set-up failure.
set -euo pipefail
source "$(dirname "$0")/common.sh"
out_dir_arg "$@"
command -v sox >/dev/null || {
  echo "sox is needed: apt-get install sox libsox-fmt-mp3" >&2
  exit 2
}

ensure_x_tools
build_targets velorixa
mkdir -p "$tmp/media" "$tmp/player"
music="$tmp/media/sweep and pink noise.mp3"
sox -n -r 44100 -c 2 "$tmp/media/sweep.wav" synth 8 sine 40-16000 vol 0.6
sox -n -r 44100 -c 2 "$tmp/media/pink.wav" synth 60 pinknoise vol 0.7
sox "$tmp/media/sweep.wav" "$tmp/media/pink.wav" "$music"
printf '%s\r\n' "$music" >"$tmp/player/MemoList.ini"

start_xvfb
export SDL_AUDIODRIVER=dummy
show_player
key() { xdotool key --clearmodifiers "$1"; }
shot() {
  import -window "$win" "$out/$1.png"
  log "$1.png"
}
key KP_Multiply # play
key Tab         # page "PlayBack"
sleep 3         # inside the sweep
shot 01-playback-scheme1-a
sleep 1
shot 02-playback-scheme1-b
key Alt_L # the light scheme
sleep 4   # into the pink noise
shot 03-playback-scheme2-a
sleep 1
shot 04-playback-scheme2-b
key Alt_L # back
key Control_L # page "Effects"
sleep 0.5
# The circle's picture, twice: the first click hides the circle, the second shows it with the grid.
xdotool mousemove --window "$win" 228 372 click 1
sleep 0.3
xdotool mousemove --window "$win" 228 372 click 1
xdotool mousemove --window "$win" 20 300
sleep 1
shot 05-effects-circle-grid
key Control_L
key Return # pause
sleep 1
shot 06-playback-paused
key Control_L
sleep 0.5
shot 07-effects-paused

status=0
close_player "$win" || status=1
log "$exit_how"
exit $status
