#!/usr/bin/env bash
# The whole player's CPU and memory while it plays an MP3, side by side with Audacious (Debian's
# package) playing the same file at the same time: both on one private X server, both into the
# same real sound server, a private PulseAudio with a null sink that this script starts and ends.
# Rounds alternate the player's page in front, "PlayBack" (the display) and "PlayList"; in every
# round both processes are measured over the same seconds (utime + stime in /proc), so each
# ratio comes from one stretch of time on one machine. Memory is each process's RSS after the
# first SECONDS of playing.
#
#   tools/bench_player/cpu.sh [SECONDS [ROUNDS]]   (default 30 s per page, 2 rounds)
#
# Before measuring it checks that both really play: each has a stream on the null sink that is
# not corked. SINK_RATE (default 44100, the file's rate; 48000 makes the player convert while
# Audacious leaves the conversion to the server) sets the sink's rate. MEM_DETAIL=N prints each
# process's N largest shares of RSS at the memory reading, by mapped file (anonymous memory,
# heap and stacks under their own names): the profile of where the memory goes.
#
# Installs Audacious, PulseAudio, sox and sox's MP3 support when missing (this benchmark's needs,
# not the player's). Environment: see tools/check/common.sh (BUILD_DIR, JOBS, CHECK_NO_BUILD,
# KEEP_TMP).
set -euo pipefail
seconds=${1:-30}
rounds=${2:-2}
sink_rate=${SINK_RATE:-44100}
source "$(dirname "$0")/../check/common.sh"
ensure_x_tools
ensure_packages "the player benchmark" audacious pulseaudio pulseaudio-utils sox libsox-fmt-mp3
build_targets velorixa
aud_pid=""
pulse_pid=""
stop_all() {
  if [ -n "$aud_pid" ] && kill -0 "$aud_pid" 2>/dev/null; then kill "$aud_pid" 2>/dev/null || true; fi
  if [ -n "$player_pid" ] && kill -0 "$player_pid" 2>/dev/null; then kill "$player_pid" 2>/dev/null || true; fi
  if [ -n "$pulse_pid" ] && kill -0 "$pulse_pid" 2>/dev/null; then kill "$pulse_pid" 2>/dev/null || true; fi
  cleanup
}
trap stop_all EXIT

mkdir -p "$tmp/media" "$tmp/player" "$tmp/aud-home" "$tmp/player-home"
music="$tmp/media/pink.mp3"
length=$((rounds * 2 * (seconds + 3) + seconds + 60))
sox -n -r 44100 -c 2 "$music" synth "$length" pinknoise vol 0.7 2>/dev/null
printf '%s\r\n' "$music" >"$tmp/player/MemoList.ini"

start_pulse "$sink_rate"
start_xvfb
# No session bus for either player: neither gets desktop media controls.
export DBUS_SESSION_BUS_ADDRESS=disabled:
export SDL_AUDIODRIVER=pulseaudio
# True when the sink has an uncorked stream of the application named $1.
playing() {
  pactl list sink-inputs | awk -v app="$1" '
    /^Sink Input/ { corked = "" }
    /Corked:/ { corked = $2 }
    /application.name =/ { if (index($0, "\"" app "\"") && corked == "no") found = 1 }
    END { exit !found }'
}

# Audacious's first start in a fresh home loads every plugin it has (FFmpeg's libraries among
# them) to write its plugin registry, and keeps them mapped: 30 MB more than any later start.
# One start that plays and ends writes the registry, as a user's earlier runs have.
HOME=$tmp/aud-home audacious "$music" >"$tmp/audacious-first.log" 2>&1 &
aud_pid=$!
for _ in $(seq 100); do playing Audacious && break; sleep 0.1; done
kill "$aud_pid"
wait "$aud_pid" 2>/dev/null || true
[ -s "$tmp/aud-home/.config/audacious/plugin-registry" ] ||
  { echo "Audacious wrote no plugin registry" >&2; exit 1; }

HOME=$tmp/player-home show_player
xdotool key --clearmodifiers KP_Multiply # play the list's first title
HOME=$tmp/aud-home audacious "$music" >"$tmp/audacious.log" 2>&1 &
aud_pid=$!
log "Audacious started (pid $aud_pid)"
t_start=$(date +%s)
for _ in $(seq 100); do
  playing Velorixa && playing Audacious && break
  sleep 0.1
done
for app in Velorixa Audacious; do
  playing "$app" || { pactl list sink-inputs >&2; echo "$app does not play into the sink" >&2; exit 1; }
done
log "both play into the null sink"

hz=$(getconf CLK_TCK)
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
# Keys go to the player's window, which Audacious's window may have taken the focus from.
key() {
  xdotool windowfocus --sync "$win" 2>/dev/null || xdotool windowfocus "$win" 2>/dev/null || true
  xdotool key --clearmodifiers "$1"
}

# One measurement: both processes over the same SECONDS; prints "player_ticks aud_ticks seconds".
measure() {
  local pa aa pb ab t0 t1
  sleep 2 # settle after the page change
  pa=$(ticks "$player_pid")
  aa=$(ticks "$aud_pid")
  t0=$(date +%s.%N)
  sleep "$seconds"
  pb=$(ticks "$player_pid")
  ab=$(ticks "$aud_pid")
  t1=$(date +%s.%N)
  playing Velorixa || { echo "the player stopped playing" >&2; exit 1; }
  playing Audacious || { echo "Audacious stopped playing" >&2; exit 1; }
  awk -v pa="$pa" -v pb="$pb" -v aa="$aa" -v ab="$ab" -v t0="$t0" -v t1="$t1" \
    'BEGIN { printf "%d %d %.3f\n", pb - pa, ab - aa, t1 - t0 }'
}

# The pages by the Tab key: 0 PlayList, 1 PlayBack, ... (Tab walks 1, 2, 3, 2, 1, 0).
results=()
rss_player="" rss_aud=""
for r in $(seq "$rounds"); do
  key Tab # page "PlayBack"
  back=$(measure)
  if [ -z "$rss_player" ]; then
    sleep $((t_start + seconds > $(date +%s) ? t_start + seconds - $(date +%s) : 0))
    rss_player=$(rss_kb "$player_pid")
    rss_aud=$(rss_kb "$aud_pid")
    if [ "${MEM_DETAIL:-0}" -gt 0 ]; then
      cp "/proc/$player_pid/smaps" "$tmp/player.smaps"
      cp "/proc/$aud_pid/smaps" "$tmp/audacious.smaps"
    fi
  fi
  for _ in 1 2 3 4 5; do key Tab; done
  list=$(measure)
  log "round $r: PlayBack page ticks player/Audacious/s = $back; PlayList page = $list"
  results+=("$back $list")
done

printf '%s\n' "${results[@]}" | awk -v rounds="$rounds" -v s="$seconds" -v hz="$hz" \
  -v rp="$rss_player" -v ra="$rss_aud" -v rate="$sink_rate" '
  { bp += $1; ba += $2; bt += $3; lp += $4; la += $5; lt += $6 }
  END {
    printf "\nCPU %% of one core, %d rounds of %d s per page, both players into one PulseAudio null sink (%d Hz)\n", rounds, s, rate
    printf "  %-34s %8s %9s %8s\n", "", "player", "Audacious", "ratio"
    printf "  %-34s %8.2f %9.2f %8.2f   (aim: ratio <= 1.5)\n", "PlayBack page (display) in front",
      100 * bp / (bt * hz), 100 * ba / (bt * hz), (ba > 0 ? bp / ba : 0)
    printf "  %-34s %8.2f %9.2f %8.2f   (aim: ratio <= 1.0)\n", "PlayList page in front",
      100 * lp / (lt * hz), 100 * la / (lt * hz), (la > 0 ? lp / la : 0)
    printf "  %-34s %8.1f %9.1f %8.2f   (aim: ratio <= 1.0)\n", "RSS MB after " s " s of playing",
      rp / 1024, ra / 1024, (ra > 0 ? rp / ra : 0)
    printf "  ticks (1/%d s): PlayBack %d / %d, PlayList %d / %d\n", hz, bp, ba, lp, la
  }'
echo "load: $(uptime)"
close_player "$win" || true

# RSS by mapping: a header line names the mapping (its file, or [heap], [stack], anon), the
# "Rss:" lines after it are summed under that name.
mem_detail() {
  awk -v top="$MEM_DETAIL" '
    /^[0-9a-f]+-[0-9a-f]+ / { name = (NF >= 6 ? $6 : "[anonymous]"); sub(/.*\//, "", name); next }
    /^Rss:/ { rss[name] += $2; total += $2 }
    END {
      n = 0
      for (k in rss) keys[++n] = k
      for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++)
        if (rss[keys[j]] > rss[keys[i]]) { t = keys[i]; keys[i] = keys[j]; keys[j] = t }
      for (i = 1; i <= n && i <= top; i++) printf "    %8.2f MB  %s\n", rss[keys[i]] / 1024, keys[i]
      printf "    %8.2f MB  total of %d mappings\n", total / 1024, n
    }' "$1"
}
if [ "${MEM_DETAIL:-0}" -gt 0 ]; then
  printf '\nRSS by mapping, player:\n'
  mem_detail "$tmp/player.smaps"
  printf 'RSS by mapping, Audacious:\n'
  mem_detail "$tmp/audacious.smaps"
fi
