"""A short audio CD image (CUE sheet and BIN file) and the CD database entry that describes it."""

import subprocess
from pathlib import Path

SECTOR_BYTES = 2352
SECTORS_PER_SECOND = 75
FIRST_OFFSET = 150  # the first track starts 2 seconds into the disc


def _digit_sum(n):
    return sum(int(d) for d in str(n))


class Disc:
    artist = "Harbour Lights"
    album = "Signals From The Pier"
    year = "1987"
    genre = "Folk"

    def __init__(self, folder, seconds, titles):
        self.folder = Path(folder)
        self.seconds = list(seconds)
        self.titles = list(titles)
        self.sheet = self.folder / "disc.cue"
        self.bin = self.folder / "disc.bin"
        starts = [FIRST_OFFSET]
        for s in self.seconds:
            starts.append(starts[-1] + s * SECTORS_PER_SECOND)
        self.offsets = starts[:-1]
        self.lead_out = starts[-1]

    def track_bytes(self, n):
        return self.seconds[n - 1] * SECTORS_PER_SECOND * SECTOR_BYTES

    def caption(self, n):
        """The row caption the track list shows for track n: "[3] - 1:05"."""
        s = self.seconds[n - 1]
        return f"[{n}] - {s // 60}:{s % 60:02d}"

    def disc_id(self):
        checksum = sum(_digit_sum(o // SECTORS_PER_SECOND) for o in self.offsets)
        length = self.lead_out // SECTORS_PER_SECOND - self.offsets[0] // SECTORS_PER_SECOND
        return f"{(checksum % 0xFF) << 24 | length << 8 | len(self.seconds):08x}"

    def write(self):
        """Writes the BIN file (one tone per track, each of its own pitch) and the CUE sheet."""
        self.folder.mkdir(parents=True, exist_ok=True)
        with open(self.bin, "wb") as out:
            for n, s in enumerate(self.seconds, 1):
                tone = subprocess.run(
                    ["ffmpeg", "-loglevel", "error", "-f", "lavfi", "-i",
                     f"sine=frequency={220 + 110 * n}:sample_rate=44100:duration={s}",
                     "-ac", "2", "-f", "s16le", "-c:a", "pcm_s16le", "-"],
                    check=True, capture_output=True).stdout
                if len(tone) != self.track_bytes(n):
                    raise RuntimeError(f"ffmpeg made {len(tone)} bytes for track {n}")
                out.write(tone)
        lines = ['FILE "disc.bin" BINARY']
        position = 0
        for n, s in enumerate(self.seconds, 1):
            lines.append(f"  TRACK {n:02d} AUDIO")
            lines.append(f"    INDEX 01 {position // 60:02d}:{position % 60:02d}:00")
            position += s
        self.sheet.write_text("\n".join(lines) + "\n")

    def write_entry(self, entries):
        """Writes the disc's entry into a CD database folder (category folders of entries named
        by disc id), as the test server reads them."""
        folder = Path(entries) / self.genre.lower()
        folder.mkdir(parents=True, exist_ok=True)
        lines = ["# xmcd", "#", "# Track frame offsets:"]
        lines += [f"#\t{o}" for o in self.offsets]
        lines += ["#", f"# Disc length: {self.lead_out // SECTORS_PER_SECOND} seconds", "#",
                  "# Revision: 1", "# Submitted via: quillonrip window checks", "#",
                  f"DISCID={self.disc_id()}", f"DTITLE={self.artist} / {self.album}",
                  f"DYEAR={self.year}", f"DGENRE={self.genre}"]
        lines += [f"TTITLE{i}={t}" for i, t in enumerate(self.titles)]
        lines += ["EXTD="] + [f"EXTT{i}=" for i in range(len(self.titles))] + ["PLAYORDER="]
        (folder / self.disc_id()).write_text("\n".join(lines) + "\n")

    def file_name(self, n, format="WAV"):
        """The name a rip gives track n with the default pattern "<Track Number>-<Artist>-<Title>"."""
        return f"{n:02d}-{self.artist}-{self.titles[n - 1]}.{format}"
