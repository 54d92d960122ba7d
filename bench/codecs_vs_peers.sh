#!/usr/bin/env bash
# Compares `quillon convert` of a 10-minute 16-bit stereo WAV to FLAC, MP3 (128 kbit/s CBR)
# and Ogg Vorbis with flac, lame and oggenc at the same settings on the same file (wall time,
# best of three, the two commands taking turns). Usage: bench/codecs_vs_peers.sh [build/bin]
set -euo pipefail
bin="$(cd "${1:-$(dirname "$0")/../build/bin}" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/quillon-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config"
wav="$work/in.wav"
limit=1.10

# A tone with a second voice, so that the encoders have some work to do.
ffmpeg -loglevel error -y -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=600" \
  -f lavfi -i "anoisesrc=color=pink:sample_rate=44100:duration=600:amplitude=0.1" \
  -filter_complex "[0][1]amix=inputs=2,pan=stereo|c0=c0|c1=0.7*c0" \
  -fflags +bitexact -flags:a +bitexact -c:a pcm_s16le "$wav"

. "$(dirname "$0")/timing.sh"

quillon() { # format extra-settings...
  local format=$1
  shift
  rm -rf "$work/out"
  "$bin/quillon" convert "$wav" --set "RipToFormat=$format" --set "ConvFilePath=$work/out" \
    --set OutputFileNameFormat="<Track Number>" "$@"
}

# The peers at the settings the converter uses by default: FLAC with fixed predictors,
# 4608-sample blocks, mid/side stereo and one residual partition; LAME at quality 5 in plain
# stereo without the ReplayGain analysis that only its command line adds; Vorbis at quality
# 0.75 (the Ogg level 75).
flac_peer() { flac -s -f -l 0 -b 4608 -m -r 0 -o "$work/peer.flac" "$wav"; }
lame_peer() { lame --quiet --noreplaygain -b 128 -q 5 -m s "$wav" "$work/peer.mp3"; }
oggenc_peer() { oggenc -Q -q 7.5 -o "$work/peer.ogg" "$wav"; }

status=0
compare() { # name peer-function quillon-arguments...
  local name=$1 peer=$2 peer_best="" ours_best=""
  shift 2
  for _ in 1 2 3; do
    peer_best=$(smaller "$(elapsed "$peer")" "$peer_best")
    ours_best=$(smaller "$(elapsed quillon "$@")" "$ours_best")
  done
  awk -v n="$name" -v p="$peer_best" -v q="$ours_best" -v l="$limit" 'BEGIN {
    printf "%-7s peer %.3f s, quillon convert %.3f s, ratio %.3f (limit %.2f)\n", n, p, q, q / p, l
    exit !(q / p <= l) }' || status=1
}

compare FLAC flac_peer FLAC
compare MP3 lame_peer MP3 --set CBRBitrate=128
compare Ogg oggenc_peer OGG
exit $status
