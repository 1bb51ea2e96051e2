#!/usr/bin/env bash
# What `./velorixa.sh play` builds: configures a scratch build folder with the options play
# passes (no tests, no tools) and fails unless the player (and its MIDI module, which it loads
# from beside itself) is all it makes. Prints the number of build steps of that build and of the
# full one (`./velorixa.sh build`).
#   tools/check/play_build.sh
set -euo pipefail
cd "$(dirname "$0")/../.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
steps() {
  cmake -S . -B "$tmp/$1" -G Ninja "${@:2}" >/dev/null
  ninja -C "$tmp/$1" -t commands >"$tmp/$1.commands"
  wc -l <"$tmp/$1.commands"
}
play=$(steps play -DVELORIXA_TESTS=OFF -DVELORIXA_TOOLS=OFF)
programs=$(grep -o ' -o bin/[^ ]*' "$tmp/play.commands" | sed 's| -o bin/||' | sort -u | tr '\n' ' ')
if [ "$programs" != "libvelorixa_rtmidi.so velorixa " ]; then
  echo "play builds more than the player: $programs" >&2
  exit 1
fi
full=$(steps full -DVELORIXA_TESTS=ON -DVELORIXA_TOOLS=ON)
echo "play: $play build steps, the player and its MIDI module only; build: $full steps"
