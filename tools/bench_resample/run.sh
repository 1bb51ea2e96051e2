#!/usr/bin/env bash
# The resampler comparison in one command: installs libsoxr and speexdsp when they are missing
# (only this benchmark links them; the player does not), builds bench_resample the way
# velorixa.sh builds everything, then runs it. Arguments go to bench_resample, e.g.
#   tools/bench_resample/run.sh               best of 3 rounds
#   tools/bench_resample/run.sh --rounds 5    best of 5
# Environment: BUILD_DIR (default build), JOBS (parallel build jobs), VELORIXA_NO_INSTALL, as for
# velorixa.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."

source tools/lib/packages.sh
ensure_packages "the resampler comparison" libsoxr-dev libspeexdsp-dev

# velorixa.sh installs the build's own packages, configures the build folder and builds only
# this target.
TARGETS=bench_resample ./velorixa.sh build
exec "./${BUILD_DIR:-build}/bin/bench_resample" "$@"
