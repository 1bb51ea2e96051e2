#!/usr/bin/env bash
# Velorixa set-up: installs what the player needs (Debian 12), builds it, then runs it or its tests.
#   ./velorixa.sh play     set up, build the player alone and start it
#   ./velorixa.sh test     set up, build and run every test
#   ./velorixa.sh build    set up and build only (the player, the tools and the tests)
#   ./velorixa.sh install [PREFIX]
#                          set up, build the player alone and install into PREFIX (/usr/local):
#                          PREFIX/bin/velorixa, its menu entry, icon and starter station list
#   ./velorixa.sh fuzz [S] build the libFuzzer targets with clang and run each for S seconds (20)
# Environment: BUILD_DIR (default build; build-fuzz for fuzz), JOBS (parallel build jobs),
# TARGETS (build only these targets), BUILD_TYPE (default RelWithDebInfo),
# VELORIXA_NO_INSTALL=1 (install nothing, only list what is missing).
# Build options, each 1 or 0; every configure passes all of them, so one run's setting never
# sticks in the build folder for the next:
#   VELORIXA_WERROR    warnings are errors (0)
#   VELORIXA_SANITIZE  address and undefined-behaviour sanitizers (0)
#   VELORIXA_TSAN      thread sanitizer (0)
#   VELORIXA_ASSERTS   assert() kept in the optimised build: the audio thread's contract (0)
#   VELORIXA_TESTS     build the tests (0 for play and install, 1 otherwise)
#   VELORIXA_TOOLS     build the benchmarks and developer tools (0 for play and install, 1
#                      otherwise; the tests bring them whatever it says)
#   VELORIXA_FUZZ      the libFuzzer targets (1 for fuzz, 0 otherwise)
set -euo pipefail
cd "$(dirname "$0")"
here=$(pwd)
source tools/lib/packages.sh

# xdg-user-dirs names the user's music folder, where the music search starts; libebur128
# measures the files' loudness for evening out levels.
player_packages=(
  cmake g++ pkg-config ninja-build
  qt6-base-dev libmpg123-dev libcurl4-openssl-dev libsdl2-dev libpulse-dev libkissfft-dev
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev libsndfile1-dev
  xdg-user-dirs librtmidi-dev libebur128-dev
)
# The encoders make the test media of every format; icecast2 serves a real Ogg mount; ffmpeg,
# flac and sox read the recordings back as a user's player would; jackd2 gives the controller
# tests a JACK server with its dummy back end.
test_packages=(libgtest-dev pulseaudio pulseaudio-utils libmp3lame-dev dbus-daemon ffmpeg flac vorbis-tools opus-tools icecast2 sox
  jackd2 libjack-jackd2-dev)
fuzz_packages=(clang libclang-rt-14-dev)

# ON or OFF for a build option given as 1/0 (ON/OFF, true/false also do); $1 names it.
on_off() {
  case "${2,,}" in
    1 | on | true | yes) echo ON ;;
    0 | off | false | no | "") echo OFF ;;
    *)
      echo "$1=$2: use 1 or 0" >&2
      exit 2
      ;;
  esac
}

# fuzz_decode's seeds: a tenth of a second of tone in every format, 8 kHz mono, each behind the
# byte that picks its path (0: a file; 1, 3, 5, 7: a station's ADTS, MPEG audio, Ogg, MPEG-TS).
seed_audio() {
  local dir=$1 tmp
  tmp=$(mktemp -d)
  ffmpeg -nostdin -loglevel error -f lavfi -i "sine=frequency=440:duration=0.1:sample_rate=8000" \
    "$tmp/t.wav"
  flac -s -o "$tmp/t.flac" "$tmp/t.wav" 2>/dev/null
  oggenc -Q -o "$tmp/t.ogg" "$tmp/t.wav"
  opusenc --quiet --bitrate 16 "$tmp/t.wav" "$tmp/t.opus"
  local ff=(ffmpeg -nostdin -loglevel error -i "$tmp/t.wav")
  "${ff[@]}" -c:a aac -b:a 16k "$tmp/t.m4a"
  "${ff[@]}" -c:a aac -b:a 16k "$tmp/t.aac"
  "${ff[@]}" -c:a aac -b:a 16k -f mpegts "$tmp/t.ts"
  "${ff[@]}" -c:a libmp3lame -b:a 16k "$tmp/t.mp3"
  "${ff[@]}" "$tmp/t.aiff"
  local f mode
  for f in "$tmp"/t.*; do
    printf '\x00' | cat - "$f" >"$dir/file-${f##*.}"
  done
  for mode in "1 aac" "3 mp3" "5 ogg" "5 opus" "7 ts"; do
    set -- $mode
    printf "\\x0$1" | cat - "$tmp/t.$2" >"$dir/stream-$2"
  done
  rm -rf "$tmp"
}

cmd=${1:-play}
case "$cmd" in
  fuzz) VELORIXA_FUZZ=1 ;;
  play | install) : "${VELORIXA_TESTS:=0}" "${VELORIXA_TOOLS:=0}" ;;
esac
fuzz=$(on_off VELORIXA_FUZZ "${VELORIXA_FUZZ:-0}")
tests=$(on_off VELORIXA_TESTS "${VELORIXA_TESTS:-1}")
[ "$fuzz" = ON ] && tests=ON # the fuzz targets live with the tests
tools=$(on_off VELORIXA_TOOLS "${VELORIXA_TOOLS:-1}")
options=(-DVELORIXA_TESTS="$tests" -DVELORIXA_TOOLS="$tools" -DVELORIXA_FUZZ="$fuzz")
for o in VELORIXA_WERROR VELORIXA_SANITIZE VELORIXA_TSAN VELORIXA_ASSERTS; do
  v=$(on_off "$o" "${!o:-0}")
  options+=("-D$o=$v")
done

install_packages() {
  local wanted=("${player_packages[@]}")
  [ "$tests" = ON ] && wanted+=("${test_packages[@]}")
  [ "$fuzz" = ON ] && wanted+=("${fuzz_packages[@]}")
  ensure_packages "the build" "${wanted[@]}"
}

build() {
  local dir=${BUILD_DIR:-build}
  local args=(-G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "${options[@]}")
  [ "$fuzz" = ON ] && args+=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
  cmake -S . -B "$dir" "${args[@]}" >/dev/null
  # shellcheck disable=SC2086 # TARGETS is a list of target names
  cmake --build "$dir" -j "${JOBS:-$(nproc)}" ${TARGETS:+--target $TARGETS}
}

case "$cmd" in
  build | play | test | fuzz | install) install_packages ;;
esac
case "$cmd" in
  build) build ;;
  play)
    build
    exec "$here/${BUILD_DIR:-build}/bin/velorixa"
    ;;
  test)
    build
    cd "${BUILD_DIR:-build}"
    ctest --output-on-failure -j "${JOBS:-$(nproc)}" --timeout 300
    ;;
  install)
    build
    prefix=$(realpath -m "${2:-/usr/local}")
    cmake --install "${BUILD_DIR:-build}" --prefix "$prefix"
    ;;
  fuzz)
    # The network parsers, then the readers of the player's own files and of playlist arguments.
    # Then the tag reader and the decoding of every audio format, seeded with small files the
    # encoders make now.
    fuzz_targets="fuzz_icy fuzz_headers fuzz_hls fuzz_playlist fuzz_listfile fuzz_stationlist fuzz_setfile fuzz_memosett fuzz_tags fuzz_decode"
    BUILD_DIR=${BUILD_DIR:-build-fuzz} TARGETS="$fuzz_targets" build
    for t in $fuzz_targets; do
      corpus=$(mktemp -d)
      max_len=4096
      [ "$t" = fuzz_tags ] && tests/fuzz/tag_seeds.sh "$corpus"
      if [ "$t" = fuzz_decode ]; then
        seed_audio "$corpus"
        max_len=16384
      fi
      # Memory bounded: an input that makes a reader hold more than 512 MB is a finding.
      "${BUILD_DIR:-build-fuzz}/bin/$t" -max_total_time="${2:-20}" -max_len=$max_len \
        -rss_limit_mb=512 -timeout=10 "$corpus" 2>&1 | tail -n 2
      rm -rf "$corpus"
    done
    ;;
  *)
    echo "usage: $0 [play|test|build|install [prefix]|fuzz [seconds]]" >&2
    exit 2
    ;;
esac
