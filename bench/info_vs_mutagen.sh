#!/usr/bin/env bash
# Compares `quillon info` over 1,000 files of mixed formats, a sixth each (MP3 with ID3v2 and
# ID3v1 tags, Ogg Vorbis, WAV, WMA, APE-tagged, FLAC with Vorbis comments) with a mutagen
# script that reads the same fields from the same files in one Python process (wall time, best
# of ten). The target is a ratio of at least 10. Usage: bench/info_vs_mutagen.sh [build/bin]
set -euo pipefail
bin="$(cd "${1:-$(dirname "$0")/../build/bin}" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/quillon-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
python=/usr/bin/python3
total=1000
formats=(mp3 ogg wav wma ape flac)


# One master per format, then copies with their own titles where the format is cheap to retag.
src="$work/src"
mkdir -p "$src" "$work/files"
tone() { ffmpeg -loglevel error -y -f lavfi -i "sine=frequency=440:duration=20" -ac 2 "$@"; }
tone -c:a libmp3lame -b:a 128k -id3v2_version 3 -write_id3v1 1 \
  -metadata title=Song -metadata artist=Band -metadata album=Disc -metadata track=1 "$src/m.mp3"
tone -c:a libvorbis -metadata title=Song -metadata artist=Band "$src/m.ogg"
tone -c:a pcm_s16le "$src/m.wav"
tone -c:a wmav2 -metadata title=Song -metadata author=Band "$src/m.wma"
tone -c:a flac -metadata title=Song -metadata artist=Band -metadata album=Disc \
  -metadata track=1 "$src/m.flac"
head -c 300000 /dev/urandom >"$src/m.ape"
"$python" -c "
from mutagen.apev2 import APEv2
t = APEv2(); t['Title'] = 'Song'; t['Artist'] = 'Band'; t['Track'] = '1'
t.save('$src/m.ape')"
for n in "${!formats[@]}"; do
  ext=${formats[$n]}
  # 1,000 files in six formats: the first ones take one file more.
  share=$(((total + ${#formats[@]} - 1 - n) / ${#formats[@]}))
  for i in $(seq 1 "$share"); do cp "$src/m.$ext" "$work/files/f$i.$ext"; done
done
find "$work/files" -type f | sort >"$work/list.txt"
count=$(wc -l <"$work/list.txt")

# The script asks mutagen for the fields `quillon info` reports: the same tag fields of each
# format, the stream facts mutagen knows and the file size.
cat >"$work/read.py" <<'PY'
import os, sys
from mutagen.apev2 import APEv2
from mutagen.asf import ASF
from mutagen.flac import FLAC
from mutagen.mp3 import MP3
from mutagen.oggvorbis import OggVorbis
from mutagen.wave import WAVE

fields = {
    'mp3': (MP3, ['TIT2', 'TPE1', 'TALB', 'TRCK', 'TYER', 'TCON', 'COMM', 'TCOM', 'TENC', 'TCOP',
                  'TLAN', 'WXXX', 'USLT']),
    'ogg': (OggVorbis, ['title', 'artist', 'album', 'tracknumber', 'date', 'genre', 'comment',
                        'description', 'performer']),
    'wma': (ASF, ['Title', 'Author', 'WM/AlbumTitle', 'WM/TrackNumber', 'WM/Year', 'WM/Genre',
                  'Description', 'WM/Lyrics']),
    'ape': (APEv2, ['Title', 'Artist', 'Album', 'Track', 'Year', 'Genre', 'Comment', 'Copyright']),
    'wav': (WAVE, []),
    'flac': (FLAC, ['title', 'artist', 'album', 'tracknumber', 'date', 'genre', 'comment',
                    'description', 'performer']),
}
stream = ['length', 'bitrate', 'sample_rate', 'channels', 'mode', 'version', 'layer', 'protected',
          'bits_per_sample', 'total_samples']

def text(values):
    return '/'.join(str(value) for value in values) if values else ''

for path in open(sys.argv[1]).read().splitlines():
    reader, keys = fields[path.rsplit('.', 1)[1]]
    f = reader(path)
    tags = f if reader is APEv2 else (f.tags or {})
    if reader is MP3:
        values = [text(tags.getall(key)) if tags else '' for key in keys]
    else:
        values = [text(tags.get(key)) for key in keys]
    info = getattr(f, 'info', None)
    values += [getattr(info, name, '') for name in stream]
    print(path, os.path.getsize(path), *values, sep='\t')
PY

mapfile -t files <"$work/list.txt"
"$bin/quillon" info --json "${files[@]}" | "$python" -c "
import json, sys
records = [json.loads(line) for line in sys.stdin]
n = sum(1 for r in records if r['MPEG']['Duration'] > 19 or r['Title'] == 'Song')
assert n == $count, n" || { echo "quillon info did not read every file" >&2; exit 1; }

# Both commands take about a tenth of a second, so they are started straight from Python (a
# shell's own start would weigh on the faster one), taking turns, best of ten each.
"$python" - "$bin/quillon" "$work/read.py" "$work/list.txt" <<'PY'
import subprocess, sys, time
quillon, script, listing = sys.argv[1:]
files = open(listing).read().splitlines()
commands = {"mutagen": ["/usr/bin/python3", script, listing],
            "quillon info": [quillon, "info", "--json"] + files}
best = {name: float("inf") for name in commands}
for _ in range(10):
    for name, command in commands.items():
        start = time.perf_counter()
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
        best[name] = min(best[name], time.perf_counter() - start)
print("%d files: mutagen %.3f s, quillon info %.4f s, ratio %.1f (target 10)"
      % (len(files), best["mutagen"], best["quillon info"], best["mutagen"] / best["quillon info"]))
PY
