#!/usr/bin/env bash
# Velorixa set-up: installs what the player needs (Debian 12), builds it, then runs it or its tests.
#   ./velorixa.sh play     set up, build and start the player
#   ./velorixa.sh test     set up, build and run every test
#   ./velorixa.sh build    set up and build only
#   ./velorixa.sh fuzz [S] build the libFuzzer targets with clang and run each for S seconds (20)
# Environment: BUILD_DIR (default build), VELORIXA_SANITIZE=1 (address+undefined sanitizers),
# VELORIXA_WERROR=1 (warnings are errors), JOBS (parallel build jobs).
set -euo pipefail
cd "$(dirname "$0")"
here=$(pwd)

packages=(
  cmake g++ pkg-config ninja-build
  qt6-base-dev libmpg123-dev libcurl4-openssl-dev libsdl2-dev libkissfft-dev
  libgtest-dev libmp3lame-dev
)

install_packages() {
  local missing=()
  [ "${VELORIXA_FUZZ:-0}" = 1 ] && packages+=(clang libclang-rt-14-dev)
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
}

build() {
  local dir=${BUILD_DIR:-build}
  local args=(-G Ninja -DCMAKE_BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo})
  [ "${VELORIXA_SANITIZE:-0}" = 1 ] && args+=(-DVELORIXA_SANITIZE=ON)
  [ "${VELORIXA_WERROR:-0}" = 1 ] && args+=(-DVELORIXA_WERROR=ON)
  [ "${VELORIXA_FUZZ:-0}" = 1 ] && args+=(-DVELORIXA_FUZZ=ON -DVELORIXA_TESTS=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
  cmake -S . -B "$dir" "${args[@]}" >/dev/null
  cmake --build "$dir" -j "${JOBS:-$(nproc)}" ${TARGETS:+--target $TARGETS}
}

cmd=${1:-play}
[ "$cmd" = fuzz ] && export VELORIXA_FUZZ=1
install_packages
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
  fuzz)
    BUILD_DIR=${BUILD_DIR:-build-fuzz} TARGETS="fuzz_icy fuzz_headers" build
    for t in fuzz_icy fuzz_headers; do
      corpus=$(mktemp -d)
      "${BUILD_DIR:-build-fuzz}/bin/$t" -max_total_time="${2:-20}" -max_len=4096 "$corpus" 2>&1 | tail -n 2
      rm -rf "$corpus"
    done
    ;;
  *)
    echo "usage: $0 [play|test|build]" >&2
    exit 2
    ;;
esac
