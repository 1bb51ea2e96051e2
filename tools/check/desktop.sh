#!/usr/bin/env bash
# The player as a desktop installs and drives it: a clean clone of the committed branch is
# installed with "./velorixa.sh install PREFIX" into a temporary prefix, started by the command
# of its desktop entry (Exec, with %U given a folder of tones as a file manager would) on a
# private X server, a private session bus and SDL's "disk" output, and driven with playerctl.
#
#   tools/check/desktop.sh OUT_DIR
#
# Five tones (440, 550, 660, 770, 880 Hz, 8 s each) are made with velorixa-tone in a folder; the
# command line opens the folder, so the list holds them by name and the first (440 Hz) plays.
#   playerctl next        another tone (the play order is Random at start)
#   playerctl pause       silence
#   playerctl volume 0.3  the master volume bar to 30
#   playerctl play        the same tone again, at 0.3 of its level
#   Quit (MPRIS)          the window unloads and saves its list
# The installed player keeps its files in $XDG_DATA_HOME/velorixa, never beside itself (only a
# portable copy does); as root the player, its bus and playerctl run as "nobody", a user as a
# desktop has one. OUT_DIR gets the screenshot, the recording's analysis and the log.
# Environment: see common.sh (JOBS, KEEP_TMP); CHECK_PREFIX_BUILD=DIR reuses a build folder for
# the clone's install (default: a fresh one).
# Exit code: 0 passed, 1 a check failed, 2 set-up failure.
set -euo pipefail
out_arg=${1:-}
source "$(dirname "$0")/common.sh"
out_dir_arg "$out_arg"
exec > >(tee "$out/desktop.log") 2>&1

ensure_x_tools
ensure_packages "the desktop check" playerctl dbus-daemon desktop-file-utils
build_targets velorixa-tone
tone=$build_dir/bin/velorixa-tone
chmod 755 "$tmp"

# 1. A clean clone of what is committed on this branch, installed into a temporary prefix.
branch=$(git -C "$repo" rev-parse --abbrev-ref HEAD)
git clone -q --branch "$branch" "$repo" "$tmp/clone"
log "clone of $branch at $(git -C "$tmp/clone" rev-parse --short HEAD)"
prefix=$tmp/prefix
log "installing: ./velorixa.sh install $prefix"
(cd "$tmp/clone" && BUILD_DIR=${CHECK_PREFIX_BUILD:-$tmp/build} JOBS=${JOBS:-2} ./velorixa.sh install "$prefix") \
  >"$tmp/install.log" 2>&1 || {
  tail -n 30 "$tmp/install.log"
  echo "install failed" >&2
  exit 2
}
grep -E '^-- (Installing|Up-to-date)' "$tmp/install.log" | sed "s|$prefix|PREFIX|; s/^/    /"
status=0
entry=$prefix/share/applications/velorixa.desktop
for f in bin/velorixa share/applications/velorixa.desktop share/icons/hicolor/scalable/apps/velorixa.svg share/velorixa/NetRadio.ini; do
  [ -e "$prefix/$f" ] || {
    log "FAIL: PREFIX/$f was not installed"
    status=1
  }
done
if desktop-file-validate "$entry"; then log "desktop-file-validate: no complaints"; else status=1; fi
cp "$prefix/share/icons/hicolor/scalable/apps/velorixa.svg" "$out/velorixa.svg"
convert -background none -resize 256x256 "$out/velorixa.svg" "$out/velorixa-icon.png" 2>/dev/null || true

# 2. The user: nobody when this runs as root; the user's own home and data folder under $tmp.
run=$tmp/run
mkdir -p "$run/home" "$run/media"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  chmod -R a+rX "$prefix"
  chown -R 65534:65534 "$run"
fi
for f in 440 550 660 770 880; do "$tone" make "$run/media/tone $f.mp3" "$f" 8 >/dev/null; done
chmod -R a+rX "$run/media"
export HOME=$run/home XDG_DATA_HOME=$run/home/.local/share
data=$XDG_DATA_HOME/velorixa

start_xvfb
"${as_user[@]}" dbus-daemon --session --print-address=3 --nofork --nopidfile 3>"$run/bus" >/dev/null 2>&1 &
bus_pid=$!
for _ in $(seq 50); do [ -s "$run/bus" ] && break; sleep 0.1; done
export DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$run/bus")
log "private session bus (pid $bus_pid): $DBUS_SESSION_BUS_ADDRESS"
stop_bus() { kill "$bus_pid" 2>/dev/null || true; cleanup; }
trap stop_bus EXIT

# 3. The desktop entry's command, as a file manager runs it for a folder.
exec_line=$(sed -n 's/^Exec=//p' "$entry")
read -r -a cmd <<<"${exec_line//%U/}"
log "Exec=$exec_line -> ${cmd[*]} \"$run/media\" (PATH has PREFIX/bin first)"
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$run/out.raw
(cd "$run" && exec env PATH="$prefix/bin:$PATH" "${as_user[@]}" "${cmd[@]}" "$run/media") >"$tmp/player.log" 2>&1 &
player_pid=$!
pc() { "${as_user[@]}" playerctl -p velorixa "$@"; }
for _ in $(seq 100); do pc status >/dev/null 2>&1 && break; sleep 0.1; done
log "playerctl -l: $("${as_user[@]}" playerctl -l 2>&1 | tr '\n' ' ')"
step() {
  log "playerctl $* -> status $(pc status 2>&1), title \"$(pc metadata title 2>&1)\", volume $(pc volume 2>&1), position $(pc position 2>&1)"
}
sleep 2.5
step "(start: the command line's first item)"
pc next
sleep 2.5
step next
pc pause
sleep 1.5
step pause
pc volume 0.3
pc play
sleep 2
step "volume 0.3, play"
import -window root "$out/desktop.png" 2>/dev/null && log "screenshot: $out/desktop.png"
# The "PlayBack" page: the transport with the title and the master volume bar at 30.
win=$(wait_window VELORIXA 2)
if [ -n "$win" ]; then
  xdotool mousemove --window "$win" 132 12 click 1
  sleep 0.5
  import -window root "$out/desktop-playback.png" 2>/dev/null && log "screenshot: $out/desktop-playback.png"
fi
"${as_user[@]}" dbus-send --session --print-reply=literal --dest=org.mpris.MediaPlayer2.velorixa \
  /org/mpris/MediaPlayer2 org.mpris.MediaPlayer2.Quit >/dev/null
if wait_player_end 5; then log "Quit: the player ended (exit code $player_rc)"; else
  log "FAIL: Quit did not end the player"
  status=1
fi
[ -s "$tmp/player.log" ] && sed 's/^/    player: /' "$tmp/player.log"

# 4. The files: in the user's data folder, nothing beside the installed program.
log "data folder $data: $(ls "$data" 2>/dev/null | tr '\n' ' ')"
if cmp -s "$data/NetRadio.ini" "$prefix/share/velorixa/NetRadio.ini"; then
  log "starter station list copied"
else
  log "FAIL: no starter station list in the data folder"
  status=1
fi
memo_lines=$(grep -c 'tone' "$data/MemoList.ini" 2>/dev/null || true)
[ "$memo_lines" = 5 ] && log "MemoList.ini: the 5 tones" || {
  log "FAIL: MemoList.ini holds $memo_lines tones, not 5"
  status=1
}
extra=$(ls "$prefix/bin")
[ "$extra" = velorixa ] && log "PREFIX/bin holds only the program" || {
  log "FAIL: PREFIX/bin holds: $extra"
  status=1
}

# 5. What was heard: 440 Hz, another tone, silence, the same tone at 0.3 of its level.
"$tone" analyze "$run/out.raw" f32 44100 2 >"$out/analysis.txt"
grep -E '^(heard|tones):' "$out/analysis.txt" | sed 's/^/    /'
read -r -a heard <<<"$(sed -n 's/^tones: *//p' "$out/analysis.txt")"
# Mean RMS of the windows of frequency f (within 2 %), before and after the pause's silence.
levels=$(awk -v f="${heard[1]:-0}" '
  $1 ~ /^[0-9.]+$/ && NF == 4 {
    if ($4 ~ /^[0-9.]+$/ && f > 0 && ($4 > f * 0.98 && $4 < f * 1.02)) {
      if (silent) { a += $2; na++ } else { b += $2; nb++ }
    } else if ($2 < 0.003 && nb > 0) silent = 1
  }
  END { printf "%.4f %.4f %d %d", nb ? b / nb : 0, na ? a / na : 0, nb, na }' "$out/analysis.txt")
read -r before after nbefore nafter <<<"$levels"
log "tone ${heard[1]:-?} Hz: RMS $before over $nbefore windows before the pause, $after over $nafter after (ratio $(awk -v a="$after" -v b="$before" 'BEGIN { printf "%.3f", (b > 0 ? a / b : 0) }'))"
if [ ${#heard[@]} -ge 2 ] && [ "${heard[0]}" -ge 430 ] && [ "${heard[0]}" -le 450 ] && [ "${heard[1]}" -ge 540 ]; then
  log "PASS: 440 Hz first, then ${heard[1]} Hz after next"
else
  log "FAIL: expected 440 Hz then another tone, heard: ${heard[*]:-nothing}"
  status=1
fi
if awk -v a="$after" -v b="$before" -v n="$nafter" 'BEGIN { exit !(n > 0 && b > 0 && a / b > 0.25 && a / b < 0.35) }'; then
  log "PASS: after pause and volume 0.3 the same tone came back at 0.3 of its level"
else
  log "FAIL: the tone after the pause was not at 0.3 of its level"
  status=1
fi
exit $status
