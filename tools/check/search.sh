#!/usr/bin/env bash
# Looks at the music search as an operator would: a deep tree of a few hundred MP3 files is made
# in the music folder of a home of the check's own (HOME=$tmp/home, no user-dirs.dirs: the
# music folder is home's "Music"), the player runs on a private X server, "Add / Save ..." is
# opened and "Music Search" clicked (the music folder is the drive list's choice at start);
# screenshots are taken during the walk and after it. A second walk is stopped half way with a
# click on the toggle, which waits on the page while a search runs.
#
#   tools/check/search.sh OUT_DIR
#
# Writes OUT_DIR/01-panel.png, 02-walking.png, 03-done.png, 04-walking-toggle-on-page.png,
# 04-stopped.png,
# 05-two-seconds-later.png (the window only) and OUT_DIR/report.txt (line counts and times).
# Environment: see common.sh (BUILD_DIR, JOBS, CHECK_NO_BUILD, KEEP_TMP).
# Exit code: 0 pictures taken and player closed, 1 otherwise, 2 set-up failure.
set -euo pipefail
source "$(dirname "$0")/common.sh"
out_dir_arg "$@"

ensure_x_tools
build_targets velorixa

# 400 MP3 files (empty: the search only reads names) seven folders deep, with other files and
# 100,000 folders without music.
export HOME=$tmp/home XDG_CONFIG_HOME=$tmp/config
mkdir -p "$XDG_CONFIG_HOME"
music=$HOME/Music
for a in 1 2 3 4 5; do
  for b in 1 2 3 4; do
    d="$music/Artist $a/Album $b/CD/Tracks/Side A/Takes/Final"
    mkdir -p "$d"
    for t in $(seq -w 1 20); do
      : >"$d/Track $t.mp3"
      : >"$d/Cover $t.jpg"
    done
    # 5000 folders without music after each album's tracks: the walk takes some seconds.
    mkdir -p "$d/../Outtakes/"{0001..5000}
  done
done
log "made $(find "$music" -iname '*.mp3' | wc -l) MP3 files under $music"

# A station list beside the player, so no "NetRadio list not found" box waits at the start.
mkdir -p "$tmp/player"
cp "$repo/data/NetRadio.ini" "$tmp/player/"

start_xvfb
export SDL_AUDIODRIVER=dummy
show_player 3 # past the title cover
shot() {
  import -window "$win" "$out/$1.png"
  log "$1.png"
}
click() { xdotool mousemove --window "$win" "$1" "$2" click 1; }
add_save() { click 408 47; }   # "Add / Save ..."
toggle() { click 153 303; }    # "Music Search" in the panel
stop_toggle() { click 407 311; } # the same toggle on the page while the search runs
memo_lines() { [ -f "$tmp/player/MemoList.ini" ] && wc -l <"$tmp/player/MemoList.ini" || echo 0; }

add_save
sleep 0.5
shot 01-panel
start=$(date +%s.%N)
toggle
sleep 0.4
shot 02-walking
# The walk is taken as ended when the list has not changed for 5 s (its last change is the
# scroll to the end).
prev=""
same=0
last_change=$(date +%s.%N)
for _ in $(seq 1200); do
  cur=$(import -window "$win" -crop 346x378+12+36 +repage ppm:- | md5sum)
  if [ "$cur" = "$prev" ]; then
    same=$((same + 1))
    [ $same -ge 10 ] && break
  else
    same=0
    last_change=$(date +%s.%N)
  fi
  prev=$cur
  sleep 0.5
done
end=$last_change
shot 03-done
walk_s=$(echo "$end - $start" | bc)
log "first walk ended (the list stopped growing) after about $walk_s s"

# A second walk appended to the same list, stopped about half way by a click on the toggle on
# the page.
add_save
sleep 0.3
toggle
sleep "$(echo "$walk_s / 2" | bc -l)"
shot 04-walking-toggle-on-page
stop_toggle
shot 04-stopped
sleep 2
shot 05-two-seconds-later

close_player "$win" || true
log "$exit_how"
{
  echo "first walk: about $walk_s s"
  echo "MemoList.ini lines at exit (a whole walk, then a stopped one): $(memo_lines)"
  echo "MP3 of the test tree in it: $(grep -c "^$music" "$tmp/player/MemoList.ini" 2>/dev/null || echo 0) (400 per whole walk)"
} | tee "$out/report.txt"
[ -s "$tmp/player.log" ] && sed 's/^/    /' "$tmp/player.log"
exit 0
