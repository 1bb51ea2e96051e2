# shellcheck shell=bash
# Debian package installation shared by velorixa.sh and the tools' scripts (sourced, not run).
#
#   source tools/lib/packages.sh
#   ensure_packages "what they are for" pkg...
#
# Installs the packages that are not installed yet, through sudo when not root; the package
# lists are updated only when something is missing, so a second call with everything present
# does nothing and needs no network. With VELORIXA_NO_INSTALL=1 nothing is installed: the
# missing packages are listed and the caller goes on (the build then stops with CMake's message
# if one of them was needed).

ensure_packages() {
  local why=$1 p
  shift
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "${VELORIXA_NO_INSTALL:-0}" = 1 ]; then
    echo "Not installing (VELORIXA_NO_INSTALL=1), missing for $why: ${missing[*]}" >&2
    return 0
  fi
  echo "Installing for $why: ${missing[*]}" >&2
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}
