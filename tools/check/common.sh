# Shared by the check scripts (sourced, not run): the X tools, a private X server, the build,
# and a copy of the player in a folder of its own.
#
# The player run from the build keeps "MemoList.ini" next to its executable (build/bin holds the
# portable marker) and writes it when it closes, so the checks never run build/bin/velorixa
# itself: they run a portable copy from a temporary folder.
#
# Environment: BUILD_DIR (default build), JOBS (build jobs), CHECK_NO_BUILD=1 (use what is
# built), KEEP_TMP=1 (leave the temporary folder for inspection), VELORIXA_NO_INSTALL=1 (install
# nothing, as for velorixa.sh).

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build_dir=$repo/${BUILD_DIR:-build}
tmp=$(mktemp -d /tmp/velorixa-check.XXXXXX)
xvfb_pid=""
player_pid=""

# The one argument of the checks that take an output folder: sets out to its absolute path and
# makes it, or says how the script is called.
out_dir_arg() {
  if [ $# -ne 1 ]; then
    echo "usage: $0 OUT_DIR" >&2
    exit 2
  fi
  out=$(realpath -m "$1")
  mkdir -p "$out"
}

log() { printf '[%s] %s\n' "$(date +%H:%M:%S)" "$*"; }

cleanup() {
  # Only what this script started, by its process id.
  if [ -n "$player_pid" ] && kill -0 "$player_pid" 2>/dev/null; then kill "$player_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then kill "$xvfb_pid" 2>/dev/null || true; fi
  if [ "${KEEP_TMP:-0}" = 1 ]; then log "kept $tmp"; else rm -rf "$tmp"; fi
}
trap cleanup EXIT

# Xvfb, xdotool and ImageMagick are tools of these checks only, not of the player.
source "$repo/tools/lib/packages.sh"
ensure_x_tools() {
  ensure_packages "the checks" xvfb xdotool imagemagick
}

# Builds the given targets the way ./velorixa.sh does (it installs the build packages too).
build_targets() {
  if [ "${CHECK_NO_BUILD:-0}" = 1 ]; then return 0; fi
  log "building $* in $build_dir"
  (cd "$repo" && BUILD_DIR=${BUILD_DIR:-build} TARGETS="$*" ./velorixa.sh build) >"$tmp/build.log" 2>&1 || {
    tail -n 30 "$tmp/build.log"
    echo "build failed" >&2
    exit 2
  }
}

# A private X server at 800 x 600 x 24 on a free display; exports DISPLAY.
start_xvfb() {
  local fdfile=$tmp/display
  Xvfb -displayfd 5 -screen 0 800x600x24 -nolisten tcp 5>"$fdfile" >"$tmp/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    if [ -s "$fdfile" ]; then
      export DISPLAY=":$(head -n 1 "$fdfile")"
      log "Xvfb on $DISPLAY (pid $xvfb_pid)"
      return 0
    fi
    sleep 0.1
  done
  echo "Xvfb did not start" >&2
  cat "$tmp/xvfb.log" >&2
  exit 2
}

# Copies the player into $tmp/player/ (its AppPath) and starts it there; sets player_pid.
# A private PulseAudio with one null sink "bench" at $1 Hz (default 44100), for benchmarks that
# play into a real sound server: its own socket, no shared memory (as a sandboxed client would
# see it). Sets pulse_pid and exports PULSE_SERVER and XDG_RUNTIME_DIR.
start_pulse() {
  local rate=${1:-44100}
  mkdir -p "$tmp/run"
  chmod 700 "$tmp/run"
  export XDG_RUNTIME_DIR=$tmp/run
  HOME=$tmp/run pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes \
    -L "module-native-protocol-unix socket=$tmp/run/native auth-anonymous=1" \
    -L "module-null-sink sink_name=bench rate=$rate" >"$tmp/pulse.log" 2>&1 &
  pulse_pid=$!
  export PULSE_SERVER=unix:$tmp/run/native
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl info >/dev/null 2>&1 || { cat "$tmp/pulse.log" >&2; echo "PulseAudio did not start" >&2; exit 2; }
  log "PulseAudio (pid $pulse_pid), null sink at $rate Hz"
}

start_player() {
  mkdir -p "$tmp/player"
  cp "$build_dir/bin/velorixa" "$tmp/player/velorixa"
  # The MIDI module travels with the player (it is loaded from beside the program).
  if [ -e "$build_dir/bin/libvelorixa_rtmidi.so" ]; then
    cp "$build_dir/bin/libvelorixa_rtmidi.so" "$tmp/player/"
  fi
  # A portable copy: its files stay in $tmp/player, not in the user's data folder.
  : >"$tmp/player/velorixa.portable"
  # The starter station list the build puts beside the player, unless the check brought its own
  # (without one the player starts with its "NetRadio list not found" message).
  if [ ! -e "$tmp/player/NetRadio.ini" ] && [ -e "$build_dir/bin/NetRadio.ini" ]; then
    cp "$build_dir/bin/NetRadio.ini" "$tmp/player/NetRadio.ini"
  fi
  (cd "$tmp" && exec "$tmp/player/velorixa") >"$tmp/player.log" 2>&1 &
  player_pid=$!
  log "player started (pid $player_pid) from $tmp/player"
}

# start_player, then its window: waits up to 10 s for it (without one, prints the player's output
# and ends the check with exit code 1), gives it the focus and waits $1 seconds (default 1.2: the
# title cover comes off half a second after start-up). Sets win.
show_player() {
  start_player
  win=$(wait_window VELORIXA 10)
  if [ -z "$win" ]; then
    echo "no VELORIXA window within 10 s; player output:" >&2
    cat "$tmp/player.log" >&2
    exit 1
  fi
  xdotool windowfocus --sync "$win" 2>/dev/null || xdotool windowfocus "$win" 2>/dev/null || true
  sleep "${1:-1.2}"
}

# The id of the window whose title is exactly $1, waiting up to $2 seconds; empty when none.
wait_window() {
  local name=$1 seconds=$2 id=""
  for _ in $(seq $((seconds * 10))); do
    id=$(xdotool search --onlyvisible --name "^$name\$" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && break
    sleep 0.1
  done
  printf '%s' "$id"
}

# True when the player ended within $1 seconds; its exit code goes into player_rc.
wait_player_end() {
  local seconds=$1
  player_rc=""
  for _ in $(seq $((seconds * 10))); do
    if ! kill -0 "$player_pid" 2>/dev/null; then
      wait "$player_pid" 2>/dev/null && player_rc=0 || player_rc=$?
      player_pid=""
      return 0
    fi
    sleep 0.1
  done
  return 1
}

# Escape on the window, then Y in the "Exit" question (its default button is No).
# Sets exit_how to what happened.
close_player() {
  local win=$1
  xdotool windowfocus --sync "$win" 2>/dev/null || xdotool windowfocus "$win" || true
  xdotool key --clearmodifiers Escape
  local box
  box=$(wait_window Exit 5)
  if [ -z "$box" ]; then
    exit_how="no \"Exit\" question appeared after Escape"
    return 1
  fi
  [ -n "${exit_shot:-}" ] && import -window root "$exit_shot" 2>/dev/null
  xdotool windowfocus --sync "$box" 2>/dev/null || xdotool windowfocus "$box" || true
  xdotool key --clearmodifiers y
  if wait_player_end 5; then
    exit_how="Escape, then Y on the \"Exit\" question: the player ended (exit code $player_rc)"
    return 0
  fi
  exit_how="the \"Exit\" question appeared but Y did not end the player"
  return 1
}

# A private X server and the player on it, its sound recorded into $1 (raw 32-bit float, 44.1 kHz
# stereo: SDL's disk output), then show_player with $2 (default 2) seconds of waiting.
start_recorded_player() {
  start_xvfb
  export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$1
  show_player "${2:-2}"
}

# "NetRadio.ini" of the player copy: one station line an argument.
write_stations() {
  mkdir -p "$tmp/player"
  : >"$tmp/player/NetRadio.ini"
  local line
  for line in "$@"; do printf '%s\r\n' "$line" >>"$tmp/player/NetRadio.ini"; done
}

# "MemoList.ini" of the player copy: one path an argument.
write_music_list() {
  mkdir -p "$tmp/player"
  : >"$tmp/player/MemoList.ini"
  local path
  for path in "$@"; do printf '%s\r\n' "$path" >>"$tmp/player/MemoList.ini"; done
}

# From the keyboard: Backspace shows the stations, Down picks the first, numeric "*" plays it,
# Tab shows "PlayBack".
play_first_station_by_keys() {
  xdotool key --clearmodifiers BackSpace
  sleep 0.5
  xdotool key --clearmodifiers Down
  sleep 0.3
  xdotool key --clearmodifiers KP_Multiply
  xdotool key --clearmodifiers Tab
}

# "Queue :" Down (a click on its button), then numeric "*" plays the first line of the list.
play_list_in_order() {
  xdotool mousemove 373 283 click 1
  sleep 0.3
  xdotool key --clearmodifiers KP_Multiply
}

# Closes the player with Escape and Y, and says how it went; $1 is the status variable to set to
# 1 when it did not close (optional).
close_and_log() {
  if ! close_player "$win"; then
    [ -n "${1:-}" ] && printf -v "$1" 1
  fi
  log "$exit_how"
}

# The tones velorixa-tone hears in the recording $1: its last lines are printed, and the
# frequencies found go into the array heard.
analyze_tones() {
  "$build_dir/bin/velorixa-tone" analyze "$1" f32 44100 2 >"$tmp/analysis.txt" 2>&1 || true
  tail -n 8 "$tmp/analysis.txt"
  read -r -a heard <<<"$(sed -n 's/^tones: *//p' "$tmp/analysis.txt")"
}

# A free TCP port on 127.0.0.1.
free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

# Icecast 2 on 127.0.0.1:$1 with its own configuration and logs in $tmp/ice (source password
# "check-source", admin "admin"/"check-admin"); returns once it answers. Sets ice_pid.
start_icecast() {
  local port=$1
  mkdir -p "$tmp/ice/log"
  cat >"$tmp/ice/icecast.xml" <<XML
<icecast>
  <limits><clients>20</clients><sources>2</sources><burst-on-connect>1</burst-on-connect>
    <burst-size>65536</burst-size></limits>
  <authentication><source-password>check-source</source-password>
    <admin-user>admin</admin-user><admin-password>check-admin</admin-password></authentication>
  <hostname>127.0.0.1</hostname>
  <listen-socket><port>$port</port><bind-address>127.0.0.1</bind-address></listen-socket>
  <fileserve>1</fileserve>
  <paths><basedir>/usr/share/icecast2</basedir><logdir>$tmp/ice/log</logdir>
    <webroot>/usr/share/icecast2/web</webroot><adminroot>/usr/share/icecast2/admin</adminroot>
    <pidfile>$tmp/ice/icecast.pid</pidfile></paths>
  <logging><accesslog>access.log</accesslog><errorlog>error.log</errorlog>
    <loglevel>3</loglevel></logging>
  <security><chroot>0</chroot></security>
</icecast>
XML
  # Icecast will not run as root: it runs as its own Debian user.
  chown -R icecast2 "$tmp/ice" 2>/dev/null || chmod -R a+rwX "$tmp/ice"
  chmod a+rx "$tmp"
  if [ "$(id -u)" = 0 ]; then
    runuser -u icecast2 -- icecast2 -c "$tmp/ice/icecast.xml" >"$tmp/ice/run.log" 2>&1 &
  else
    icecast2 -c "$tmp/ice/icecast.xml" >"$tmp/ice/run.log" 2>&1 &
  fi
  ice_pid=$!
  for _ in $(seq 50); do
    curl -s -o /dev/null "http://127.0.0.1:$port/" && break
    sleep 0.1
  done
}

# Waits up to 5 s for Icecast on port $1 to list the mount $2 as fed.
wait_icecast_mount() {
  for _ in $(seq 50); do
    curl -s "http://127.0.0.1:$1/status-json.xsl" | grep -q "$2" && break
    sleep 0.1
  done
}
