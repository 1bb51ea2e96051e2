#!/usr/bin/env bash
# Records a performance from the keyboard as an operator would, and checks the take.
#
#   tools/check/record.sh OUT_DIR
#
# A copy of the player in a temporary folder, with a home folder of its own (so the take lands
# in its Music folder), runs on a private X server with SDL's "disk" output. Keys, by xdotool:
#   Tab          the "PlayBack" page
#   F9           recording starts (the title says "VELORIXA - REC")
#   numeric "*"  play a 440 Hz tone; 5 master volume 50 % after a while
#   Tab Tab      the "Settings" page, with the recording's format and folder
#   F9           recording stops (from any page)
# Pictures: OUT_DIR/record-playback.png while recording, OUT_DIR/record-settings.png.
# The take must decode with ffprobe/ffmpeg, hold the tone and last about as long as it ran.
# Environment: see common.sh (BUILD_DIR, JOBS, CHECK_NO_BUILD, KEEP_TMP).
# Exit code: 0 passed, 1 a check failed, 2 set-up failure.
set -euo pipefail
source "$(dirname "$0")/common.sh"
out_dir_arg "$@"

ensure_x_tools
build_targets velorixa velorixa-tone
tone=$build_dir/bin/velorixa-tone

mkdir -p "$tmp/media" "$tmp/player" "$tmp/home"
a="$tmp/media/tone 440.mp3"
"$tone" make "$a" 440 20 >/dev/null
printf '%s\r\n' "$a" >"$tmp/player/MemoList.ini"
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/home/.config

start_xvfb
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$tmp/out.raw
show_player 1.5

key() {
  log "key $1"
  xdotool key --clearmodifiers "$1"
}
key Tab
key F9
sleep 0.5
title=$(xdotool getwindowname "$win")
log "title while recording: $title"
key KP_Multiply
sleep 3
key 5
sleep 1.5
import -window root "$out/record-playback.png"
log "screenshot: $out/record-playback.png"
key Tab
key Tab
sleep 0.5
import -window root "$out/record-settings.png"
log "screenshot: $out/record-settings.png"
key F9
sleep 0.5

status=0
if close_player "$win"; then log "$exit_how"; else
  log "$exit_how"
  status=1
fi
[ "$title" = "VELORIXA - REC" ] || {
  log "FAIL: the title while recording was \"$title\""
  status=1
}
take=$(find "$tmp/home/Music" -name 'Velorixa *.flac' | head -n 1)
if [ -z "$take" ]; then
  log "FAIL: no take in $tmp/home/Music"
  ls -la "$tmp/home" "$tmp/home/Music" 2>/dev/null || true
  exit 1
fi
cp "$take" "$out/"
log "take: $(basename "$take") ($(stat -c %s "$take") bytes)"
ffprobe -v error -show_entries stream=codec_name,sample_rate,channels,bits_per_raw_sample:format=duration -of compact "$take"
seconds=$(ffmpeg -nostdin -v error -xerror -i "$take" -f s32le - | wc -c | awk '{printf "%.2f", $1 / 8 / 44100}')
log "decoded: $seconds s (recorded from F9 to F9, about 7 s)"
ffmpeg -nostdin -v error -i "$take" -f f32le -ac 2 "$tmp/take.raw"
"$tone" analyze "$tmp/take.raw" f32 44100 2 | grep -E '^(heard|tones):' || true
if awk -v s="$seconds" 'BEGIN { exit !(s > 5 && s < 12) }'; then
  log "PASS: the take decodes and lasts $seconds s"
else
  log "FAIL: the take lasts $seconds s"
  status=1
fi
if [ -s "$tmp/player.log" ]; then
  log "player output:"
  sed 's/^/    /' "$tmp/player.log"
fi
exit $status
