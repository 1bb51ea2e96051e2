#!/usr/bin/env bash
# The recording benchmark in one command: builds bench_record the way velorixa.sh builds
# everything, then runs it (a one-hour take of each format through the offline output, 20 s
# through the no-sound output's audio thread). Arguments go to bench_record, e.g.
#   tools/bench_record/run.sh --minutes 5 --realtime 5
# Environment: BUILD_DIR (default build), JOBS, VELORIXA_NO_INSTALL, as for velorixa.sh.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tools/lib/packages.sh
ensure_packages "reading the takes back" ffmpeg flac
TARGETS=bench_record ./velorixa.sh build
exec "./${BUILD_DIR:-build}/bin/bench_record" "$@"
