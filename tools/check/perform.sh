#!/usr/bin/env bash
# The performance keys as a performer uses them, heard through SDL's disk output.
#
#   tools/check/perform.sh OUTDIR
#
# A 440 Hz tone (60 s) is the only line of the copy's MemoList.ini. On a private X server:
#   run 1: numeric "*" plays; Ctrl, Ctrl to "Effects"; ten clicks on the pitch bar's right arrow
#          (100 -> 150); Tab to "Settings"; click B under "Assign Current Setting to Key :",
#          click "Assign"; Space (the initial sound: pitch back to 100); type "live" into the
#          save-name field and click "Save Set as ..."; Escape, Y.
#   run 2: play; press B (the recalled pitch 150: the tone an octave up); on "Settings" click
#          "live.PSF" in the set list and F2 beside it (F2 bound, bold); Space; Escape, Y.
#   run 3: play; F2 (loads the bound set), then B.
# Pictures: OUTDIR/*.png. Recordings: OUTDIR/run1.raw .. run3.raw (32-bit float stereo,
# 44100 Hz), each analysed as the tone's frequency every half second.
# Environment: see common.sh. Exit code: 0 passed, 1 a check failed, 2 set-up failure.
set -euo pipefail
source "$(dirname "$0")/common.sh"
out_dir_arg "$@"
outdir=$out

ensure_x_tools
build_targets velorixa velorixa-tone
"$build_dir/bin/velorixa-tone" make "$tmp/media.mp3" 440 60 >/dev/null
mkdir -p "$tmp/player"
printf '%s\r\n' "$tmp/media.mp3" >"$tmp/player/MemoList.ini"
start_xvfb

win=""
run_player() { # $1: recording name
  export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$outdir/$1.raw
  show_player
  log "$1: play"
  xdotool key --clearmodifiers KP_Multiply
  sleep 2
}
click() { # x y in the window's client pixels
  xdotool mousemove --window "$win" "$1" "$2" click 1
  sleep 0.15
}
key() {
  xdotool key --clearmodifiers "$@"
  sleep 0.4
}
shot() { import -window root "$outdir/$1.png"; }
stop_player() {
  if close_player "$win"; then log "$exit_how"; else
    log "$exit_how"
    status=1
  fi
}
status=0

run_player run1
key Control_L
key Control_L # "Effects"
log "pitch bar to 150 (ten clicks on its right arrow)"
for _ in $(seq 10); do click 163 353; done
sleep 1
shot run1-pitch150
key Tab # "Settings"
click 336 254 # B under "Assign Current Setting to Key :"
click 288 288 # "Assign"
shot run1-assigned
key space # the initial sound
sleep 2
click 70 337 # the save-name field
xdotool type --delay 80 live
click 84 366 # "Save Set as ..."
sleep 0.5
shot run1-saved
stop_player
[ -e "$tmp/player/live.PSF" ] || {
  log "live.PSF was not written"
  status=1
}

run_player run2
log "B"
key b
sleep 3
key Tab
key Tab
key Tab # "Settings"
click 64 82 # the first set in the list
click 93 259 # F2
shot run2-f2-bound
key space
sleep 2
stop_player
log "MemoSett.ini: $(tr '\r\n' '|.' <"$tmp/player/MemoSett.ini" 2>/dev/null || echo missing)"

run_player run3
log "F2, then B"
key F2
key b
sleep 3
shot run3-after-b
stop_player

[ -s "$tmp/player.log" ] && sed 's/^/    /' "$tmp/player.log"
# The tone's frequency every half second (zero crossings of the left channel).
for run in run1 run2 run3; do
  python3 - "$outdir/$run.raw" <<'EOF' | tee "$outdir/$run.txt"
import array, sys
a = array.array("f")
with open(sys.argv[1], "rb") as f:
    a.frombytes(f.read())
left = a[0::2]
win = 22050
out = []
for start in range(0, len(left) - win + 1, win):
    x = left[start:start + win]
    ups = sum(1 for i in range(1, len(x)) if x[i - 1] < 0 <= x[i])
    out.append("-" if max(abs(v) for v in x) < 1e-3 else str(ups * 2))
print("%s: %.1f s, Hz every 0.5 s: %s" % (sys.argv[1].rsplit("/", 1)[-1], len(left) / 44100.0, " ".join(out)))
EOF
done
exit $status
