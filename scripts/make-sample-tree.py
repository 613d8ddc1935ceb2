#!/usr/bin/env python3
"""Makes a small music tree to publish: nested folders with Japanese names, MP3 files with
ID3v1 tags (Shift-JIS texts, one ID3v1.1 track number, one file without a tag) and files that
are not MP3. Same output every time, time stamps included.

    scripts/make-sample-tree.py OUTDIR
"""
import os
import sys

BASE_TIME = 1_262_304_000  # 2010-01-01 00:00 UTC


def id3v1(title, artist="", album="", year="", comment="", genre=255, track=None):
    """128-byte ID3v1 block; texts in CP932, padded with NUL. A track makes it ID3v1.1."""
    def field(text, size):
        raw = text.encode("cp932")
        if len(raw) > size:
            raise ValueError(f"{text!r} is longer than {size} bytes in CP932")
        return raw + b"\0" * (size - len(raw))

    if track is None:
        comment_bytes = field(comment, 30)
    else:
        comment_bytes = field(comment, 28) + b"\0" + bytes([track])
    block = (b"TAG" + field(title, 30) + field(artist, 30) + field(album, 30) +
             field(year, 4) + comment_bytes + bytes([genre]))
    assert len(block) == 128
    return block


def mp3(megabytes, tag):
    """A few silent MPEG-1 Layer III frames, a hole up to the size, then the tag (if any)."""
    frame = b"\xff\xfb\x90\x64" + b"\0" * 413
    return (frame * 3, int(megabytes * 1024 * 1024), tag or b"")


# (relative path, contents); folders are made as needed.
FILES = [
    ("J-POP/桜の季節/01 桜.mp3",
     mp3(4.2, id3v1("桜", "サンプル楽団", "桜の季節", "2003", "はじめの曲", 13, track=1))),
    ("J-POP/桜の季節/02 表参道ソナタ.mp3",
     mp3(5.75, id3v1("表参道ソナタ", "サンプル楽団", "桜の季節", "2003", "", 13, track=2))),
    ("J-POP/桜の季節/cover.jpg", b"\xff\xd8\xff\xe0 not really a picture\xff\xd9"),
    ("J-POP/能楽とソウル/能.MP3",
     mp3(3.1, id3v1("能", "表現者たち", "能楽とソウル", "1999", "三十バイトのコメントです123456",
                  8))),
    ("J-POP/能楽とソウル/予感 (live).mp3",
     mp3(12.4, id3v1("予感", "表現者たち", "能楽とソウル", "2001", "live & <loud>", 17))),
    ("Classic/Symphony No.5/1st movement.mp3",
     mp3(17.9, id3v1("Allegro con brio", "Sample Orchestra", "Symphony No.5", "1808",
                  "public domain", 32, track=1))),
    ("Classic/Symphony No.5/2nd movement.mp3",
     mp3(11.05, id3v1("Andante con moto", "Sample Orchestra", "Symphony No.5", "1808", "", 32,
                  track=2))),
    ("Classic/no tag.mp3", mp3(1.5, None)),
    ("Classic/ソナタ集/README.txt", "ソナタ集の説明\r\n".encode("cp932")),
    ("notes.txt", b"A sample tree for VELDRA mp3+.\r\n"),
]


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.strip())
    out = sys.argv[1]
    for i, (relative, contents) in enumerate(FILES):
        path = os.path.join(out, relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            if isinstance(contents, tuple):  # MP3: sparse, so a real-looking size costs nothing
                head, size, tag = contents
                f.write(head)
                f.seek(size - len(tag))
                f.write(tag)
                f.truncate(size)
            else:
                f.write(contents)
        stamp = BASE_TIME + i * 97 * 86_400 + i * 3_671
        os.utime(path, (stamp, stamp))
    # Folder times last, deepest first, so that making their files does not move them.
    folders = {os.path.normpath(out)}
    for relative, _ in FILES:
        parts = relative.split("/")[:-1]
        for depth in range(1, len(parts) + 1):
            folders.add(os.path.normpath(os.path.join(out, *parts[:depth])))
    for i, folder in enumerate(sorted(folders, key=lambda f: (-f.count("/"), f))):
        stamp = BASE_TIME + 400 * 86_400 + i * 86_400
        os.utime(folder, (stamp, stamp))
    print(out)


if __name__ == "__main__":
    main()
