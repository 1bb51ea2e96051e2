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
#   Tab          the "Effects" page
#   F9           recording stops (from any page)
# Picture: OUT_DIR/record-playback.png while recording (toggle, time and size, format, folder).
# The take must decode with ffprobe/ffmpeg, hold the tone and be, sample for sample, what the
# output delivered between the two F9 presses.
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
t_start=$(date +%s.%N)
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
sleep 0.3
key F9
t_stop=$(date +%s.%N)
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
wall=$(awk -v a="$t_start" -v b="$t_stop" 'BEGIN { printf "%.2f", b - a }')
log "decoded: $seconds s; F9 to F9 took $wall s"
ffmpeg -nostdin -v error -i "$take" -f f32le -ac 2 "$tmp/take.raw"
"$tone" analyze "$tmp/take.raw" f32 44100 2 | grep -E '^(heard|tones):' || true
# The take must be, sample for sample, what the output delivered (SDL's disk output wrote it to
# out.raw as 32-bit floats): each float x is round(x * (2^23 - 1)) in the take's 24 bits. The
# two are lined up at the first sound; the disk output's clock may run slower than the wall's on
# a busy machine, so the time between the F9 presses is only shown.
ffmpeg -nostdin -v error -i "$take" -f s32le "$tmp/take.s32"
if python3 - "$tmp/take.s32" "$tmp/out.raw" <<'PY'; then
import array, sys
take = array.array("i"); take.frombytes(open(sys.argv[1], "rb").read())
out = array.array("f"); raw = open(sys.argv[2], "rb").read(); out.frombytes(raw[: len(raw) // 4 * 4])
def q(x):
    v = x * 8388607.0
    return int(v + 0.5 if v >= 0 else v - 0.5) * 256
first = next(i for i, v in enumerate(take) if v != 0)
first_out = next(i for i, v in enumerate(out) if q(v) != 0)
at = first_out - first
if at < 0 or at + len(take) > len(out):
    print(f"the take does not lie within the output (offset {at})"); sys.exit(1)
bad = sum(1 for i in range(len(take)) if take[i] != q(out[at + i]))
print(f"take: {len(take) // 2} frames; against the output from frame {at // 2}: {bad} samples differ")
sys.exit(1 if bad else 0)
PY
  log "PASS: the take decodes, holds the tone and is exactly what the output delivered"
else
  log "FAIL: the take differs from what the output delivered"
  status=1
fi
if [ -s "$tmp/player.log" ]; then
  log "player output:"
  sed 's/^/    /' "$tmp/player.log"
fi
exit $status
