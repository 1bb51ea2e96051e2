#!/usr/bin/env bash
# A bad item in the queue does not silence the show: the player on a private X server plays a
# list of a good tone, a corrupt file and another good tone from the keyboard, and what it played
# is recorded through SDL's "disk" output.
#
#   tools/check/dead_air.sh
#
# By xdotool: a click on "Down" under "Queue :", numeric "*" to play the first line, then nothing
# more until the end but a volume key ("7") while the corrupt item's message is up.
# The recording must hold both tones; a screenshot a second is left in the temporary folder
# (KEEP_TMP=1 keeps it).
# Environment: see common.sh (BUILD_DIR, JOBS, CHECK_NO_BUILD, KEEP_TMP).
# Exit code: 0 passed, 1 a check failed, 2 set-up failure.
set -euo pipefail
source "$(dirname "$0")/common.sh"

ensure_x_tools
build_targets velorixa velorixa-tone
tone=$build_dir/bin/velorixa-tone

mkdir -p "$tmp/media"
a="$tmp/media/tone A 440.mp3"
bad="$tmp/media/broken.mp3"
b="$tmp/media/tone B 880.mp3"
"$tone" make "$a" 440 2 >/dev/null
"$tone" make "$b" 880 2 >/dev/null
head -c 20000 /dev/urandom >"$bad"
write_music_list "$a" "$bad" "$b"
log "MemoList.ini: a tone, a corrupt file, a tone"

start_recorded_player "$tmp/out.raw" 1.2

# "Queue :" Down (a click on its button), then play: the first tone, the corrupt item reached by
# the play order at its end, then the second tone with no key. A picture every second shows the
# message line when it comes, and a volume key goes in while it stands.
play_list_in_order
for n in 1 2 3 4 5 6 7 8; do
  sleep 1
  import -window root "$tmp/dead_air_$n.png" 2>/dev/null || true
  [ "$n" = 3 ] && xdotool key --clearmodifiers 7
done

status=0
close_and_log status
analyze_tones "$tmp/out.raw"
has() { for f in "${heard[@]}"; do [ "$f" -ge "$1" ] && [ "$f" -le "$2" ] && return 0; done; return 1; }
if has 430 450 && has 860 900; then
  log "PASS: both tones heard (${heard[*]}) with the corrupt item between them in the list"
else
  log "FAIL: expected 440 Hz and 880 Hz, heard: ${heard[*]:-nothing}"
  status=1
fi
log "screenshots: $tmp/dead_air_1.png .. dead_air_8.png"
exit $status
