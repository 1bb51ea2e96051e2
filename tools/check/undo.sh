#!/usr/bin/env bash
# Takes back a "Clear List" as a user would: the player starts with a saved list of five lines
# on a private X server, two lines are selected with the mouse, "Clear List" is clicked, then
# Ctrl+Z is typed. Pictures after the clear and after the undo; the list saved at exit must be
# the list from before the clear.
#
#   tools/check/undo.sh OUT_DIR
#
# Writes OUT_DIR/undo-cleared.png and OUT_DIR/undo-back.png.
# Environment: see common.sh (BUILD_DIR, JOBS, CHECK_NO_BUILD, KEEP_TMP).
# Exit code: 0 the list came back and was saved, 1 otherwise, 2 set-up failure.
set -euo pipefail
source "$(dirname "$0")/common.sh"
out_dir_arg "$@"

ensure_x_tools
build_targets velorixa
start_xvfb
export SDL_AUDIODRIVER=dummy
mkdir -p "$tmp/player"
lines=""
for i in 1 2 3 4 5; do lines+="/music/song $i.mp3"$'\r\n'; done
printf '%s' "$lines" >"$tmp/player/MemoList.ini"
cp "$tmp/player/MemoList.ini" "$tmp/expected.ini"
show_player

# The list is greyed after start-up: a click makes it active, then lines 2 to 4 are selected
# (Shift with a click: Ctrl is the page switch key).
row_y() { echo $((38 + ($1 - 1) * 15 + 7)); }
xdotool mousemove --window "$win" 150 "$(row_y 1)" click 1
sleep 0.3
xdotool mousemove --window "$win" 150 "$(row_y 2)" click 1
xdotool keydown shift mousemove --window "$win" 150 "$(row_y 4)" click 1 keyup shift
sleep 0.5
# "Clear List" in the right column.
xdotool mousemove --window "$win" 407 183 click 1
sleep 0.5
import -window "$win" "$out/undo-cleared.png"
log "after Clear List: $out/undo-cleared.png"
xdotool mousemove --window "$win" 700 500
sleep 0.3
xdotool key --window "$win" ctrl+z
sleep 0.7
import -window "$win" "$out/undo-back.png"
log "after Ctrl+Z: $out/undo-back.png"

# The list's box: one or two colours when empty, the lines' text and highlight when not.
list_colours() { convert "$1" -crop 346x378+12+36 +repage -format %k info:; }
status=0
cleared=$(list_colours "$out/undo-cleared.png")
back=$(list_colours "$out/undo-back.png")
log "colours in the list's box: $cleared after Clear List, $back after Ctrl+Z"
if [ "$cleared" -gt 3 ] || [ "$back" -le 3 ]; then
  log "the list was not cleared and brought back"
  status=1
fi
if close_player "$win"; then
  log "$exit_how"
else
  log "$exit_how"
  status=1
fi
if cmp -s "$tmp/player/MemoList.ini" "$tmp/expected.ini"; then
  log "MemoList.ini holds the five lines again"
else
  log "MemoList.ini after exit:"
  sed 's/^/    /' "$tmp/player/MemoList.ini"
  status=1
fi
exit $status
