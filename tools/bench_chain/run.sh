#!/usr/bin/env bash
# The chain benchmark in one command: installs sox and ffmpeg when they are missing (only the
# comparison needs them; the player does not), builds bench_chain the way velorixa.sh builds
# everything, then runs it. Arguments go to bench_chain, e.g.
#   tools/bench_chain/run.sh                  180 s MP3, best of 3 runs of each chain
#   tools/bench_chain/run.sh --rounds 5       best of 5
#   tools/bench_chain/run.sh --seconds 20 --only-ours --no-breakdown   (for a profiler)
#   tools/bench_chain/run.sh --only-rest      the player at rest only (speed 100, EQ flat, effects
#                                             off), played and thrown away: for a profiler
# Environment: BUILD_DIR (default build), JOBS (parallel build jobs), VELORIXA_NO_INSTALL, as for
# velorixa.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."

source tools/lib/packages.sh
ensure_packages "the comparison" sox libsox-fmt-mp3 ffmpeg # libsox-fmt-mp3: sox reads MP3 through it

# velorixa.sh installs the build's own packages, configures the build folder and builds only
# this target.
TARGETS=bench_chain ./velorixa.sh build
exec "./${BUILD_DIR:-build}/bin/bench_chain" "$@"
