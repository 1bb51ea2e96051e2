#!/usr/bin/env bash
# The read-outs and colours as an operator sees them: pictures of the "Effects" and "PlayBack"
# pages in both colour schemes, with values shown, on a private X server.
#
#   tools/check/values_look.sh OUTDIR [dark]
#
# A 440 Hz tone (40 s) is the only line of the copy's MemoList.ini. The steps:
#   numeric "*"                        play the tone
#   Ctrl, Ctrl                         the "PlayBack" page, then "Effects"
#   3 clicks on the balance bar's left arrow, 4 on the pitch bar's right arrow, 3 on the echo
#   bar's up arrow; the pointer then rests on the echo bar
#   OUTDIR/effects-1.png               scheme 1
#   Alt                                the colour switch
#   OUTDIR/effects-2.png               scheme 2, the pointer on the pitch range bars
#   OUTDIR/effects-2-zero.png          the pointer on the balance knob's zero button
#   Ctrl                               "PlayBack"
#   OUTDIR/playback-2.png, Alt, OUTDIR/playback-1.png
#   "?", then the help keyboard's "Home" key   OUTDIR/help-1.png
# With "dark" the player runs under the GTK platform theme with the dark Adwaita theme, as on a
# dark desktop; the pictures are then named *-dark.png.
# Environment: see common.sh. Exit code: 0 pictures taken, 1 the player failed, 2 set-up failure.
set -euo pipefail
[ $# -ge 1 ] || {
  echo "usage: $0 OUTDIR [dark]" >&2
  exit 2
}
outdir=$(realpath -m "$1")
mkdir -p "$outdir"
suffix=""
source "$(dirname "$0")/common.sh"

ensure_x_tools
build_targets velorixa velorixa-tone
"$build_dir/bin/velorixa-tone" make "$tmp/media.mp3" 440 40 >/dev/null
mkdir -p "$tmp/player"
printf '%s\r\n' "$tmp/media.mp3" >"$tmp/player/MemoList.ini"

start_xvfb
export SDL_AUDIODRIVER=dummy
if [ "${2:-}" = dark ]; then
  export QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark
  suffix=-dark
fi
show_player
click() { # x y in the window's client pixels
  xdotool mousemove --window "$win" "$1" "$2" click 1
  sleep 0.15
}
rest() { # x y: the pointer rests there
  xdotool mousemove --window "$win" "$1" "$2"
  sleep 1.2
}
shot() {
  import -window root "$outdir/$1$suffix.png"
  log "picture $outdir/$1$suffix.png"
}
log "play"
xdotool key --clearmodifiers KP_Multiply
sleep 1
xdotool key --clearmodifiers Control_L
sleep 0.3
xdotool key --clearmodifiers Control_L
sleep 0.5
# Window pixels: the balance bar spans x 289..434 at y 153..170, the pitch bar the same at
# y 345..362 (x 25..170), the echo bar (knob 7) x 156..173, y 175..271.
for _ in 1 2 3; do click 293 161; done
for _ in 1 2 3 4; do click 166 353; done
for _ in 1 2 3; do click 164 179; done
rest 164 230
shot effects-1
xdotool key --clearmodifiers Alt_L
sleep 0.5
rest 100 388
shot effects-2
rest 322 181
shot effects-2-zero
xdotool key --clearmodifiers Control_L
sleep 1
shot playback-2
xdotool key --clearmodifiers Alt_L
sleep 1
shot playback-1
click 426 144
click 270 167
sleep 0.5
shot help-1

status=0
if close_player "$win"; then log "$exit_how"; else
  log "$exit_how"
  status=1
fi
[ -s "$tmp/player.log" ] && sed 's/^/    /' "$tmp/player.log"
exit $status
