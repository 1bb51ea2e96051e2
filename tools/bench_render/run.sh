#!/usr/bin/env bash
# The render tool as a whole process against the reference decoder's own program on the same
# MP3: `velorixa-render FILE OUT.wav` (every effect off) beside `mpg123 -w OUT.wav FILE`, in CPU
# seconds (user + system) of each, alternating rounds, best of each, and their ratio (target at
# most 1.3). Both write a 16-bit WAV to the same folder; start-up, decoding, the chain and the
# writing all count, as a user running either one pays for them.
#   tools/bench_render/run.sh [--rounds N] [--file FILE.mp3] [-- render options]
# Without --file a 180 s stereo MP3 of music-like noise and a tone is made with ffmpeg.
# Options after "--" go to velorixa-render (--frq 130, --fx 40,0,0,0, ...) to see what a
# setting costs; the ratio against mpg123 is then no longer like for like.
# Environment: BUILD_DIR (default build), JOBS, VELORIXA_NO_INSTALL, as for velorixa.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
rounds=5
file=
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift 2 ;;
    --file) file=$(realpath "$2"); shift 2 ;;
    --) shift; break ;;
    *) echo "usage: $0 [--rounds N] [--file FILE.mp3] [-- render options]" >&2; exit 2 ;;
  esac
done
source tools/lib/packages.sh
ensure_packages "the render benchmark" mpg123 ffmpeg time
TARGETS=velorixa-render ./velorixa.sh build >/dev/null
render="$PWD/${BUILD_DIR:-build}/bin/velorixa-render"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
if [ -z "$file" ]; then
  file=$tmp/music.mp3
  ffmpeg -nostdin -loglevel error -f lavfi -i "anoisesrc=color=pink:amplitude=0.2:duration=180" \
    -f lavfi -i "sine=frequency=220:duration=180" \
    -filter_complex "[0][1]amix=inputs=2,aformat=channel_layouts=stereo" -ar 44100 -b:a 192k "$file"
fi

# CPU seconds (user + system) of one run of the command.
cpu() {
  /usr/bin/time -f "%U %S" -o "$tmp/time" "$@" >/dev/null 2>"$tmp/err" || {
    cat "$tmp/err" >&2
    exit 1
  }
  awk '{printf "%.3f", $1 + $2}' "$tmp/time"
}
best_ours=
best_ref=
echo "load before: $(uptime | sed 's/.*load average: //')"
for ((i = 1; i <= rounds; i++)); do
  ours=$(cpu "$render" "$@" "$file" "$tmp/ours.wav")
  ref=$(cpu mpg123 -q -w "$tmp/ref.wav" "$file")
  printf 'round %d: velorixa-render %s s, mpg123 -w %s s\n' "$i" "$ours" "$ref"
  best_ours=$(awk -v a="$ours" -v b="${best_ours:-$ours}" 'BEGIN { print (a < b ? a : b) }')
  best_ref=$(awk -v a="$ref" -v b="${best_ref:-$ref}" 'BEGIN { print (a < b ? a : b) }')
done
echo "load after: $(uptime | sed 's/.*load average: //')"
awk -v o="$best_ours" -v r="$best_ref" 'BEGIN {
  printf "best of the rounds: velorixa-render %.3f s, mpg123 -w %.3f s, ratio %.2f (target <= 1.3)\n",
    o, r, o / r }'
