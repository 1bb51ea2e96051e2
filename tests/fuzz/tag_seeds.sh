#!/usr/bin/env bash
# Seeds for fuzz_tags: tiny tagged files of every format, made now with ffmpeg (no binary file
# is kept in the repository). Usage: tag_seeds.sh FOLDER
set -euo pipefail
out=$1
mkdir -p "$out"
tone=(-v error -nostdin -y -f lavfi -i sine=frequency=440:sample_rate=8000:duration=0.05 -ac 1)
tags=(-metadata title=Title -metadata artist=Artist -metadata album=Album
  -metadata REPLAYGAIN_TRACK_GAIN="-6.50 dB")
ffmpeg "${tone[@]}" -c:a libmp3lame -b:a 8k -id3v2_version 3 "${tags[@]}" -write_id3v1 1 "$out/seed.mp3"
# MP3 tags are read by libmpg123: ID3v2.4 (UTF-8 text) and ID3v1 alone too.
ffmpeg "${tone[@]}" -c:a libmp3lame -b:a 8k -id3v2_version 4 "${tags[@]}" "$out/seed-v24.mp3"
ffmpeg "${tone[@]}" -c:a libmp3lame -b:a 8k -id3v2_version 0 -write_id3v1 1 "${tags[@]}" \
  "$out/seed-v1.mp3"
# The flac tool writes no padding block (ffmpeg's 8 KB would pass the fuzzer's input limit).
ffmpeg "${tone[@]}" -c:a pcm_s16le -fflags +bitexact -map_metadata -1 "$out/flac-input.wav"
flac -s -f --no-padding -T title=Title -T artist=Artist -T album=Album \
  -T "REPLAYGAIN_TRACK_GAIN=-6.50 dB" -o "$out/seed.flac" "$out/flac-input.wav"
rm "$out/flac-input.wav"
ffmpeg "${tone[@]}" -c:a libvorbis "${tags[@]}" "$out/seed.ogg"
ffmpeg "${tone[@]}" -c:a libopus -b:a 6k "${tags[@]}" "$out/seed.opus"
ffmpeg "${tone[@]}" -c:a aac -b:a 8k "${tags[@]}" "$out/seed.m4a"
ffmpeg "${tone[@]}" -c:a pcm_u8 "${tags[@]}" "$out/seed.wav"
ffmpeg "${tone[@]}" -c:a pcm_s16be -write_id3v2 1 "${tags[@]}" "$out/seed.aiff"
