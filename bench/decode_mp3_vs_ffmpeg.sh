#!/usr/bin/env bash
# Compares `quillon convert` of a 10-minute MP3 to WAV with `ffmpeg -i in.mp3 out.wav` (wall
# time, best of RUNS runs), and checks that both hold the same number of samples.
# Usage: bench/decode_mp3_vs_ffmpeg.sh [build/bin]
set -euo pipefail
bin="$(cd "${1:-$(dirname "$0")/../build/bin}" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/quillon-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"

. "$(dirname "$0")/timing.sh"

mp3="$work/in.mp3"
ffmpeg -loglevel error -y -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=600" \
  -af "pan=stereo|c0=c0|c1=0.5*c0" -c:a pcm_s16le "$work/in.wav"
lame --quiet -b 192 "$work/in.wav" "$mp3"
rm -f "$work/in.wav"

convert() {
  rm -rf "$work/out"
  "$bin/quillon" convert "$mp3" --set RipToFormat=WAV --set "ConvFilePath=$work/out" \
    --set OutputFileNameFormat="<Track Number>"
}
decode() { ffmpeg -loglevel error -y -i "$mp3" "$work/ffmpeg.wav"; }

ffmpeg_time=$(seconds decode)
q_time=$(seconds convert)
samples() { ffprobe -v error -select_streams a:0 -count_packets -show_entries stream=duration_ts \
  -of default=nw=1:nk=1 "$1"; }
[ "$(samples "$work/out/01.WAV")" = "$(samples "$work/ffmpeg.wav")" ] ||
  { echo "quillon and ffmpeg decoded different lengths" >&2; exit 1; }
awk -v f="$ffmpeg_time" -v q="$q_time" \
  'BEGIN { printf "ffmpeg %.3f s, quillon convert %.3f s, ratio %.2f (limit 1.20)\n", f, q, q / f }'
