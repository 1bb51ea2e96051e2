#!/usr/bin/env bash
# Plays two items from the keyboard as an operator would and listens to what came out.
#
#   tools/check/keyboard_audio.sh
#
# Two tones (440 Hz and 880 Hz, 2 s each) are made with velorixa-tone; a copy of the player in a
# temporary folder gets a MemoList.ini with their paths and runs on a private X server with SDL's
# "disk" output writing everything it plays into out.raw. Keys, by xdotool:
#   numeric "*"  play: the first item comes by the play order (Random at start-up)
#   Down         the selection moves to the other line (the list has two)
#   numeric "-"  next: the selected line that is not playing wins, so the other tone follows
#   Escape, then Y on the "Exit" question
# The recording must hold the two different tones one after the other, and MemoList.ini must
# still hold the two lines after the player closed.
# Environment: see common.sh (BUILD_DIR, JOBS, CHECK_NO_BUILD, KEEP_TMP).
# Exit code: 0 passed, 1 a check failed, 2 set-up failure.
set -euo pipefail
source "$(dirname "$0")/common.sh"

ensure_x_tools
build_targets velorixa velorixa-tone
tone=$build_dir/bin/velorixa-tone

mkdir -p "$tmp/media" "$tmp/player"
a="$tmp/media/tone A 440.mp3"
b="$tmp/media/tone B 880.mp3"
"$tone" make "$a" 440 2 >/dev/null
"$tone" make "$b" 880 2 >/dev/null
memo=$tmp/player/MemoList.ini
printf '%s\r\n%s\r\n' "$a" "$b" >"$memo"
log "MemoList.ini: 2 lines ($a, $b)"

start_xvfb
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$tmp/out.raw
show_player 0
log "window $win has the focus: $([ "$(xdotool getwindowfocus)" = "$win" ] && echo yes || echo "no ($(xdotool getwindowfocus))")"
sleep 1.2 # the title cover comes off half a second after start-up

key() {
  log "key $1"
  xdotool key --clearmodifiers "$1"
}
key KP_Multiply
sleep 1.5
key Down
key KP_Subtract
sleep 2.5

status=0
if close_player "$win"; then
  log "$exit_how"
else
  log "$exit_how"
  status=1
  kill "$player_pid" 2>/dev/null || true
  wait_player_end 5 || true
fi
if [ -s "$tmp/player.log" ]; then
  log "player output:"
  sed 's/^/    /' "$tmp/player.log"
fi

# The list must survive the close: it is written back when the player ends.
lines_after=$(grep -c . "$memo" || true)
if [ "$lines_after" = 2 ]; then
  log "MemoList.ini after close: 2 lines, as before"
else
  log "MemoList.ini after close: $lines_after non-empty lines, was 2 (content: $(od -c "$memo" | head -n 3 | tr -s ' \n' ' '))"
  status=1
fi

if [ ! -s "$tmp/out.raw" ]; then
  log "no audio output was written to out.raw"
  exit 1
fi
# The audio layer opens SDL with 32-bit float stereo at 44100 Hz.
"$tone" analyze "$tmp/out.raw" f32 44100 2 >"$tmp/analysis.txt"
grep -E '^(heard|tones):' "$tmp/analysis.txt"
read -r -a heard <<<"$(sed -n 's/^tones: *//p' "$tmp/analysis.txt")"
if [ ${#heard[@]} -ge 2 ] &&
  { { [ "${heard[0]}" -ge 430 ] && [ "${heard[0]}" -le 450 ] && [ "${heard[1]}" -ge 860 ] && [ "${heard[1]}" -le 900 ]; } ||
    { [ "${heard[0]}" -ge 860 ] && [ "${heard[0]}" -le 900 ] && [ "${heard[1]}" -ge 430 ] && [ "${heard[1]}" -le 450 ]; }; }; then
  log "PASS: ${heard[0]} Hz then ${heard[1]} Hz"
else
  log "FAIL: expected 440 Hz and 880 Hz one after the other, heard: ${heard[*]:-nothing}"
  status=1
fi
exit $status
