#!/usr/bin/env bash
# A folder of mixed formats plays in order: the player on a private X server plays a list of one
# tone per format (MP3, FLAC, Ogg Vorbis, Opus, AAC in M4A, ADTS AAC, WAV and AIFF, each at its
# own frequency and some at other rates than 44.1 kHz), and what it played is recorded through
# SDL's "disk" output.
#
#   tools/check/formats.sh
#
# By xdotool: a click on "Down" under "Queue :", numeric "*" to play the first line, then no key
# until the end. The recording must hold every tone, in the list's order.
# Environment: see common.sh (BUILD_DIR, JOBS, CHECK_NO_BUILD, KEEP_TMP).
# Exit code: 0 passed, 1 a check failed, 2 set-up failure.
set -euo pipefail
source "$(dirname "$0")/common.sh"

ensure_x_tools
ensure_packages "the formats check" ffmpeg
build_targets velorixa velorixa-tone

mkdir -p "$tmp/media"
# name, frequency, rate, channels, ffmpeg's codec options
formats=(
  "a.mp3 300 44100 2 -c:a libmp3lame"
  "b.flac 400 48000 2 -c:a flac"
  "c.ogg 500 44100 1 -c:a libvorbis"
  "d.opus 600 48000 2 -c:a libopus"
  "e.m4a 700 44100 2 -c:a aac"
  "f.aac 800 32000 2 -c:a aac"
  "g.wav 900 96000 2 -c:a pcm_s24le"
  "h.aiff 1000 22050 1 -c:a pcm_s16be"
)
expected=() files=()
for f in "${formats[@]}"; do
  read -r name freq rate ch codec <<<"$f"
  ffmpeg -v error -f lavfi -i "sine=frequency=$freq:sample_rate=$rate:duration=2" \
    -ac "$ch" $codec "$tmp/media/$name"
  files+=("$tmp/media/$name")
  expected+=("$freq")
done
write_music_list "${files[@]}"
log "MemoList.ini: ${#formats[@]} tones, one per format"

start_recorded_player "$tmp/out.raw" 1.2

play_list_in_order
sleep 5
import -window root "$tmp/formats.png" 2>/dev/null || true
sleep $((2 * ${#formats[@]} - 3))

status=0
close_and_log status
analyze_tones "$tmp/out.raw"
# Each expected tone, in order, within 3 %.
at=0
for want in "${expected[@]}"; do
  found=0
  while [ $at -lt ${#heard[@]} ]; do
    got=${heard[$at]}
    at=$((at + 1))
    if [ $((got * 100)) -ge $((want * 97)) ] && [ $((got * 100)) -le $((want * 103)) ]; then
      found=1
      break
    fi
  done
  if [ $found = 0 ]; then
    log "FAIL: $want Hz not heard in order (heard: ${heard[*]:-nothing})"
    status=1
  fi
done
[ $status = 0 ] && log "PASS: every format heard in order: ${heard[*]}"
log "screenshot: $tmp/formats.png"
exit $status
