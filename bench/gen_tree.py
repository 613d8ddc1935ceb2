#!/usr/bin/env python3
"""Deterministic music-like folder tree for the VELDRA-cli benchmark.

The same preset (or parameters) and seed give the same names, sizes, tags and time stamps.
Half the files are MP3 files with an ID3v1 tag (some with Shift-JIS texts, many ID3v1.1 with a
track number, a few without a tag); MP3 files are sparse, so their sizes look real while each
takes one block on disk. About a quarter of the names are Japanese (all CP932-encodable, some
with 0x5C as the second Shift-JIS byte). Time stamps spread over 2004-2023.

A stamp file OUTDIR.params (beside the tree, not in it) records the parameters; run.sh uses it
to reuse a tree. An existing OUTDIR is replaced only when it carries such a stamp.

    gen_tree.py --preset medium /tmp/veldra-bench/medium
    gen_tree.py --folders 50 --files 400 --depth 3 /tmp/t
"""
import argparse
import json
import os
import random
import shutil
import sys

PRESETS = {
    "small": dict(folders=100, files=2_000, depth=3),
    "medium": dict(folders=2_000, files=40_000, depth=4),
    "large": dict(folders=10_000, files=200_000, depth=4),
    "one": dict(folders=1, files=10, depth=1),  # start-up cost
    "bigfolder": dict(folders=1, files=100_000, depth=1),  # one listing of 100,000 files
    # MP3 files as today's taggers leave them: an ID3v2.3 tag at the head (one in 20 with a
    # 100 KB picture), the first MPEG frame after it, a hole, the ID3v1 block at the tail.
    "id3v2": dict(folders=1_000, files=40_000, depth=3, id3v2=True),
}

LATIN = ("Amber Blue Night Love Song Dream Road Fire Rain Moon Star City Heart River Light "
         "Shadow Summer Winter Echo Silver Wild Lost Electric Midnight Ocean Sky Time Radio "
         "Garden Paper Stone Velvet Morning Island Mirror Thunder").split()
# 0x5C as a trail byte: ソ 0x835C, 表 0x955C, 能 0x945C, 予 0x975C, 十 0x8F5C.
JAPANESE = ("桜 夜空 東京 未来 夢 風の歌 青い空 君の名前 ベスト 第一集 ソナタ 交響曲 表参道 能楽 "
            "予感 ソウル 海 星 月光 花火 雪 約束 旅立ち ふるさと 銀河 ロック 演歌 十字路").split()
OTHER = [".jpg", ".png", ".txt", ".m3u", ".cue", ".log", ".flac", ".nfo"]
MP3_EXT = [".mp3"] * 16 + [".MP3"] * 3 + [".Mp3"]
GENRES = 148

BASE_TIME = 1_072_915_200  # 2004-01-01 00:00 UTC
TIME_SPAN = 20 * 365 * 86_400


def phrase(rng, japanese):
    pool = JAPANESE if japanese else LATIN
    sep = "" if japanese and rng.random() < 0.5 else " "
    return sep.join(rng.choice(pool) for _ in range(rng.randint(1, 3)))


def unique(name, taken):
    """name, or name with " (n)" before its extension, not yet in taken (ignoring case)."""
    stem, dot, ext = name.rpartition(".")
    if not dot:
        stem, ext = name, ""
    candidate, n = name, 2
    while candidate.lower() in taken:
        candidate = f"{stem} ({n})" + (f".{ext}" if dot else "")
        n += 1
    taken.add(candidate.lower())
    return candidate


def fit(text, size):
    raw = text.encode("cp932")[:size]
    # Never leave half of a two-byte character at the end.
    while raw:
        try:
            raw.decode("cp932")
            break
        except UnicodeDecodeError:
            raw = raw[:-1]
    return raw + b"\0" * (size - len(raw))


def id3v1(rng, title, artist, album, track):
    comment = fit(rng.choice(["", "ripped", "ライブ録音", "remaster"]), 28 if track else 30)
    if track:
        comment = comment + b"\0" + bytes([track])
    year = str(rng.randint(1960, 2023)).encode()
    return (b"TAG" + fit(title, 30) + fit(artist, 30) + fit(album, 30) + year + comment +
            bytes([rng.randrange(GENRES)]))


def id3v2_frame(frame_id, body):
    return frame_id.encode() + len(body).to_bytes(4, "big") + b"\0\0" + body


def id3v2_text(frame_id, text):
    # Latin-1 frames hold Shift-JIS in Japanese collections; the others UTF-16 with a BOM.
    try:
        return id3v2_frame(frame_id, b"\0" + text.encode("latin-1"))
    except UnicodeEncodeError:
        return id3v2_frame(frame_id, b"\1" + text.encode("utf-16"))


def synchsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def id3v2_head(rng, title, artist, album, track, picture):
    frames = (id3v2_text("TIT2", title) + id3v2_text("TPE1", artist) +
              id3v2_text("TALB", album) + id3v2_text("TYER", str(rng.randint(1960, 2023))) +
              id3v2_text("TCON", "(%d)" % rng.randrange(GENRES)) +
              id3v2_frame("COMM", b"\0eng\0" + b"ripped"))
    if track:
        frames += id3v2_text("TRCK", "%d/20" % track)
    if picture:
        frames += id3v2_frame("APIC", b"\0image/jpeg\0\3\0" + bytes(100 * 1024))
    body = frames + b"\0" * 1024  # padding, as taggers leave room to grow
    tag = b"ID3\3\0\0" + synchsafe(len(body)) + body
    # The first frames of an MPEG-1 Layer III stream at 128 kbit/s, 44.1 kHz (417 bytes each):
    # no Xing header, so the play time is estimated from the first one.
    return tag + (b"\xff\xfb\x90\x64" + b"\0" * 413) * 4


def plan(params, seed):
    """Folders (relative paths, root "" first) with the files of each: (name, kind, size, tag)."""
    rng = random.Random(seed)
    folders = [("", 0)]
    children = {"": set()}
    for _ in range(params["folders"] - 1):
        # Prefer recent folders as parents: artist folders fill with albums, like a library.
        candidates = [f for f in folders[-200:] if f[1] < params["depth"]] or [folders[0]]
        parent, depth = rng.choice(candidates)
        name = unique(phrase(rng, rng.random() < 0.25), children[parent])
        path = parent + name + "/"
        folders.append((path, depth + 1))
        children[path] = set()
    files = {path: [] for path, _ in folders}
    taken = {path: set(children[path]) | {"index.htm", "index.htm.csv"} for path, _ in folders}
    for i in range(params["files"]):
        path = folders[rng.randrange(len(folders))][0]
        japanese = rng.random() < 0.25
        if i % 2 == 0:
            title = phrase(rng, japanese)
            name = unique(f"{rng.randint(1, 20):02d} {title}{rng.choice(MP3_EXT)}", taken[path])
            size = rng.randint(2_000_000, 9_000_000)
            tag = None
            head = None
            if rng.random() >= 0.05:
                track = rng.randint(1, 20) if rng.random() < 0.7 else 0
                artist, album = phrase(rng, japanese), phrase(rng, japanese)
                tag = id3v1(rng, title, artist, album, track)
                if params.get("id3v2"):
                    head = id3v2_head(rng, title, artist, album, track, rng.random() < 0.05)
            files[path].append((name, "mp3", size, (tag, head)))
        else:
            name = unique(phrase(rng, japanese) + rng.choice(OTHER), taken[path])
            files[path].append((name, "other", rng.randint(100, 6_000), None))
    times = [BASE_TIME + rng.randrange(TIME_SPAN) for _ in range(len(folders) + params["files"])]
    return folders, files, times


def generate(out, params, seed):
    folders, files, times = plan(params, seed)
    stamp_times = iter(times)
    filler = bytes(range(256)) * 24
    for path, _ in folders:
        os.makedirs(os.path.join(out, path), exist_ok=True)
        for name, kind, size, tag in files[path]:
            full = os.path.join(out, path, name)
            with open(full, "wb") as f:
                if kind == "mp3":
                    tail, head = tag
                    if head:
                        f.write(head)
                    f.seek(size - 128)
                    f.write(tail if tail else b"\0" * 128)
                else:
                    f.write(filler[:size])
            t = next(stamp_times)
            os.utime(full, (t, t))
    for path, _ in sorted(folders, key=lambda f: -f[1]):
        t = next(stamp_times)
        os.utime(os.path.join(out, path), (t, t))
    return sum(len(v) for v in files.values())


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("outdir")
    parser.add_argument("--preset", choices=sorted(PRESETS))
    parser.add_argument("--folders", type=int)
    parser.add_argument("--files", type=int)
    parser.add_argument("--depth", type=int)
    parser.add_argument("--seed", type=int, default=1)
    args = parser.parse_args()
    params = dict(PRESETS[args.preset or "small"])
    for key in ("folders", "files", "depth"):
        if getattr(args, key) is not None:
            params[key] = getattr(args, key)
    if params["folders"] < 1 or params["files"] < 0 or params["depth"] < 1:
        sys.exit("gen_tree.py: folders and depth must be at least 1, files at least 0")

    out = os.path.abspath(args.outdir)
    stamp = out + ".params"
    if os.path.exists(out):
        if not os.path.exists(stamp):
            sys.exit(f"gen_tree.py: {out} exists and was not made by gen_tree.py; not touching it")
        shutil.rmtree(out)
        os.remove(stamp)
    os.makedirs(out)
    count = generate(out, params, args.seed)
    with open(stamp, "w") as f:
        json.dump(dict(params, seed=args.seed, version=1), f, sort_keys=True)
        f.write("\n")
    print(f"{out}: {params['folders']} folders, {count} files")


if __name__ == "__main__":
    main()
