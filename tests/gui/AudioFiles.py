"""Tagged audio files made with ffmpeg for the converter and tag editor checks, and ffprobe's
view of the files the program writes."""

import json
import os
import subprocess
from dataclasses import dataclass


@dataclass(frozen=True)
class Input:
    """A generated input file: its name and format, its audio and its tags."""
    name: str
    seconds: float
    rate: int
    channels: int
    codec: str  # ffmpeg's encoder
    title: str
    artist: str = "Harbour Lights"
    album: str = "Salt And Rain"
    year: str = "2004"
    genre: str = "Folk"
    listed: bool = True  # whether the program reads its tags (it reads none from WAV files)

    def shown(self, text):
        """A tag text as the program lists it."""
        return text if self.listed else ""


# Three formats, rates and channel counts (a mono input passes through the mono-to-stereo
# step); distinct lengths tell the outputs apart should their names not.
CONVERTER_INPUTS = [
    Input("a.wav", 3.0, 44100, 2, "pcm_s16le", "Morning Tide", listed=False),
    Input("b.flac", 4.0, 48000, 2, "flac", "Gulls Over The Water"),
    Input("c.ogg", 5.0, 22050, 1, "libvorbis", "Caf\u00e9 By The Pier"),
]

# Long enough to be stopped halfway however fast the machine.
LONG_INPUT = Input("d.flac", 600.0, 44100, 2, "flac", "The Long Way Home")

# The tag editor's folder: the three kinds of file it lists, and one it must not list.
TAG_EDITOR_INPUTS = [
    Input("First Light.mp3", 2.0, 44100, 2, "libmp3lame", "First Light", genre="Jazz"),
    Input("Low Water.ogg", 2.0, 44100, 2, "libvorbis", "Low Water", genre="Blues"),
    Input("Shore Road.flac", 2.0, 44100, 2, "flac", "Shore Road"),
]
TAG_EDITOR_APE = "Shore Road.ape"  # made from the FLAC file by the program's own command

# What ffprobe calls the codec of each output format of the converter.
OUTPUT_CODECS = {"MP3": "mp3", "WMA": "wmav2", "OGG": "vorbis", "APE": "ape", "FLAC": "flac",
                 "WAV": "pcm_s16le"}


def make(folder, spec):
    """Writes the file of an Input into folder (a sine tone, a different pitch per channel);
    returns its path."""
    path = folder / spec.name
    tags = {"title": spec.title, "artist": spec.artist, "album": spec.album,
            "date": spec.year, "genre": spec.genre, "comment": "made by the gui check"}
    tone = f"sine=frequency=440:sample_rate={spec.rate}:duration={spec.seconds}"
    command = ["ffmpeg", "-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i", tone,
               "-ac", str(spec.channels), "-c:a", spec.codec]
    if spec.codec == "libmp3lame":
        command += ["-id3v2_version", "3"]
    for key, value in tags.items():
        command += ["-metadata", f"{key}={value}"]
    subprocess.run(command + [str(path)], check=True, timeout=60)
    return path


def make_ape(bin_dir, source, target, config):
    """Converts source to a Monkey's Audio file with the program's command line (nothing else
    on this machine writes one); config keeps its settings away from the window's."""
    env = dict(os.environ, XDG_CONFIG_HOME=str(config))
    subprocess.run([str(bin_dir / "quillon"), "convert", "--quiet", "-o", str(target),
                    str(source)], check=True, timeout=60, env=env)
    return target


def probe(path):
    """(codec name, duration in seconds, channels) of a file's first audio stream."""
    done = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                           "stream=codec_name,channels:format=duration", "-of", "json",
                           str(path)], capture_output=True, text=True, timeout=60)
    if done.returncode != 0:
        return None, None, None
    facts = json.loads(done.stdout)
    streams = facts.get("streams") or [{}]
    duration = facts.get("format", {}).get("duration")
    return (streams[0].get("codec_name"), float(duration) if duration else None,
            streams[0].get("channels"))


def probe_title(path):
    """The title tag of a file as ffprobe reads it, or None."""
    done = subprocess.run(["ffprobe", "-v", "error", "-show_entries", "format_tags=title",
                           "-of", "json", str(path)], capture_output=True, text=True, timeout=60)
    if done.returncode != 0:
        return None
    return json.loads(done.stdout).get("format", {}).get("tags", {}).get("title")
