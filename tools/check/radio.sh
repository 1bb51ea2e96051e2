#!/usr/bin/env bash
# The station list as a user meets it: a local ICY station (a small Python server playing a tone
# in a loop, its title changing every 4 s), the player on a private X server with SDL's disk
# output; Backspace shows the stations, Down picks the first, numeric "*" plays it, Tab shows "PlayBack". Screenshots
# of "connecting ...", of the bit rate with the first title and of the second title; the
# recording's tone is then measured by velorixa-tone.
#
#   tools/check/radio.sh OUT_DIR
#
# Environment: see common.sh. Exit code: 0 done, 1 something was not as expected, 2 set-up.
set -euo pipefail
source "$(dirname "$0")/common.sh"
out_dir_arg "$@"

ensure_x_tools
build_targets velorixa velorixa-tone
"$build_dir/bin/velorixa-tone" make "$tmp/tone.mp3" 660 30 >/dev/null

# The station: ICY headers, then the tone again and again with a metadata block every 8000 bytes,
# sent at about its own rate (16 KB/s).
cat >"$tmp/station.py" <<'PY'
import socket, sys, time
data = open(sys.argv[1], "rb").read()
srv = socket.socket(); srv.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
srv.bind(("127.0.0.1", 0)); srv.listen(4)
print(srv.getsockname()[1], flush=True)
while True:
    c, _ = srv.accept()
    c.recv(4096)
    c.sendall(b"ICY 200 OK\r\nicy-name: Check Radio\r\nicy-br: 128\r\nicy-metaint: 8000\r\n"
              b"content-type: audio/mpeg\r\n\r\n")
    start, pos, n = time.time(), 0, 0
    try:
        while True:
            chunk = bytes(data[(pos + i) % len(data)] for i in range(8000))
            pos = (pos + 8000) % len(data)
            title = "Song %d" % (1 + int(time.time() - start) // 4)
            meta = ("StreamTitle='%s';StreamUrl='http://127.0.0.1/about';" % title).encode()
            meta += b"\0" * ((16 - len(meta) % 16) % 16)
            c.sendall(chunk + bytes([len(meta) // 16]) + meta)
            n += 8000
            time.sleep(max(0, start + n / 16000 - time.time()))
    except OSError:
        c.close()
PY
python3 "$tmp/station.py" "$tmp/tone.mp3" >"$tmp/port" 2>"$tmp/station.log" &
station_pid=$!
trap 'kill $station_pid 2>/dev/null || true; cleanup' EXIT
for _ in $(seq 50); do [ -s "$tmp/port" ] && break; sleep 0.1; done
port=$(head -n 1 "$tmp/port")
write_stations "http://127.0.0.1:$port/live Check Radio"
log "station on port $port"

start_recorded_player "$tmp/heard.raw"
play_first_station_by_keys
sleep 0.5
import -window root "$out/1-connecting.png"
sleep 3
import -window root "$out/2-playing.png"
sleep 5
import -window root "$out/3-next-title.png"
close_and_log
analyze_tones "$tmp/heard.raw"
log "screenshots in $out"
