#!/usr/bin/env bash
# The balance knob swinging as an operator sets it going, heard through SDL's disk output.
#
#   tools/check/effects_swing.sh OUTDIR
#
# A 440 Hz tone (40 s) is the only line of the copy's MemoList.ini. On a private X server:
#   numeric "*"                play the tone
#   Ctrl, Ctrl                 the keyboard's page switch: "PlayBack", then "Effects"
#   6 clicks on the balance bar's right arrow   100 -> 160 (small step 10)
#   click on the balance knob's rotate button   it swings 40..160 on the slow wave
#   15 s later, click on its zero button        it glides back to the middle
# Pictures: OUTDIR/effects-still.png (before the rotate button), OUTDIR/effects-rotating-*.png.
# The recording (OUTDIR/out.raw, 32-bit float stereo, 44100 Hz) is analysed with
# bench_knobs swing: the swing's period and bounds and the balance every half second.
# Environment: see common.sh. Exit code: 0 passed, 1 a check failed, 2 set-up failure.
set -euo pipefail
source "$(dirname "$0")/common.sh"
out_dir_arg "$@"
outdir=$out

ensure_x_tools
build_targets velorixa velorixa-tone bench_knobs
"$build_dir/bin/velorixa-tone" make "$tmp/media.mp3" 440 40 >/dev/null
mkdir -p "$tmp/player"
printf '%s\r\n' "$tmp/media.mp3" >"$tmp/player/MemoList.ini"

start_xvfb
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$outdir/out.raw
show_player
click() { # x y in the window's client pixels
  xdotool mousemove --window "$win" "$1" "$2" click 1
  sleep 0.15
}
log "play"
xdotool key --clearmodifiers KP_Multiply
sleep 1
log "page Effects (Ctrl twice)"
xdotool key --clearmodifiers Control_L
sleep 0.3
xdotool key --clearmodifiers Control_L
sleep 0.5
# The balance bar: window (289, 153), 145 x 17 pixels; its right arrow near the right end.
log "balance bar to 160"
for _ in 1 2 3 4 5 6; do click 429 161; done
sleep 0.5
import -window root "$outdir/effects-still.png"
log "rotate button of the balance knob"
click 298 181
t0=$(date +%s.%N)
sleep 2
import -window root "$outdir/effects-rotating-1.png"
sleep 1.6
import -window root "$outdir/effects-rotating-2.png"
sleep 11.4
log "zero button after $(echo "$(date +%s.%N) - $t0" | bc) s"
click 322 181
sleep 3
import -window root "$outdir/effects-zeroed.png"

status=0
if close_player "$win"; then log "$exit_how"; else
  log "$exit_how"
  status=1
fi
[ -s "$tmp/player.log" ] && sed 's/^/    /' "$tmp/player.log"
[ -s "$outdir/out.raw" ] || {
  log "no recording"
  exit 1
}
"$build_dir/bin/bench_knobs" swing "$outdir/out.raw" 44100 | tee "$outdir/swing.txt"
exit $status
