#!/usr/bin/env bash
# The station list against a real station server: Icecast 2 on 127.0.0.1 with its own
# configuration in a temporary folder, fed by ffmpeg with a 660 Hz tone in a loop, its title set
# through Icecast's admin interface every 4 s. "NetRadio.ini" names the mount and Icecast's own
# ".m3u" link for it. The player (private X server, SDL's disk output): Backspace, a double
# click plays the mount (the first line); screenshots of "connecting ...", the bit rate and two titles; the server
# is stopped for 5 s and started again; then a double click plays the ".m3u" line.
#
#   tools/check/icecast.sh OUT_DIR
#
# Environment: see common.sh. Exit code: 0 done, 1 something was not as expected, 2 set-up.
set -euo pipefail
source "$(dirname "$0")/common.sh"
out_dir_arg "$@"

ensure_x_tools
ensure_packages "the Icecast check" icecast2 ffmpeg curl
build_targets velorixa velorixa-tone
"$build_dir/bin/velorixa-tone" make "$tmp/tone.mp3" 660 30 >/dev/null

port=$(free_port)
ice_pid="" feed_pid="" titles_pid=""
start_server() {
  start_icecast "$port"
  # ffmpeg paces the tone in real time; a few lines of Python are the source client, as it
  # names the bit rate (ice-bitrate, which Icecast passes on as icy-br) and sends the body as
  # it comes (curl would send it chunked, which Icecast passes on to listeners unparsed).
  (ffmpeg -hide_banner -loglevel error -re -stream_loop -1 -i "$tmp/tone.mp3" -c:a copy -f mp3 - |
    python3 -c '
import base64, socket, sys
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])))
auth = base64.b64encode(b"source:check-source").decode()
s.sendall(("PUT /live.mp3 HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Basic %s\r\n"
           "Content-Type: audio/mpeg\r\nice-name: Check Icecast\r\nice-bitrate: 128\r\n"
           "\r\n" % auth).encode())
while True:
    b = sys.stdin.buffer.read1(4096)
    if not b:
        break
    s.sendall(b)
' "$port") >"$tmp/ice/feed.log" 2>&1 &
  feed_pid=$!
  wait_icecast_mount "$port" live.mp3
}
stop_server() {
  pkill -P "$feed_pid" 2>/dev/null || true
  kill "$feed_pid" "$ice_pid" 2>/dev/null || true
  wait "$feed_pid" "$ice_pid" 2>/dev/null || true
}
set_titles() { # a new title every 4 s through the admin interface
  local n=1
  while true; do
    curl -s -o /dev/null -u admin:check-admin \
      "http://127.0.0.1:$port/admin/metadata?mount=/live.mp3&mode=updinfo&song=Icecast+Song+$n" || true
    n=$((n + 1))
    sleep 4
  done
}
trap 'kill $titles_pid 2>/dev/null || true; stop_server; cleanup' EXIT
start_server
set_titles &
titles_pid=$!
log "Icecast on port $port: $(curl -s -D - -o /dev/null --max-time 1 "http://127.0.0.1:$port/live.mp3" -H 'Icy-MetaData: 1' | tr -d '\r' | grep -iE '^(icy-|content-type)' | tr '\n' ' ')"
log "the mount sends $(curl -s --max-time 2 "http://127.0.0.1:$port/live.mp3" | wc -c) bytes in 2 s"
log "its .m3u link: $(curl -s "http://127.0.0.1:$port/live.mp3.m3u" | tr -d '\r' | tr '\n' ' ')"

write_stations "http://127.0.0.1:$port/live.mp3 Icecast Mount" \
  "http://127.0.0.1:$port/live.mp3.m3u Icecast M3U Link"
start_recorded_player "$out/heard.raw"
t0=$(date +%s.%N)
stamp() { printf '%.1f' "$(echo "$(date +%s.%N) - $t0" | bc)"; }
xdotool key --clearmodifiers BackSpace # the station list
sleep 0.5
# A double click plays its line (numeric "*" plays the next line of the play order, which is
# random at start).
log "play the mount (recording at $(stamp) s)"
xdotool mousemove --window "$win" 100 44 click --repeat 2 --delay 80 1
sleep 0.3
xdotool key --clearmodifiers Tab
sleep 0.5
import -window root "$out/1-connecting.png"
sleep 3
import -window root "$out/2-playing.png"
sleep 5
import -window root "$out/3-next-title.png"
log "server stopped at $(stamp) s"
stop_server
sleep 5
start_server
log "server started again at $(stamp) s"
for i in 1 2 3 4 5; do
  sleep 3
  import -window root "$out/4-after-restart-$i.png"
done
log "the .m3u line (at $(stamp) s)"
xdotool mousemove --window "$win" 35 12 click 1 # the "PlayList" tab
sleep 0.5
xdotool mousemove --window "$win" 100 58 click --repeat 2 --delay 80 1
sleep 0.3
xdotool mousemove --window "$win" 140 12 click 1 # the "PlayBack" tab
sleep 6
import -window root "$out/5-m3u.png"
close_and_log
[ -s "$tmp/player.log" ] && sed 's/^/    /' "$tmp/player.log"
log "connections Icecast saw: $(grep -c 'GET /live.mp3' "$tmp/ice/log/access.log" 2>/dev/null || echo ?)"
# The tone's level every half second: where the sound stopped and came back.
python3 - "$out/heard.raw" <<'PY' | tee "$out/heard.txt"
import array, sys
a = array.array("f")
a.frombytes(open(sys.argv[1], "rb").read())
left = a[0::2]
win = 22050
marks = []
for i in range(0, len(left) - win + 1, win):
    pk = max(abs(v) for v in left[i:i + win])
    marks.append("#" if pk > 0.01 else ".")
print("%.1f s recorded; every 0.5 s, # sound, . silence:" % (len(left) / 44100.0))
print("".join(marks))
PY
log "screenshots in $out"
