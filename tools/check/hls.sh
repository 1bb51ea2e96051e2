#!/usr/bin/env bash
# An HLS station as a user meets it: ffmpeg encodes a 440 Hz tone in real time into a live
# playlist of 2-second segments (the last five listed) in a folder that python's http.server
# serves on 127.0.0.1; the player on a private X server with SDL's disk output. Backspace shows
# the stations, Down picks the station, numeric "*" plays it; screenshots while it connects and
# while it plays; the recording's tone is then measured by velorixa-tone.
#
#   tools/check/hls.sh OUT_DIR
#
# SEGMENTS=mp3 (default) cuts raw MP3 segments with ffmpeg's segment muxer; SEGMENTS=ts uses
# ffmpeg's HLS muxer as it stands (MP3 in MPEG-TS segments) and SEGMENTS=aac ADTS AAC segments,
# which play once the decoders of those formats are in.
# Environment: see common.sh. Exit code: 0 done, 1 something was not as expected, 2 set-up.
set -euo pipefail
source "$(dirname "$0")/common.sh"
out_dir_arg "$@"

ensure_x_tools
build_targets velorixa velorixa-tone
mkdir -p "$tmp/hls"
sine=(-re -f lavfi -i "sine=frequency=440:sample_rate=44100" -ac 2)
case "${SEGMENTS:-mp3}" in
  mp3)
    # The MP3 muxer would start every segment with an ID3 tag and a Xing frame: neither.
    encode=("${sine[@]}" -c:a libmp3lame -b:a 128k -f segment -segment_time 2
      -segment_list "$tmp/hls/live.m3u8" -segment_list_type m3u8 -segment_list_size 5
      -segment_list_flags +live -segment_format mp3
      -segment_format_options id3v2_version=0:write_xing=0 "$tmp/hls/live%03d.mp3")
    ;;
  aac)
    encode=("${sine[@]}" -c:a aac -b:a 128k -f segment -segment_time 2
      -segment_list "$tmp/hls/live.m3u8" -segment_list_type m3u8 -segment_list_size 5
      -segment_list_flags +live -segment_format adts "$tmp/hls/live%03d.aac")
    ;;
  ts)
    encode=("${sine[@]}" -c:a libmp3lame -b:a 128k -f hls -hls_time 2 -hls_list_size 5
      -hls_flags delete_segments "$tmp/hls/live.m3u8")
    ;;
  *)
    echo "SEGMENTS=$SEGMENTS: use mp3, aac or ts" >&2
    exit 2
    ;;
esac
ffmpeg -hide_banner -loglevel error "${encode[@]}" </dev/null >"$tmp/ffmpeg.log" 2>&1 &
ffmpeg_pid=$!
(cd "$tmp/hls" && exec python3 -u -m http.server --bind 127.0.0.1 0) >"$tmp/http.log" 2>&1 &
http_pid=$!
trap 'kill $ffmpeg_pid $http_pid 2>/dev/null || true; cleanup' EXIT
port=""
for _ in $(seq 50); do
  port=$(sed -n 's/.* port \([0-9]*\).*/\1/p' "$tmp/http.log" | head -n 1)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "http.server did not start" >&2; cat "$tmp/http.log" >&2; exit 2; }
# Three segments listed before the player connects, as on a station that has been on air.
for _ in $(seq 150); do
  [ "$(grep -c '^#EXTINF' "$tmp/hls/live.m3u8" 2>/dev/null || echo 0)" -ge 3 ] && break
  sleep 0.1
done
write_stations "http://127.0.0.1:$port/live.m3u8 Check HLS"
log "HLS station (${SEGMENTS:-mp3} segments) on port $port:"
sed 's/^/    /' "$tmp/hls/live.m3u8"

start_recorded_player "$tmp/heard.raw"
play_first_station_by_keys
sleep 0.5
import -window root "$out/1-connecting.png"
sleep 4
import -window root "$out/2-playing.png"
# Long enough for the playlist to be reloaded and new segments to follow.
sleep 8
import -window root "$out/3-still-playing.png"
close_and_log
log "segments asked for: $(grep -c 'GET /live[0-9]' "$tmp/http.log" || true), playlist loads: $(grep -c 'GET /live.m3u8' "$tmp/http.log" || true)"
analyze_tones "$tmp/heard.raw"
log "screenshots in $out"
