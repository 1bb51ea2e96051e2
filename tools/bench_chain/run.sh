#!/usr/bin/env bash
# The chain benchmark in one command: installs sox and ffmpeg when they are missing (only the
# comparison needs them; the player does not), builds bench_chain the way velorixa.sh builds
# everything, then runs it. Arguments go to bench_chain, e.g.
#   tools/bench_chain/run.sh                  180 s MP3, best of 3 runs of each chain
#   tools/bench_chain/run.sh --rounds 5       best of 5
#   tools/bench_chain/run.sh --seconds 20 --only-ours --no-breakdown   (for a profiler)
# Environment: BUILD_DIR (default build), JOBS (parallel build jobs), as for velorixa.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."

missing=()
for p in sox libsox-fmt-mp3 ffmpeg; do  # libsox-fmt-mp3: sox reads MP3 through it
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing for the comparison: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
fi

# velorixa.sh installs the build's own packages, configures the build folder and builds only
# this target.
TARGETS=bench_chain ./velorixa.sh build
exec "./${BUILD_DIR:-build}/bin/bench_chain" "$@"
