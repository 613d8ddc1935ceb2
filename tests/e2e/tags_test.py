"""End-to-end tests of TAGS=ALL, CODEPAGE and the PLAY TIME and BITRATE columns, on files made and
tagged at test time by real tools (ffmpeg, mid3v2, eyeD3, id3v2, metaflac, vorbiscomment) in a
scratch folder.

    tags_test.py PATH-TO-VELDRA-cli formats|codepage|classic|hostile|playlist|feed"""
import html
import os
import re
import shutil
import subprocess
import sys

import e2e_lib as e2e

ALL_COLUMNS = ["ID3-TITLE", "ID3-ARTIST", "ID3-ALBUM", "ID3-COMMENT", "ID3-YEAR", "ID3-GENRE",
               "ID3-TRACK", "PLAY TIME", "BITRATE"]
SJIS_TITLE = "日本語のタイトル"


def run_tool(*cmd):
    proc = subprocess.run(list(cmd), capture_output=True)
    e2e.check(proc.returncode == 0, "%s failed: %s" % (cmd[0], proc.stderr.decode(errors="replace")))


def ffmpeg_audio(path, codec_args, seconds=3):
    run_tool(e2e.need_tool("ffmpeg"), "-v", "error", "-y", "-f", "lavfi", "-i",
             "sine=frequency=440:duration=%d" % seconds, "-ac", "1", *codec_args, path)


def mp3(path, args=("-b:a", "64k"), seconds=3):
    # Without ffmpeg's own tag, so that only the tagger under test writes one.
    ffmpeg_audio(path, ["-c:a", "libmp3lame", *args, "-map_metadata", "-1", "-id3v2_version", "0",
                        "-write_xing", "1"], seconds)


def cells(page_lines, name):
    """The data cells of the row linking to name, as texts (after the mark and name cells)."""
    for line in page_lines:
        if ('"%s"' % name) in line or ("/" + name + '"') in line:
            found = re.findall(r"<TD[^>]*>(.*?)</TD>", line)
            return found[2:]
    e2e.fail("no row for " + name)


def run_page(tmp, root, extra, columns=ALL_COLUMNS):
    program = e2e.Program(e2e.cli_path(), os.path.join(tmp, "program"))
    program.write_set(root=root, url="/m/", columns=columns, extra=extra)
    code, out, err = program.run(env=dict(os.environ, XDG_CACHE_HOME=os.path.join(tmp, "cache")))
    e2e.check(code == 0, "run failed (%d): %s %s" % (code, out, err))
    return e2e.read_page(os.path.join(root, e2e.PAGE)), program


def expect(row, wanted, name):
    got = dict(zip(ALL_COLUMNS, row))
    for key, value in wanted.items():
        e2e.check(got.get(key) == value, "%s %s: %r, expected %r (row %r)" % (name, key, got.get(key), value, row))


def case_formats(tmp):
    root = os.path.join(tmp, "root")
    os.makedirs(root)
    mid3v2 = e2e.need_tool("mid3v2")
    eyed3 = e2e.need_tool("eyeD3")
    id3v2 = e2e.need_tool("id3v2")
    p = lambda name: os.path.join(root, name)

    # ID3v2.4 in UTF-8 by mutagen, with a comment that has a description and one that has none.
    mp3(p("m24.mp3"))
    run_tool(mid3v2, "-t", "日本語 Title", "-a", "Ärtist", "-A", "Album 24", "-y", "2004-05-06",
             "-g", "Rock", "-T", "3/12", "-c", "desc:described:eng", "-c", ":plain comment:jpn",
             p("m24.mp3"))
    # ID3v2.3 in UTF-16 with a BOM by eyeD3, a 100 KB picture before the text frames' end.
    mp3(p("e23.mp3"), ("-q:a", "5"))  # VBR: a Xing header gives the time
    with open(p("cover.jpg"), "wb") as f:
        f.write(b"\xff\xd8\xff\xe0" + bytes(100 * 1024))
    run_tool(eyed3, "-Q", "--to-v2.3", "--encoding", "utf16", "--add-image",
             p("cover.jpg") + ":FRONT_COVER", "-t", "Ünïcode 16", "-a", "Art16", "-A", "Alb16",
             "-Y", "1999", "-G", "Jazz", "-n", "7", p("e23.mp3"))
    os.remove(p("cover.jpg"))
    # ID3v2.4 in UTF-16BE by eyeD3.
    mp3(p("e24be.mp3"))
    run_tool(eyed3, "-Q", "--to-v2.4", "--encoding", "utf16-be", "-t", "Big Endian ☃", "-a", "BE",
             p("e24be.mp3"))
    # ID3v2.3 by id3lib (Latin-1) with an ID3v1 block; ID3v1 fills what ID3v2 lacks.
    mp3(p("lib23.mp3"))
    run_tool(id3v2, "-2", "-t", "Lib Title", "-g", "17", "-y", "1977", p("lib23.mp3"))
    run_tool(id3v2, "-1", "-t", "V1 Title", "-a", "V1 Artist", "-y", "1988", "-T", "5",
             p("lib23.mp3"))
    # ID3v1 only: read in both modes.
    mp3(p("v1only.mp3"))
    run_tool(id3v2, "-1", "-t", "Only V1", "-a", "V1 Art", "-T", "9", p("v1only.mp3"))

    # Other formats, tagged by their own tools.
    ffmpeg_audio(p("a.flac"), ["-c:a", "flac"])
    run_tool(e2e.need_tool("metaflac"), "--set-tag=TITLE=Flac Title", "--set-tag=ARTIST=One",
             "--set-tag=ARTIST=Two", "--set-tag=DATE=2010-01-02", "--set-tag=TRACKNUMBER=4",
             "--set-tag=GENRE=Ambient", p("a.flac"))
    ffmpeg_audio(p("b.ogg"), ["-c:a", "libvorbis"])
    vorbiscomment = e2e.need_tool("vorbiscomment")
    run_tool(vorbiscomment, "-w", "-t", "TITLE=Vorbis タイトル", "-t", "ALBUM=VA", "-t",
             "COMMENT=note", p("b.ogg"))
    ffmpeg_audio(p("c.opus"), ["-c:a", "libopus", "-metadata", "title=Opus Title", "-metadata",
                               "artist=Op", "-metadata", "date=2021"])
    ffmpeg_audio(p("d.m4a"), ["-c:a", "aac", "-metadata", "title=MP4 Title", "-metadata",
                              "artist=Mp4 Art", "-metadata", "track=2/9", "-metadata", "date=2015"])
    ffmpeg_audio(p("e.wma"), ["-c:a", "wmav2", "-metadata", "title=WMA Title", "-metadata",
                              "artist=Wm"])
    shutil.copy(p("d.m4a"), p("f.AAC"))  # MP4 under .aac, capitals in the extension
    with open(p("raw.aac"), "wb") as f:  # ADTS, not MP4: no tag cells, row kept
        f.write(b"\xff\xf1" + bytes(500))

    lines, _ = run_page(tmp, root, {"TAGS": "ALL"})
    expect(cells(lines, "m24.mp3"), {
        "ID3-TITLE": "日本語 Title", "ID3-ARTIST": "&#196;rtist",
        "ID3-ALBUM": "Album 24", "ID3-YEAR": "2004", "ID3-GENRE": "Rock", "ID3-TRACK": "03",
        "ID3-COMMENT": "plain comment", "PLAY TIME": "0:03", "BITRATE": "64kbps"}, "m24")
    expect(cells(lines, "e23.mp3"), {
        "ID3-TITLE": "&#220;n&#239;code 16", "ID3-ARTIST": "Art16",
        "ID3-GENRE": "Jazz", "ID3-TRACK": "07", "PLAY TIME": "0:03"}, "e23")
    expect(cells(lines, "e24be.mp3"), {"ID3-TITLE": "Big Endian &#9731;", "ID3-ARTIST": "BE"}, "e24be")
    expect(cells(lines, "lib23.mp3"), {
        "ID3-TITLE": "Lib Title", "ID3-ARTIST": "V1 Artist", "ID3-YEAR": "1977",
        "ID3-GENRE": "Rock", "ID3-TRACK": "05"}, "lib23")
    expect(cells(lines, "v1only.mp3"), {"ID3-TITLE": "Only V1", "ID3-TRACK": "09"}, "v1only")
    expect(cells(lines, "a.flac"), {
        "ID3-TITLE": "Flac Title", "ID3-ARTIST": "One / Two", "ID3-YEAR": "2010",
        "ID3-TRACK": "04", "ID3-GENRE": "Ambient", "PLAY TIME": "0:03"}, "flac")
    expect(cells(lines, "b.ogg"), {"ID3-TITLE": "Vorbis タイトル", "ID3-ALBUM": "VA",
                                  "ID3-COMMENT": "note", "PLAY TIME": "0:03"}, "ogg")
    expect(cells(lines, "c.opus"), {"ID3-TITLE": "Opus Title", "ID3-ARTIST": "Op",
                                   "ID3-YEAR": "2021", "PLAY TIME": "0:03"}, "opus")
    expect(cells(lines, "d.m4a"), {"ID3-TITLE": "MP4 Title", "ID3-ARTIST": "Mp4 Art",
                                  "ID3-TRACK": "02", "ID3-YEAR": "2015", "PLAY TIME": "0:03"}, "m4a")
    expect(cells(lines, "f.AAC"), {"ID3-TITLE": "MP4 Title"}, "aac")
    expect(cells(lines, "e.wma"), {"ID3-TITLE": "WMA Title", "ID3-ARTIST": "Wm",
                                  "PLAY TIME": "0:03"}, "wma")
    expect(cells(lines, "raw.aac"), {"ID3-TITLE": "<BR>", "PLAY TIME": "<BR>"}, "raw aac")

    # The classic mode on the same tree: ID3v1 only, other formats without cells, but the play
    # time and bitrate of the files it treats as MP3.
    lines, _ = run_page(tmp, root, {})
    expect(cells(lines, "m24.mp3"), {"ID3-TITLE": "<BR>", "PLAY TIME": "0:03", "BITRATE": "64kbps"}, "classic m24")
    expect(cells(lines, "lib23.mp3"), {"ID3-TITLE": "V1 Title", "ID3-TRACK": "05"}, "classic lib23")
    expect(cells(lines, "a.flac"), {"ID3-TITLE": "<BR>", "PLAY TIME": "<BR>"}, "classic flac")


def case_codepage(tmp):
    """Shift-JIS bytes in Latin-1 frames (id3lib writes what it is given) and in ID3v1."""
    root = os.path.join(tmp, "root")
    os.makedirs(root)
    id3v2 = e2e.need_tool("id3v2")
    path = os.path.join(root, "sjis.mp3")
    mp3(path)
    sjis = SJIS_TITLE.encode("cp932")
    run_tool(id3v2.encode(), b"-2", b"-t", sjis, b"-a", "Café".encode("cp1252"), path.encode())
    run_tool(id3v2.encode(), b"-1", b"-A", sjis, path.encode())
    lines, _ = run_page(tmp, root, {"TAGS": "ALL"})
    expect(cells(lines, "sjis.mp3"), {"ID3-TITLE": SJIS_TITLE, "ID3-ALBUM": SJIS_TITLE}, "932")
    lines, _ = run_page(tmp, root, {"TAGS": "ALL", "CODEPAGE": "1252"})
    row = [html.unescape(c) for c in cells(lines, "sjis.mp3")]
    expect(row, {"ID3-TITLE": sjis.decode("cp1252"), "ID3-ARTIST": "Café"}, "1252")
    # The classic mode decodes ID3v1 with the code page too.
    lines, _ = run_page(tmp, root, {"CODEPAGE": "1252"})
    e2e.check(cells(lines, "sjis.mp3")[2] != SJIS_TITLE, "classic album with 1252")
    lines, _ = run_page(tmp, root, {})
    e2e.check(cells(lines, "sjis.mp3")[2] == SJIS_TITLE, "classic album with 932")
    # An unknown code page is an input error that names the value.
    program = e2e.Program(e2e.cli_path(), os.path.join(tmp, "bad"))
    program.write_set(root=root, url="/m/", extra={"CODEPAGE": "12345"})
    code, out, err = program.run(env=dict(os.environ, XDG_CACHE_HOME=os.path.join(tmp, "cache")))
    e2e.check(code == 2 and "12345" in err, "unknown code page: %d %r" % (code, err))


def case_classic(tmp):
    """With the new keys absent or at their defaults, pages and the set file stay as they were."""
    root = os.path.join(tmp, "root")
    os.makedirs(os.path.join(root, "sub"))
    id3v2 = e2e.need_tool("id3v2")
    for i in range(5):
        path = os.path.join(root, "t%d.mp3" % i)
        mp3(path, seconds=1)
        run_tool(id3v2, "-1", "-t", "Song %d" % i, "-T", str(i + 1), path)
        run_tool(id3v2, "-2", "-t", "V2 %d" % i, path)
    with open(os.path.join(root, "x.flac"), "wb") as f:
        f.write(b"fLaC" + bytes(200))
    columns = e2e.DEFAULT_COLUMNS + ["ID3-TRACK"]
    plain, program = run_page(tmp, root, {}, columns)
    with open(program.ini_path(), "rb") as f:
        saved = f.read()
    e2e.check(b"TAGS" not in saved and b"CODEPAGE" not in saved, "new keys written: %r" % saved)
    explicit, _ = run_page(tmp, root, {"TAGS": "ID3V1", "CODEPAGE": "932"}, columns)
    strip = lambda lines: [l for l in lines if "Date" not in l]
    e2e.check(strip(plain) == strip(explicit), "explicit defaults changed the page")
    e2e.check(any("Song 0" in l for l in plain) and not any("V2 0" in l for l in plain),
              "classic page reads ID3v2")


def case_hostile(tmp):
    """Damaged tags: every row stays, a FIFO under a music name never blocks."""
    root = os.path.join(tmp, "root")
    os.makedirs(root)
    p = lambda name: os.path.join(root, name)
    huge = b"ID3\x04\x00\x00\x7f\x7f\x7f\x7f" + b"TIT2\xff\xff\xff\xff\x00\x00\x03abc"
    for name, data in {
        "huge.mp3": huge + bytes(300),
        "highbits.mp3": b"ID3\x03\x00\x00\x80\x80\x80\x80" + bytes(300),
        "apeloop.mp3": bytes(200) + b"APETAGEX\xd0\x07\x00\x00\xff\xff\xff\xff\xff\xff\xff\xff" + bytes(12),
        "atoms.m4a": b"\x00\x00\x00\x08ftyp" + b"\xff\xff\xff\xffmoov" + bytes(100),
        "vorbis.ogg": b"OggS" + bytes(200),
        "flac.flac": b"fLaC\x04\xff\xff\xff" + bytes(64),
        "tiny.mp3": b"ID3",
    }.items():
        with open(p(name), "wb") as f:
            f.write(data)
    os.mkfifo(p("fifo.mp3"))
    os.mkfifo(p("fifo.flac"))
    lines, _ = run_page(tmp, root, {"TAGS": "ALL"})
    for name in ["huge.mp3", "highbits.mp3", "apeloop.mp3", "atoms.m4a", "vorbis.ogg",
                 "flac.flac", "tiny.mp3", "fifo.mp3", "fifo.flac"]:
        row = cells(lines, name)
        e2e.check(len(row) == len(ALL_COLUMNS), "row of %s: %r" % (name, row))
    expect(cells(lines, "huge.mp3"), {"ID3-TITLE": "<BR>"}, "huge")


def case_playlist(tmp):
    """With TAGS=ALL the playlist holds every format the tag reader knows, in page order, with the
    artist, title and play time the reader finds; the classic mode keeps MP3 files only."""
    root = os.path.join(tmp, "root")
    os.makedirs(root)
    p = lambda name: os.path.join(root, name)
    mp3(p("a.mp3"), seconds=3)
    run_tool(e2e.need_tool("mid3v2"), "-t", "V2 Title", "-a", "V2 Art", p("a.mp3"))
    ffmpeg_audio(p("b.flac"), ["-c:a", "flac"], seconds=5)
    run_tool(e2e.need_tool("metaflac"), "--set-tag=TITLE=Flac Title", p("b.flac"))
    ffmpeg_audio(p("c.ogg"), ["-c:a", "libvorbis"], seconds=2)
    with open(p("notes.txt"), "w") as f:
        f.write("not audio")
    extra = {"TAGS": "ALL", "PLAYLIST": "TRUE"}
    run_page(tmp, root, extra)
    with open(p("index.m3u8"), encoding="utf-8") as f:
        lines = f.read().splitlines()
    e2e.check(lines == ["#EXTM3U", "# VELDRA mp3+ playlist",
                        "#EXTINF:3,V2 Art - V2 Title", "a.mp3",
                        "#EXTINF:5,Flac Title", "b.flac",
                        "#EXTINF:2,c.ogg", "c.ogg"], "TAGS=ALL playlist: %r" % lines)
    run_page(tmp, root, {"PLAYLIST": "TRUE"})
    with open(p("index.m3u8"), encoding="utf-8") as f:
        lines = f.read().splitlines()
    e2e.check(lines == ["#EXTM3U", "# VELDRA mp3+ playlist", "#EXTINF:-1,a.mp3", "a.mp3"],
              "classic playlist: %r" % lines)
    print("playlist: every format with TAGS=ALL, artist - title and seconds; MP3 only otherwise")


def news_cells(lines, name):
    """The cells of whatsnew.htm's row of name after its mark, name and folder cells."""
    for line in lines:
        if ('/' + name + '"') in line:
            return re.findall(r"<TD[^>]*>(.*?)</TD>", line)[3:]
    e2e.fail("no new-arrivals row for " + name)


def feed_titles(path):
    import xml.etree.ElementTree as ET
    atom = "{http://www.w3.org/2005/Atom}"
    root = ET.parse(path).getroot()
    return [(e.find(atom + "title").text, e.find(atom + "link").get("href"))
            for e in root.findall(atom + "entry")]


def case_feed(tmp):
    """With TAGS=ALL the feed's titles and the new-arrivals page's cells come from what the tag
    reader reads (ID3v2, FLAC comments), as the folder page shows them, in the run that found the
    file and in later runs (from the history); a history of the old format still loads."""
    root = os.path.join(tmp, "root")
    os.makedirs(root)
    p = lambda name: os.path.join(root, name)
    mp3(p("a.mp3"), seconds=3)
    run_tool(e2e.need_tool("mid3v2"), "-t", "V2 Title", "-a", "V2 Art", "-A", "V2 Album",
             p("a.mp3"))
    ffmpeg_audio(p("b.flac"), ["-c:a", "flac"], seconds=5)
    run_tool(e2e.need_tool("metaflac"), "--set-tag=TITLE=Flac Title", "--set-tag=ARTIST=FA",
             p("b.flac"))
    extra = {"TAGS": "ALL", "FEED": "TRUE"}
    program = e2e.Program(e2e.cli_path(), os.path.join(tmp, "program"))
    # A history written before the tag reader's fields were kept: its entry is still shown.
    with open(os.path.join(program.folder, "VELDRA.feed"), "w") as f:
        f.write("VELDRA mp3+ feed history 1\n"
                "1700000000\tnew\tF\t\told.mp3\t2023/11/15 07:13\t9\t1\tOld V1\t\t\t\t\t0\t0\t0\n")
    page, _ = run_page(tmp, root, extra)
    news = e2e.read_page(p("whatsnew.htm"))
    for name in ("a.mp3", "b.flac"):
        e2e.check(news_cells(news, name) == cells(page, name),
                  "%s: new-arrivals cells %r, page cells %r" % (name, news_cells(news, name),
                                                               cells(page, name)))
    titles = [t for t, _ in feed_titles(p("whatsnew.xml"))]
    e2e.check(titles == ["V2 Title", "Flac Title", "Old V1"], "feed titles %r" % titles)
    history = open(os.path.join(program.folder, "VELDRA.feed"), "rb").read()
    e2e.check(history.startswith(b"VELDRA mp3+ feed history 2\n"), "history not rewritten")

    # A later run: the first run's entries come from the history, with the same cells.
    mp3(p("c.mp3"), seconds=2)
    run_tool(e2e.need_tool("mid3v2"), "-t", "Third", p("c.mp3"))
    page, _ = run_page(tmp, root, extra)
    news = e2e.read_page(p("whatsnew.htm"))
    for name in ("a.mp3", "b.flac", "c.mp3"):
        e2e.check(news_cells(news, name) == cells(page, name),
                  "run 2, %s: %r against %r" % (name, news_cells(news, name), cells(page, name)))
    titles = [t for t, _ in feed_titles(p("whatsnew.xml"))]
    e2e.check(titles == ["Third", "V2 Title", "Flac Title", "Old V1"], "feed titles %r" % titles)
    print("feed: TAGS=ALL titles and cells as the pages show them, over two runs; "
          "an old-format history loaded")


def main():
    e2e.run_cases({"formats": case_formats, "codepage": case_codepage, "classic": case_classic,
                   "hostile": case_hostile, "playlist": case_playlist, "feed": case_feed})


if __name__ == "__main__":
    main()
