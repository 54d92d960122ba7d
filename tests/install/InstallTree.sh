#!/usr/bin/env bash
# Installs a build into a fresh prefix and converts a short WAV file with the installed
# `quillon`, which must find quillon-workflow (and that program its data) relative to itself.
# Usage: InstallTree.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=$1
build=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

status=0
for path in bin/quillon lib/quillon/quillon-workflow share/quillon/Languages \
    share/quillon/Profiles share/applications/quillonrip.desktop \
    share/icons/hicolor/scalable/apps/quillonrip.svg; do
    if [ ! -e "$prefix/$path" ]; then
        echo "not installed: $path"
        status=1
    fi
done
if [ -e "$prefix/bin/quillon-workflow" ]; then
    echo "a private program was installed among the user's programs"
    status=1
fi

# 0.05 s of 16-bit stereo silence at 44.1 kHz in a canonical 44-byte-header WAV file.
le32() {
    printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) \
        $(($1 >> 16 & 255)) $(($1 >> 24 & 255)))"
}
data=8820
{
    printf 'RIFF'; le32 $((data + 36)); printf 'WAVEfmt '; le32 16
    printf '\x01\x00\x02\x00'; le32 44100; le32 176400; printf '\x04\x00\x10\x00'
    printf 'data'; le32 $data; head -c $data /dev/zero
} >"$tmp/in.wav"

for format in WAV FLAC; do
    XDG_CONFIG_HOME=$tmp/config "$prefix/bin/quillon" convert "$tmp/in.wav" \
        --set RipToFormat=$format --set "ConvFilePath=$tmp/out" \
        --set "OutputFileNameFormat=<Track Number>" >/dev/null 2>"$tmp/err" ||
        { echo "convert to $format failed:"; cat "$tmp/err"; status=1; }
    [ -s "$tmp/out/01.$format" ] || { echo "no 01.$format written"; status=1; }
done
cmp "$tmp/in.wav" "$tmp/out/01.WAV" || status=1
exit $status
