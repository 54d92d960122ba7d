#!/usr/bin/env bash
# Compares the Monkey's Audio compressor of libMACDll.so (driven by ape_encode as the APE sink
# drives it) with `jmac c<level>` on the same three-minute 16-bit stereo WAV, at every level:
# wall time (best of RUNS, default 3, the two taking turns), output size, and our real-time
# factor. Limits: at levels 1000-4000 at least 3 times faster than jmac; at every level the
# output within 0.5% of jmac's size. Our files are also decoded by FFmpeg and compared.
# Usage: bench/ape_vs_jmac.sh [build/bin]
set -euo pipefail
bin="$(cd "${1:-$(dirname "$0")/../build/bin}" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/quillon-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
wav="$work/in.wav"
duration=180
speed_limit=3
size_limit=0.005

# Two voices that move against each other over pink noise, different in each channel.
ffmpeg -loglevel error -y -f lavfi -i "sine=frequency=220:sample_rate=44100:duration=$duration" \
  -f lavfi -i "sine=frequency=331:sample_rate=44100:duration=$duration" \
  -f lavfi -i "anoisesrc=color=pink:sample_rate=44100:duration=$duration:amplitude=0.08:seed=7" \
  -filter_complex "[0]tremolo=f=0.7:d=0.6,asplit[a1][a2];[1]vibrato=f=3:d=0.3,asplit[b1][b2];[2]asplit[n1][n2];[a1][b1][n1]amix=inputs=3:weights=1 0.5 1[l];[b2][a2][n2]amix=inputs=3:weights=1 0.4 0.7,aecho=0.8:0.5:60:0.3[r];[l]aformat=sample_fmts=fltp:channel_layouts=mono[lm];[r]aformat=sample_fmts=fltp:channel_layouts=mono[rm];[lm][rm]amerge=inputs=2" \
  -fflags +bitexact -flags:a +bitexact -c:a pcm_s16le "$wav"
ffmpeg -loglevel error -i "$wav" -f s16le "$work/in.raw"

. "$(dirname "$0")/timing.sh"

ours() { "$bin/ape_encode" "$1" "$wav" "$work/ours.ape"; }
# jmac writes over an existing file without truncating it: it always gets a fresh name.
peer() {
  rm -f "$work/peer.ape"
  jmac "c$(($1 / 1000))" "$wav" "$work/peer.ape"
}

status=0
for level in 1000 2000 3000 4000 5000; do
  peer_best="" ours_best=""
  for _ in $(seq "${RUNS:-3}"); do
    peer_best=$(smaller "$(elapsed peer "$level")" "$peer_best")
    ours_best=$(smaller "$(elapsed ours "$level")" "$ours_best")
  done
  if ! ffmpeg -v error -err_detect crccheck+explode -i "$work/ours.ape" -f s16le - |
    cmp -s - "$work/in.raw"; then
    echo "$level: our file does not decode to the input"
    status=1
  fi
  awk -v l="$level" -v p="$peer_best" -v q="$ours_best" -v d="$duration" \
    -v ps="$(stat -c %s "$work/peer.ape")" -v qs="$(stat -c %s "$work/ours.ape")" \
    -v sl="$speed_limit" -v zl="$size_limit" 'BEGIN {
    size = qs / ps; speed = p / q
    printf "%d: jmac %.3f s %d bytes, ours %.3f s %d bytes (%.1fx real time); " \
           "%.2fx faster (limit %s at 1000-4000), size ratio %.4f (limit 1 + %s)\n",
           l, p, ps, q, qs, d / q, speed, sl, size, zl
    exit !((l == 5000 || speed >= sl) && size <= 1 + zl) }' || status=1
done
exit $status
