#!/usr/bin/env bash
# Regenerates the committed tag and settings fixtures below tests/data. Needs id3tool and
# python3 (Debian: apt-get install id3tool python3). The tests only read the committed files.
set -euo pipefail
cd "$(dirname "$0")/.."

tags=tests/data/tags
settings=tests/data/settings
mkdir -p "$tags" "$settings"

# CP932 bytes of a UTF-8 text, for tag fields the tools cannot encode themselves.
cp932() { python3 -c 'import sys; sys.stdout.buffer.write(sys.argv[1].encode("cp932"))' "$1"; }

# Audio-like bytes: an MPEG frame header followed by filler, so the files look like MP3 data.
audio() {
  local out=$1 size=$2
  { printf '\xff\xfb\x90\x64'; head -c $((size - 4)) /dev/zero | tr '\0' 'U'; } > "$out"
}

# Overwrites bytes of a file's last 128 bytes: patch FILE OFFSET-IN-BLOCK HEX-BYTES.
patch_block() {
  python3 - "$1" "$2" "$3" <<'PY'
import sys
path, offset, data = sys.argv[1], int(sys.argv[2]), bytes.fromhex(sys.argv[3])
with open(path, 'r+b') as f:
    f.seek(-128 + offset, 2)
    f.write(data)
PY
}

# ID3v1.0: the comment fills all 30 bytes, so there is no track.
audio "$tags/v10-comment30.mp3" 1000
id3tool -t "Song Title" -r "The Artist" -a "The Album" -y 1999 \
  -n "012345678901234567890123456789" -g 17 "$tags/v10-comment30.mp3"

# ID3v1.1: a short comment, a zero byte, then track 7.
audio "$tags/v11-track7.mp3" 1000
id3tool -t "Seven" -r "Art" -a "Alb" -y 2001 -n "Short note" -g 8 -c 7 "$tags/v11-track7.mp3"

# Track 200 (three digits) with genre 255.
audio "$tags/v11-track200.mp3" 700
id3tool -t "Big" -c 200 -g 255 "$tags/v11-track200.mp3"

# No tag at all: the last 128 bytes are audio.
audio "$tags/untagged.mp3" 1000

# Exactly 128 bytes: nothing but the tag.
: > "$tags/only-tag.mp3"
id3tool -t "Only a tag" -r "Nobody" -g 1 "$tags/only-tag.mp3"

# Shorter than a tag.
audio "$tags/short.mp3" 100

# Shift-JIS texts. The artist's 30th byte is the lead byte of a character whose trail byte would
# be the album's first byte: a tagger cut the character in half.
audio "$tags/sjis.mp3" 1000
id3tool -t "$(cp932 '東京の夜')" -a "$(cp932 'アルバム表示')" -y 2003 -n "$(cp932 'ソ能')" \
  "$tags/sjis.mp3"
patch_block "$tags/sjis.mp3" 33 "$(cp932 'Aアーティスト名の長い名前です' | xxd -p)93"

# A lower-case marker counts as a tag; fields padded with blanks instead of NULs.
audio "$tags/lower-tag.mp3" 1000
id3tool -t "Lower" -y 1985 -c 3 -g 12 "$tags/lower-tag.mp3"
patch_block "$tags/lower-tag.mp3" 0 "$(printf 'tag' | xxd -p)"
patch_block "$tags/lower-tag.mp3" 33 "$(printf '  Padded Artist               ' | xxd -p)"

# "TAB" is not "TAG": the block is there but is no tag.
audio "$tags/not-a-tag.mp3" 1000
id3tool -t "Looks tagged" -g 5 "$tags/not-a-tag.mp3"
patch_block "$tags/not-a-tag.mp3" 0 "$(printf 'TAB' | xxd -p)"

# Set files as the Windows program writes them: CP932, CR LF, keys in save order.
python3 - "$settings" <<'PY'
import sys
folder = sys.argv[1]

def write(name, lines):
    with open(f"{folder}/{name}", "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("cp932"))

write("windows-set.ini", [
    "[MAIN]",
    "TEXT1(0)=<TABLE border=1 cellspacing=0 cellpadding=3>",
    'TEXT1(1)=<img src="dir.gif">',
    "TEXT1(2)=♪",
    'TEXT1(3)=bgcolor="#CCCCFF"',
    "TEXT1(4)=",
    "TEXT1(5)=index.htm",
    "TEXT1(6)=<HR>",
    '<FONT color="red">新着</FONT>'.join(["TEXT1(7)=", ""]),
    "TEXT1(8)=更新",
    "TEXT1(9)=D:\\公開\\",
    "TEXT1(10)=http://example.jp/公開/",
    "TEXT1(11)=ミュージック-Head-htm.txt",
    "TEXT1(12)=ミュージック-Foot-htm.txt",
    "Check1(0)=TRUE",
    "Check1(1)=TRUE",
    "Check1(2)=FALSE",
    "Check2=TRUE",
    "DIR(0)=C:\\ミュージック\\",
    "DIR(1)=D:\\音楽\\表示\\",
    "URL(0)=http://example.jp/music/",
    "URL(1)=http://example.jp/ソング/",
    "LIST1=ID3-COMMENT@ID3-TRACK@",
    "LIST2=FILE SIZE@TIME STAMP@ID3-TITLE@ID3-ARTIST@ID3-ALBUM@ID3-YEAR@ID3-GENRE@",
])

# From before the track column: eight keys between the two lists, and no URL history.
write("windows-set-old.ini", [
    "[MAIN]",
    "TEXT1(0)=<TABLE border=1>",
    "TEXT1(1)=(DIR)",
    "TEXT1(2)=",
    "TEXT1(3)=",
    "TEXT1(4)=",
    "TEXT1(5)=index.html",
    "TEXT1(6)=<HR>",
    "TEXT1(7)=",
    "TEXT1(8)=",
    "TEXT1(9)=",
    "TEXT1(10)=",
    "TEXT1(11)=",
    "TEXT1(12)=",
    "Check1(0)=FALSE",
    "Check1(1)=FALSE",
    "Check1(2)=FALSE",
    "Check2=FALSE",
    "DIR(0)=C:\\古い\\",
    "LIST1=",
    "LIST2=FILE SIZE@TIME STAMP@ID3-TITLE@ID3-ARTIST@ID3-ALBUM@ID3-COMMENT@ID3-YEAR@ID3-GENRE@",
])
PY

echo "fixtures written to $tags and $settings"
