#!/usr/bin/env bash
# Starts the player as ./velorixa.sh play does, on a private X server (Xvfb, 800 x 600) with
# SDL's dummy audio output, takes a picture of the screen after about 3 s, then closes the
# player with Escape and "Yes", and tells whether it ended.
#
#   tools/check/screenshot.sh OUT.png
#
# Also writes OUT-exit.png: the screen with the "Exit" question. The player runs as a copy in a
# temporary folder, so the developer's MemoList.ini next to build/bin/velorixa is left alone.
# Environment: see common.sh (BUILD_DIR, JOBS, CHECK_NO_BUILD, KEEP_TMP).
# Exit code: 0 picture taken and player ended, 1 otherwise, 2 set-up failure.
set -euo pipefail
[ $# -eq 1 ] || {
  echo "usage: $0 OUT.png" >&2
  exit 2
}
out=$(realpath -m "$1")
exit_shot=${out%.png}-exit.png
source "$(dirname "$0")/common.sh"

ensure_x_tools
build_targets velorixa
start_xvfb
export SDL_AUDIODRIVER=dummy
show_player 0
log "window $win: $(xdotool getwindowgeometry "$win" | tail -n +2 | tr -s ' \n' ' ')"
sleep 3
import -window root "$out"
log "screenshot: $out ($(identify -format '%wx%h' "$out"))"

status=0
if close_player "$win"; then
  log "$exit_how"
else
  log "$exit_how"
  status=1
fi
[ -f "$exit_shot" ] && log "exit question: $exit_shot"
if [ -s "$tmp/player.log" ]; then
  log "player output:"
  sed 's/^/    /' "$tmp/player.log"
fi
exit $status
