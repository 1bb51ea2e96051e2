#!/usr/bin/env bash
# The sound output as a user meets it, against a private PulseAudio server with two null sinks
# ("a" at 48 kHz, the default, and "b"): the player's stream in the server (name, role, rate),
# the "Settings" page's output list, choosing "b" there (the stream moves, output.conf keeps
# it), then pulling "b" (the message line says where the sound went). Pictures go to OUT_DIR.
#
#   tools/check/output.sh OUT_DIR
#
# Environment: see common.sh. Exit code: 0 every step as expected, 1 otherwise, 2 set-up failure.
set -euo pipefail
source "$(dirname "$0")/common.sh"
out_dir_arg "$@"

command -v pulseaudio >/dev/null || { echo "pulseaudio is not installed" >&2; exit 2; }
ensure_x_tools
build_targets velorixa
start_xvfb

pulse=$tmp/pulse
mkdir -m 700 -p "$pulse"
XDG_RUNTIME_DIR=$pulse HOME=$pulse pulseaudio -n --daemonize=no --exit-idle-time=-1 \
  --disable-shm=yes --use-pid-file=no \
  -L "module-native-protocol-unix socket=$pulse/native auth-anonymous=1" \
  -L "module-null-sink sink_name=a rate=48000" -L "module-null-sink sink_name=b" \
  >"$tmp/pulse.log" 2>&1 &
pulse_pid=$!
trap 'kill $pulse_pid 2>/dev/null || true; cleanup' EXIT
export PULSE_SERVER=unix:$pulse/native
for _ in $(seq 100); do pactl list short sinks 2>/dev/null | grep -q $'\tb\t' && break; sleep 0.1; done
pactl set-default-sink a
unset SDL_AUDIODRIVER
export XDG_CONFIG_HOME=$tmp/config

fail=0
check() { if eval "$2"; then log "ok: $1"; else log "FAILED: $1"; fail=1; fi; }

show_player 1.5
inputs=$(pactl list sink-inputs)
printf '%s\n' "$inputs" >"$out/sink-inputs.txt"
check 'stream named "Velorixa"' 'grep -q "media.name = \"Velorixa\"" <<<"$inputs"'
check 'media role "music"' 'grep -q "media.role = \"music\"" <<<"$inputs"'
check 'stream at the default output'"'"'s own 48 kHz' 'grep -q "float32le 2ch 48000Hz" <<<"$inputs"'

xdotool mousemove --window "$win" 312 12 click 1  # the "Settings" tab
sleep 0.8
import -window root "$out/settings.png"
# The output list: "Default output", a, b; the third entry is "b".
xdotool mousemove --window "$win" 110 309 click 1
sleep 0.5
import -window root "$out/list.png"
xdotool key Down Down Return
sleep 1
sink_of_input() { pactl list short sink-inputs | awk '{print $2}' | head -n 1; }
b_index=$(pactl list short sinks | awk '$2 == "b" {print $1}')
check 'choosing "b" moves the stream to it' '[ "$(sink_of_input)" = "$b_index" ]'
check 'output.conf keeps "b"' 'grep -qx "output=b" "$XDG_CONFIG_HOME/velorixa/output.conf"'

module=$(pactl list short modules | awk '$2 == "module-null-sink" && $3 ~ /sink_name=b/ {print $1}')
pactl unload-module "$module"
sleep 1
a_index=$(pactl list short sinks | awk '$2 == "a" {print $1}')
check 'pulling "b" leaves the stream on "a"' '[ "$(sink_of_input)" = "$a_index" ]'
import -window root "$out/pulled.png"
check 'the player is still running' 'kill -0 "$player_pid"'

close_player "$win"
log "$exit_how"
exit $fail
