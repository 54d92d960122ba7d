#!/usr/bin/env bash
# Converts eight 2-minute WAV files to FLAC with `quillon convert --jobs 1` and `--jobs 2`
# (best of three runs each, timing.sh) and reports the ratio of the wall times (limit 0.60 on a machine
# with two processors); the outputs of both must be the same bytes.
# Usage: bench/convert_jobs.sh [build/bin]
set -euo pipefail
bin="$(cd "${1:-$(dirname "$0")/../build/bin}" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/quillon-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"

. "$(dirname "$0")/timing.sh"

# Tones of different pitches with some noise, so that FLAC has real work to do.
inputs=()
for i in 1 2 3 4 5 6 7 8; do
  ffmpeg -loglevel error -y -f lavfi \
    -i "sine=frequency=$((200 + 110 * i)):sample_rate=44100:duration=120" \
    -f lavfi -i "anoisesrc=color=pink:amplitude=0.05:sample_rate=44100:duration=120:seed=$i" \
    -filter_complex "[0][1]amix=inputs=2,pan=stereo|c0=c0|c1=0.7*c0" \
    -fflags +bitexact -flags:a +bitexact -c:a pcm_s16le "$work/in$i.wav"
  inputs+=("$work/in$i.wav")
done

convert() { # jobs output-folder
  rm -rf "$2"
  "$bin/quillon" convert -q --jobs "$1" "${inputs[@]}" --set RipToFormat=FLAC \
    --set "ConvFilePath=$2" --set OutputFileNameFormat="<Track Number>"
}

one=$(seconds convert 1 "$work/one")
two=$(seconds convert 2 "$work/two")
diff -r "$work/one" "$work/two" >/dev/null || { echo "outputs differ between --jobs 1 and 2" >&2; exit 1; }
awk -v a="$one" -v b="$two" -v n="$(nproc)" 'BEGIN {
  printf "8 x 2 min WAV to FLAC on %d processors: --jobs 1 %.2f s, --jobs 2 %.2f s, ratio %.2f (limit 0.60)\n",
         n, a, b, b / a }'
