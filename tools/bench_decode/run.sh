#!/usr/bin/env bash
# Builds and runs bench_decode. mpg123 (the reference decoder program) is this benchmark's own
# need, not the player's, so it is installed here when missing.
#   tools/bench_decode/run.sh [bench_decode options]
# Environment: BUILD_DIR (default build), JOBS, VELORIXA_NO_INSTALL, as for velorixa.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tools/lib/packages.sh
ensure_packages "the reference decoder" mpg123
# velorixa.sh installs the build's own packages, configures the build folder with every option
# set and builds only this target.
TARGETS=bench_decode ./velorixa.sh build
exec "./${BUILD_DIR:-build}/bin/bench_decode" "$@"
