#!/usr/bin/env bash
# Rips a generated 20-minute CD image (CUE sheet + BIN, ten audio tracks of two minutes) to WAV
# with `quillon rip --drive image.cue` (full paranoia, the default) and with the peer
# `cd-paranoia -d image.cue 1-10 out.wav` in one run (wall time, best of three, the two commands
# taking turns), and reports each as a multiple of real time and their ratio. Fails when
# quillon rips at less than 50 times real time.
# Usage: bench/rip_vs_cd_paranoia.sh [build/bin]
set -euo pipefail
bin="$(cd "${1:-$(dirname "$0")/../build/bin}" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/quillon-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"
tracks=10
track_seconds=120
minimum=50

# The image: a tone with a second voice, so that no two sectors are alike, then a sheet that
# cuts it into tracks.
ffmpeg -loglevel error -y \
  -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$((tracks * track_seconds))" \
  -f lavfi -i "anoisesrc=color=pink:sample_rate=44100:duration=$((tracks * track_seconds)):amplitude=0.1" \
  -filter_complex "[0][1]amix=inputs=2,pan=stereo|c0=c0|c1=0.7*c0" \
  -fflags +bitexact -f s16le -c:a pcm_s16le "$work/image.bin"
{
  echo 'FILE "image.bin" BINARY'
  for ((n = 1; n <= tracks; n++)); do
    minutes=$(((n - 1) * track_seconds / 60))
    printf '  TRACK %02d AUDIO\n    INDEX 01 %02d:%02d:00\n' "$n" "$minutes" $(((n - 1) * track_seconds % 60))
  done
} >"$work/image.cue"

. "$(dirname "$0")/timing.sh"

quillon() {
  rm -rf "$work/out"
  "$bin/quillon" rip --drive "$work/image.cue" --set RipToFormat=WAV --set "FilePath=$work/out" \
    --set OutputFileNameFormat="<Track Number>" --set SavePlayList=None
}
peer() { (cd "$work" && cd-paranoia -q -d image.cue "1-$tracks" peer.wav); }

# Both must rip the whole image exactly before their times count.
quillon >/dev/null 2>&1 || { echo "quillon rip failed" >&2; exit 1; }
peer >/dev/null 2>&1 || { echo "cd-paranoia failed" >&2; exit 1; }
for ((n = 1; n <= tracks; n++)); do
  tail -c +45 "$work/out/$(printf %02d "$n").WAV"
done | cmp -s - "$work/image.bin" || { echo "quillon rip does not match the image" >&2; exit 1; }
tail -c +45 "$work/peer.wav" | cmp -s - "$work/image.bin" ||
  { echo "cd-paranoia does not match the image" >&2; exit 1; }

peer_best="" ours_best=""
for _ in 1 2 3; do
  peer_best=$(smaller "$(elapsed peer)" "$peer_best")
  ours_best=$(smaller "$(elapsed quillon)" "$ours_best")
done
awk -v p="$peer_best" -v q="$ours_best" -v s=$((tracks * track_seconds)) -v m="$minimum" 'BEGIN {
  printf "rip %d min image to WAV: cd-paranoia %.3f s (%.0fx real time), quillon rip %.3f s (%.0fx real time), ratio %.3f (quillon at least %dx)\n",
    s / 60, p, s / p, q, s / q, q / p, m
  exit !(s / q >= m) }'
