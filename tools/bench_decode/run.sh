#!/usr/bin/env bash
# Builds and runs bench_decode. mpg123 (the reference decoder program) is this benchmark's own
# need, not the player's, so it is installed here when missing.
#   tools/bench_decode/run.sh [bench_decode options]     BUILD_DIR (default build)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
if ! command -v mpg123 >/dev/null; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q mpg123
fi
dir=${BUILD_DIR:-build}
cmake -S "$root" -B "$root/$dir" -G Ninja >/dev/null
cmake --build "$root/$dir" --target bench_decode -j "${JOBS:-2}"
exec "$root/$dir/bin/bench_decode" "$@"
