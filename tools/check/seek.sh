#!/usr/bin/env bash
# Seeks a playing file from the keyboard as an operator would and listens where the sound went.
#
#   tools/check/seek.sh OUT_DIR
#
# An 80 s file whose tone rises 75 Hz each second (300 Hz in second 0) is made with ffmpeg, so
# each stretch of the recording names the second of the file it came from. The player (a copy in
# a temporary folder, SDL's "disk" output writing what it plays into out.raw) runs on a private X
# server; keys by xdotool:
#   Tab                the "PlayBack" page, with the position bar
#   numeric "*"        play
#   Shift+Right        5 s on     (screenshot OUT_DIR/after-shift-right.png)
#   Shift+Page Down    30 s on
#   Shift+Left         5 s back
#   Right              the next page (no seek)
#   Escape, then Y
# The recording is read back second by second; each jump of the file's second must be the key's.
# Environment: see common.sh. Exit code: 0 passed, 1 a check failed, 2 set-up failure.
set -euo pipefail
source "$(dirname "$0")/common.sh"
out_dir_arg "$@"

ensure_x_tools
build_targets velorixa

mkdir -p "$tmp/media" "$tmp/player"
file="$tmp/media/tone per second.mp3"
ffmpeg -loglevel error -f lavfi -i "aevalsrc='0.4*sin(2*PI*(300+75*floor(t))*t)':s=44100:d=80" \
  -ac 2 -b:a 192k "$file"
printf '%s\r\n' "$file" >"$tmp/player/MemoList.ini"

start_xvfb
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$tmp/out.raw
show_player

key() {
  log "key $1"
  xdotool key --clearmodifiers "$1"
}
key Tab
key KP_Multiply
sleep 3
key shift+Right
sleep 0.5
import -window root "$out/after-shift-right.png" 2>/dev/null || true
sleep 2.5
key shift+Next
sleep 3
key shift+Left
sleep 3
key Right
sleep 2

status=0
close_player "$win" || status=1
log "$exit_how"
[ "$status" = 0 ] || { kill "$player_pid" 2>/dev/null || true; wait_player_end 5 || true; }

python3 - "$tmp/out.raw" >"$out/seek.txt" <<'EOF' || status=1
import math, struct, sys
rate = 44100
data = open(sys.argv[1], "rb").read()
n = len(data) // 8
mono = [0.0] * n
for i, (l, r) in enumerate(struct.iter_unpack("<ff", data[: n * 8])):
    mono[i] = 0.5 * (l + r)
win, hop = 882, 2205  # 20 ms windows every 50 ms
seconds = []
for s in range(0, n - win, hop):
    x = mono[s : s + win]
    if max(abs(v) for v in x) < 0.05:
        seconds.append(None)
        continue
    best, best_p = None, 0.0
    for k in range(80):
        c = 2 * math.cos(2 * math.pi * (300 + 75 * k) / rate)
        s1 = s2 = 0.0
        for v in x:
            s1, s2 = v + c * s1 - s2, s1
        p = s1 * s1 + s2 * s2 - c * s1 * s2
        if p > best_p:
            best, best_p = k, p
    seconds.append(best)
# Jumps: a change of more than one second between two windows 50 ms apart.
jumps = []
prev = None
for i, k in enumerate(seconds):
    if k is not None and prev is not None and k != prev and k != prev + 1:
        jumps.append((i * hop / rate, prev, k))
    if k is not None:
        prev = k
heard = [k for k in seconds if k is not None]
print("recorded %.1f s, file seconds heard from %s to %s" % (n / rate, heard[0] if heard else "-", heard[-1] if heard else "-"))
for t, a, b in jumps:
    print("at %.2f s of the recording: second %d -> second %d (%+d s)" % (t, a, b, b - a))
steps = [b - a for _, a, b in jumps]
# Each jump lands within a second of the key's step (the seconds are whole, the place is not).
want = [5, 30, -5]
ok = len(steps) == 3 and all(abs(s - w) <= 1 for s, w in zip(steps, want))
print("jumps", "as the keys asked (+5, +30, -5)" if ok else "NOT as the keys asked: %s" % steps)
sys.exit(0 if ok else 1)
EOF
cat "$out/seek.txt"
exit $status
