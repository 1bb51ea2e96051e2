#!/usr/bin/env bash
# A controller plays a set while the player runs, heard through SDL's disk output.
#
#   tools/check/midi.sh OUTDIR
#
# A JACK server of the check's own (dummy back end) and a JACK MIDI client (velorixa-midipad
# play) stand in for the stage's controller "vxpad:out", whose mapping lies in the user's
# configuration folder ($XDG_CONFIG_HOME/velorixa): a knob on the pitch, a pad on key A, a pad on
# "Initial Sound". The copy's set holds key A (volume 90, reverb 40) and its list a 440 Hz tone.
# On a private X server:
#   numeric "*"            play the tone; then the controller is plugged in
#   the knob sweeps        64 -> 127 -> 0 -> 64 (pitch 100 -> 150 -> 50 -> 100), 2 s each way
#   pad A, pad "Initial Sound" held 1 s and let go
# The recording (OUTDIR/out.raw) is analysed with velorixa-midipad hear: the tone's frequency and
# level every half second (OUTDIR/heard.txt); a picture of the "Settings" page with the binding
# (OUTDIR/settings.png).
# Environment: see common.sh. Exit code: 0 passed, 1 a check failed, 2 set-up failure.
set -euo pipefail
source "$(dirname "$0")/common.sh"
out_dir_arg "$@"
outdir=$out

ensure_x_tools
build_targets velorixa velorixa-tone velorixa-midipad
pad=$build_dir/bin/velorixa-midipad
"$build_dir/bin/velorixa-tone" make "$tmp/media.mp3" 440 40 >/dev/null
mkdir -p "$tmp/player" "$tmp/config/velorixa"
printf '%s\r\n' "$tmp/media.mp3" >"$tmp/player/MemoList.ini"
"$pad" makeset "$tmp/player/Stage.PSF"
cat >"$tmp/config/velorixa/midi-vxpad_out.map" <<'MAP'
# Velorixa controller mapping 1
cc 1 20 = knob 2
note 10 36 = key A
note 10 37 = initial-sound
MAP
export XDG_CONFIG_HOME=$tmp/config JACK_DEFAULT_SERVER=vxcheck$$
jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 44100 -p 256 >"$tmp/jackd.log" 2>&1 &
jackd_pid=$!
trap 'kill $jackd_pid 2>/dev/null || true; cleanup' EXIT
for _ in $(seq 50); do
  [ -e "/dev/shm/jack_${JACK_DEFAULT_SERVER}_$(id -u)_0" ] && break
  sleep 0.1
done
log "jackd $JACK_DEFAULT_SERVER (pid $jackd_pid)"

start_xvfb
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$outdir/out.raw
cat >"$tmp/script" <<'SCRIPT'
wait 2500
cc 1 20 64
wait 500
sweep 1 20 64 127 2000
sweep 1 20 127 0 2000
sweep 1 20 0 64 2000
wait 1000
note 10 36
wait 200
off 10 36
wait 2000
note 10 37
wait 1000
off 10 37
wait 1500
SCRIPT
show_player
log "play"
xdotool key --clearmodifiers KP_Multiply
# The controller is plugged in while the player runs: it is found within a second.
"$pad" play "$tmp/script" >"$tmp/pad.log" 2>&1 &
pad_pid=$!
wait "$pad_pid" || log "the pad script failed: $(cat "$tmp/pad.log")"
sed 's/^/    /' "$tmp/pad.log" | tail -n 3
xdotool mousemove --window "$win" 312 12 click 1  # the "Settings" tab
sleep 0.5
import -window root "$outdir/settings.png"

status=0
if close_player "$win"; then log "$exit_how"; else
  log "$exit_how"
  status=1
fi
[ -s "$tmp/player.log" ] && grep -v 'propagateSizeHints\|XDG_RUNTIME' "$tmp/player.log" | sed 's/^/    /' || true
[ -s "$outdir/out.raw" ] || {
  log "no recording"
  exit 1
}
"$pad" hear "$outdir/out.raw" 440 | tee "$outdir/heard.txt"
exit $status
