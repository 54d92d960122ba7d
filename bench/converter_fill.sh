#!/usr/bin/env bash
# Filling the converter window's list: makes 1,000 real audio files (copies of four one-second
# files, MP3, Ogg Vorbis, FLAC and WAV, under different names, some in a subfolder), then lets
# the converter window (offscreen) add their folder RUNS times (default 5, after one run that is
# not counted), measuring from AddFiles to all 1,000 rows listed. Reports the best and the
# median against the target of 2,000 ms, with the longest hold-up of the window's event loop,
# and fails when the median misses the target.
# Usage: bench/converter_fill.sh [build/bin]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
bin="$(cd "${1:-$here/../build/bin}" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/quillon-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
target_ms=2000
files=1000

tone() { # extension, encoder options...
  local extension=$1
  shift
  ffmpeg -loglevel error -y -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=1" \
    -ac 2 -metadata title="Tone" -metadata artist="Bench" "$@" "$work/tone.$extension"
}
tone mp3 -c:a libmp3lame -b:a 128k
tone ogg -c:a libvorbis -q:a 3
tone flac -c:a flac
tone wav -c:a pcm_s16le

mkdir -p "$work/files/more"
extensions=(mp3 ogg flac wav)
for n in $(seq 1 "$files"); do
  extension=${extensions[$((n % 4))]}
  folder="$work/files"
  if [ "$n" -gt $((files * 3 / 4)) ]; then folder="$work/files/more"; fi
  cp "$work/tone.$extension" "$folder/Track $n.$extension"
done

# One run: prints "fill MS stall MS"; Qt's notes go to a log, shown when the run fails.
fill() {
  "$bin/converter_fill" "$work/files" "$files" 2>>"$work/log" || { cat "$work/log" >&2; exit 1; }
}
fill >/dev/null
results=()
for _ in $(seq "${RUNS:-5}"); do
  results+=("$(fill)")
done
printf '%s\n' "${results[@]}" | sort -n -k2 | awk -v t="$target_ms" -v n="$files" '
  { fill[NR] = $2; stall = ($4 > stall) ? $4 : stall }
  END {
    median = NR % 2 ? fill[(NR + 1) / 2] : (fill[NR / 2] + fill[NR / 2 + 1]) / 2
    printf "converter list of %d files (%d runs): best %.0f ms, median %.0f ms (target %d ms); longest event-loop hold-up %.0f ms\n",
      n, NR, fill[1], median, t, stall
    exit !(median < t) }'
