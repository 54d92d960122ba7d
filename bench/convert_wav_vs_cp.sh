#!/usr/bin/env bash
# Compares `quillon convert` of a long 16-bit stereo PCM WAV to PCM WAV with `cp` of the same
# file (wall time), and reports the converter's peak resident memory for a 10-minute and a
# 60-minute file. Usage: bench/convert_wav_vs_cp.sh [build/bin]
set -euo pipefail
bin="$(cd "${1:-$(dirname "$0")/../build/bin}" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/quillon-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"

make_wav() { # minutes file
  ffmpeg -loglevel error -y -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$(($1 * 60))" \
    -af "pan=stereo|c0=c0|c1=0.5*c0" -fflags +bitexact -flags:a +bitexact -c:a pcm_s16le "$2"
}

. "$(dirname "$0")/timing.sh"

peak_kb() { # input output-folder; prints the converter's peak resident set in kB
  convert "$1" "$2" /usr/bin/time -o "$work/time.txt" -f "%M" >/dev/null 2>&1
  cat "$work/time.txt"
}

convert() { # input output-folder [wrapper...]
  local input=$1 out=$2
  shift 2
  rm -rf "$out"
  "$@" "$bin/quillon" convert "$input" --set RipToFormat=WAV --set "ConvFilePath=$out" \
    --set OutputFileNameFormat="<Track Number>"
}

for minutes in 10 60; do
  wav="$work/in-$minutes.wav"
  make_wav "$minutes" "$wav"
  size=$(stat -c %s "$wav")
  peak=$(peak_kb "$wav" "$work/out")
  cmp "$wav" "$work/out/01.WAV" >/dev/null ||
    { echo "converted audio differs from the input" >&2; exit 1; }
  echo "$minutes min ($((size / 1048576)) MiB): peak resident memory $((peak / 1024)) MiB (limit 40)"
  if [ "$minutes" = 60 ]; then
    cp_time=$(seconds cp "$wav" "$work/copy.wav")
    q_time=$(seconds convert "$wav" "$work/out")
    awk -v c="$cp_time" -v q="$q_time" \
      'BEGIN { printf "cp %.3f s, quillon convert %.3f s, ratio %.2f (limit 1.50)\n", c, q, q / c }'
  fi
  rm -f "$wav" "$work/copy.wav"
done
