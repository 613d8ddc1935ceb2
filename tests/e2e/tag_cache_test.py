"""End-to-end tests of the tag cache ($XDG_CACHE_HOME/veldra/tags.sqlite): files replaced or
edited with their times kept, moved files and renamed folders, a cache deleted, damaged, locked
or unusable, two runs at once, and runs with and without the cache giving the same pages.

The runs pass --test-cache-settle 0, so that files made just before a run are kept in the cache
(a run otherwise keeps only files that changed at least two seconds before it began).

    tag_cache_test.py PATH-TO-VELDRA-cli [case...]"""
import os
import re
import shutil
import sqlite3
import subprocess

import e2e_lib as e2e

T0 = 1_600_000_000_123_456_789  # a fixed file time, in nanoseconds
SETTLE = ("--test-cache-settle", "0")
ALL_COLUMNS = ["ID3-TITLE", "ID3-ARTIST", "ID3-ALBUM", "ID3-COMMENT", "ID3-YEAR", "ID3-GENRE",
               "ID3-TRACK", "PLAY TIME", "BITRATE"]


def pad(text, size):
    data = text.encode("latin-1")[:size]
    return data + bytes(size - len(data))


def id3v1(title, artist):
    return (b"TAG" + pad(title, 30) + pad(artist, 30) + pad("Album", 30) + pad("1999", 4) +
            pad("comment", 30) + bytes([17]))


def id3v2(title):
    """An ID3v2.3 tag with a title frame alone, so TAGS=ALL reads the tail for the rest."""
    text = b"\x00" + title.encode("latin-1")
    frame = b"TIT2" + len(text).to_bytes(4, "big") + b"\x00\x00" + text
    size = len(frame) + 64  # padding
    syncsafe = bytes([(size >> 21) & 0x7F, (size >> 14) & 0x7F, (size >> 7) & 0x7F, size & 0x7F])
    return b"ID3\x03\x00\x00" + syncsafe + frame + bytes(64)


def mp3_bytes(title, artist, v2_title=None, body=3000):
    """A small MP3 file: an ID3v2 title (same length as title) when asked, one MPEG frame
    header and filler, and the ID3v1 block. Same arguments' lengths give the same size."""
    head = id3v2(v2_title) if v2_title is not None else b""
    return head + b"\xff\xfb\x90\x64" + bytes(body) + id3v1(title, artist)


def write(path, data, time_ns=T0):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
    os.utime(path, ns=(time_ns, time_ns))


def page_lines(folder):
    """A folder's page without its creation date line."""
    return [line for line in e2e.read_page(os.path.join(folder, e2e.PAGE))
            if not line.startswith("List create date = ")]


def pages(root):
    """Every page below root (and playlist, when there are any), by its folder relative to
    root."""
    found = {}
    for folder, _, files in os.walk(root):
        if e2e.PAGE in files:
            found[os.path.relpath(folder, root)] = page_lines(folder)
        if "index.m3u8" in files:
            with open(os.path.join(folder, "index.m3u8"), "rb") as f:
                found[os.path.relpath(folder, root) + " playlist"] = f.read().split(b"\n")
    return found


def db_path():
    return os.path.join(os.environ["XDG_CACHE_HOME"], "veldra", "tags.sqlite")


def db_rows(query):
    with sqlite3.connect(db_path()) as db:
        return db.execute(query).fetchall()


class Site:
    """A program folder with one set over root; runs with the cache unless told otherwise."""

    def __init__(self, tmp, root, name="VELDRA", all_tags=False, marks=True, playlist=False,
                 process_id3=True, skip_same=False):
        self.program = e2e.Program(e2e.cli_path(), os.path.join(tmp, "program"))
        self.name = name
        extra = {"TAGS": "ALL"} if all_tags else {}
        if playlist:
            extra["PLAYLIST"] = "TRUE"
        if skip_same:
            extra["SKIPSAME"] = "TRUE"
        columns = ALL_COLUMNS if all_tags else None
        self.program.write_set(name=name, root=root, url="/m/", columns=columns, extra=extra,
                               show_new=marks, show_update=marks, new_mark="NEW",
                               update_mark="UPD", process_id3=process_id3)
        self.root = root

    def run(self, *args):
        code, out, err = self.program.run(*SETTLE, *args, set_name=self.name)
        e2e.check(code == 0, "run failed (%d): %s %s" % (code, out, err))
        return out

    def hold(self, point, *args):
        """Starts a run that pauses at point, and returns it once it has paused there."""
        cmd = [self.program.cli, "--program-folder", self.program.folder, "--quiet", "--set",
               self.name, *SETTLE, "--test-pause", point, *args]
        proc = subprocess.Popen(cmd, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)
        line = proc.stderr.readline()
        e2e.check(("paused at " + point).encode() in line, "no pause at %s: %r" % (point, line))
        return proc


def release(proc):
    """Lets a held run go on, and its exit code when it has finished."""
    proc.stdin.write(b"\n")
    proc.stdin.flush()
    proc.communicate(timeout=120)
    return proc.returncode


def row_of(lines, name):
    for line in lines:
        if '"%s"' % name in line or "/%s\"" % name in line:
            return line
    e2e.fail("no row for %s in %r" % (name, lines))


def check_title(folder, name, title):
    row = row_of(page_lines(folder), name)
    e2e.check(">%s<" % title in row, "%s: expected title %r in %r" % (name, title, row))


def case_served_from_cache(tmp):
    """The cache is what a second run reads: a record doctored in the database (the file
    unchanged) shows on the page, and --no-cache shows the file's own tag again."""
    root = os.path.join(tmp, "root")
    write(os.path.join(root, "a", "one.mp3"), mp3_bytes("Real title", "Artist"))
    site = Site(tmp, root)
    site.run()
    check_title(os.path.join(root, "a"), "one.mp3", "Real title")
    e2e.check(os.stat(os.path.dirname(db_path())).st_mode & 0o777 == 0o700,
              "the cache folder is not private")
    with sqlite3.connect(db_path()) as db:
        (data,) = db.execute("SELECT data FROM files WHERE name = CAST('one.mp3' AS BLOB)").fetchone()
        e2e.check(b"Real title" in data, "the record does not hold the ID3v1 block")
        db.execute("UPDATE files SET data = ?", (data.replace(b"Real title", b"From cache"),))
    site.run()
    check_title(os.path.join(root, "a"), "one.mp3", "From cache")
    site.run("--no-cache")
    check_title(os.path.join(root, "a"), "one.mp3", "Real title")
    # A record the parser refuses (damaged in the database) is a miss, not a failure.
    with sqlite3.connect(db_path()) as db:
        db.execute("UPDATE files SET data = X'52FFFFFF'")
    site.run()
    check_title(os.path.join(root, "a"), "one.mp3", "Real title")


def case_other_formats(tmp):
    """TAGS=ALL reads FLAC and Ogg files through TagLib: what it read is kept and replayed (a
    doctored record shows), the pages equal an uncached run's, and a file edited by a tagger
    with its time put back is read again."""
    ffmpeg = e2e.need_tool("ffmpeg")
    root = os.path.join(tmp, "root")
    os.makedirs(root)
    for name, codec in (("a.flac", ["-c:a", "flac"]), ("b.ogg", ["-c:a", "libvorbis"])):
        proc = subprocess.run([ffmpeg, "-v", "error", "-y", "-f", "lavfi", "-i",
                               "sine=frequency=440:duration=2", "-ac", "1", *codec, "-metadata",
                               "title=Real %s" % name[0], "-metadata", "artist=Someone",
                               os.path.join(root, name)], capture_output=True)
        if proc.returncode != 0:
            e2e.skip("ffmpeg cannot write %s: %s" % (name, proc.stderr.decode(errors="replace")))
    site = Site(tmp, root, all_tags=True)
    site.run("--no-cache")
    site.run("--no-cache")
    expected = pages(root)
    site.run()
    site.run()
    e2e.check(pages(root) == expected, "cached pages differ from uncached ones")
    with sqlite3.connect(db_path()) as db:
        rows = db.execute("SELECT name, data FROM files").fetchall()
        e2e.check(sorted(name for name, _ in rows) == [b"a.flac", b"b.ogg"], "records: %r" %
                  [name for name, _ in rows])
        for name, data in rows:
            e2e.check(b"Real " in data, "no title in the record of %r" % name)
            db.execute("UPDATE files SET data = ? WHERE name = ?",
                       (data.replace(b"Real ", b"Kept "), name))
    site.run()
    check_title(root, "a.flac", "Kept a")
    check_title(root, "b.ogg", "Kept b")
    metaflac = e2e.need_tool("metaflac")
    before = os.stat(os.path.join(root, "a.flac"))
    subprocess.run([metaflac, "--remove-tag=TITLE", "--set-tag=TITLE=Edit a",
                    os.path.join(root, "a.flac")], check=True)
    os.utime(os.path.join(root, "a.flac"), ns=(before.st_atime_ns, before.st_mtime_ns))
    site.run()
    check_title(root, "a.flac", "Edit a")
    check_title(root, "b.ogg", "Kept b")


def case_replaced_same_size_and_time(tmp):
    """cp -p over a file (same inode, size and time), a file replaced by another of the same size
    and time (rsync -t: a new inode), and a tag edited in place with its time put back (touch -r):
    each is read again."""
    root = os.path.join(tmp, "root")
    folder = os.path.join(root, "a")
    p = lambda name: os.path.join(folder, name)
    write(p("one.mp3"), mp3_bytes("Title one", "Artist"))
    write(p("two.mp3"), mp3_bytes("Title two", "Artist"))
    write(p("three.mp3"), mp3_bytes("Title three", "Artist"))
    write(p("four.mp3"), mp3_bytes("Title four", "Artist"))
    write(p("other.mp3"), mp3_bytes("Title 2nd", "Artist"))
    for all_tags in (False, True):
        site = Site(tmp, root, all_tags=all_tags)
        site.run()
        subprocess.run(["cp", "-p", p("two.mp3"), p("one.mp3")], check=True)
        tmp_file = p(".incoming")
        write(tmp_file, mp3_bytes("Title FOUR", "Artist"))
        os.replace(tmp_file, p("four.mp3"))
        with open(p("three.mp3"), "r+b") as f:
            f.seek(-125, os.SEEK_END)
            f.write(pad("Title THREE", 30))
        subprocess.run(["touch", "-r", p("two.mp3"), p("three.mp3")], check=True)
        st = os.stat(p("three.mp3"))
        e2e.check(st.st_mtime_ns == T0, "touch -r did not keep the time")
        site.run()
        check_title(folder, "one.mp3", "Title two")
        check_title(folder, "three.mp3", "Title THREE")
        check_title(folder, "four.mp3", "Title FOUR")
        # Back as they were, for the other mode.
        write(p("one.mp3"), mp3_bytes("Title one", "Artist"))
        write(p("three.mp3"), mp3_bytes("Title three", "Artist"))
        write(p("four.mp3"), mp3_bytes("Title four", "Artist"))


def case_moved_and_renamed(tmp):
    """A file moved to another folder (and another of the same name, size and time put in its
    place), and a folder renamed: pages show the right files and tags, the records of the old
    folder path go, and nothing of the tree is kept twice."""
    root = os.path.join(tmp, "root")
    write(os.path.join(root, "x", "song.mp3"), mp3_bytes("Moved song", "Artist"))
    write(os.path.join(root, "y", "keep.mp3"), mp3_bytes("Kept song", "Artist"))
    write(os.path.join(root, "z", "deep", "d.mp3"), mp3_bytes("Deep song", "Artist"))
    site = Site(tmp, root)
    site.run()
    os.rename(os.path.join(root, "x", "song.mp3"), os.path.join(root, "y", "song.mp3"))
    write(os.path.join(root, "x", "song.mp3"), mp3_bytes("Newcomer!!", "Artist"))
    os.rename(os.path.join(root, "z"), os.path.join(root, "z2"))
    site.run()
    check_title(os.path.join(root, "x"), "song.mp3", "Newcomer!!")
    check_title(os.path.join(root, "y"), "song.mp3", "Moved song")
    check_title(os.path.join(root, "z2", "deep"), "d.mp3", "Deep song")
    folders = {path.decode() for (path,) in db_rows("SELECT path FROM folders")}
    e2e.check(not any("/z/" in f for f in folders), "the renamed folder's records stayed: %r" % folders)
    names = sorted((path.decode(), name.decode()) for path, name in db_rows(
        "SELECT d.path, f.name FROM files f JOIN folders d ON d.id = f.folder"))
    expected = sorted([(root + "/x/", "song.mp3"), (root + "/y/", "keep.mp3"),
                       (root + "/y/", "song.mp3"), (root + "/z2/deep/", "d.mp3")])
    e2e.check(names == expected, "records %r, expected %r" % (names, expected))
    # A file deleted goes from its folder's records at the next run.
    os.remove(os.path.join(root, "y", "keep.mp3"))
    site.run()
    e2e.check(len(db_rows("SELECT * FROM files WHERE name = CAST('keep.mp3' AS BLOB)")) == 0,
              "a deleted file's record stayed")


def case_sweep_own_root_only(tmp):
    """Two sets over two roots share the cache: a run sweeps gone folders below its own root and
    never the other set's records; a stopped walk sweeps nothing."""
    root_a = os.path.join(tmp, "a")
    root_b = os.path.join(tmp, "b")
    write(os.path.join(root_a, "one", "a.mp3"), mp3_bytes("A song", "Artist"))
    write(os.path.join(root_a, "gone", "g.mp3"), mp3_bytes("G song", "Artist"))
    write(os.path.join(root_b, "one", "b.mp3"), mp3_bytes("B song", "Artist"))
    site_a = Site(tmp, root_a, name="SetA")
    site_b = Site(tmp, root_b, name="SetB")
    site_a.run()
    site_b.run()
    shutil.rmtree(os.path.join(root_a, "gone"))
    site_a.run()
    names = sorted(name.decode() for (name,) in db_rows("SELECT name FROM files"))
    e2e.check(names == ["a.mp3", "b.mp3"], "records after the sweep: %r" % names)
    # Sets over the same root that read other files, or none, leave each other's records: a
    # TAGS=ALL set keeps a record of an Ogg file, which neither a classic set nor one without
    # tags removes.
    write(os.path.join(root_a, "one", "x.ogg"), b"OggS" + bytes(300))
    Site(tmp, root_a, name="SetAll", all_tags=True).run()
    Site(tmp, root_a, name="SetA").run()
    Site(tmp, root_a, name="SetNoTags", process_id3=False).run()
    names = sorted(name.decode() for (name,) in db_rows("SELECT name FROM files"))
    e2e.check(names == ["a.mp3", "b.mp3", "x.ogg"], "records after three sets: %r" % names)
    # A run stopped by SIGTERM has not seen the whole tree: it removes nothing.
    shutil.rmtree(os.path.join(root_b, "one"))
    write(os.path.join(root_b, "two", "c.mp3"), mp3_bytes("C song", "Artist"))
    proc = site_b.hold("walk-started")
    proc.terminate()
    release(proc)
    names = sorted(name.decode() for (name,) in db_rows("SELECT name FROM files"))
    e2e.check("b.mp3" in names, "a stopped run swept: %r" % names)


def damage_cases():
    """Ways the cache file can be broken between runs, each a function of the cache folder."""
    def deleted(folder):
        os.remove(os.path.join(folder, "tags.sqlite"))

    def garbage(folder):
        with open(os.path.join(folder, "tags.sqlite"), "wb") as f:
            f.write(bytes(range(256)) * 64)

    def truncated(folder):
        path = os.path.join(folder, "tags.sqlite")
        size = os.path.getsize(path)
        with open(path, "r+b") as f:
            f.truncate(size // 2)

    def pages_damaged(folder):
        # Valid header, b-tree pages overwritten: found only when the records are read.
        path = os.path.join(folder, "tags.sqlite")
        with open(path, "r+b") as f:
            f.seek(4096)
            f.write(b"\xA5" * (os.path.getsize(path) - 4096))

    def folder_is_file(folder):
        shutil.rmtree(folder)
        with open(folder, "wb") as f:
            f.write(b"not a folder")

    def database_is_folder(folder):
        os.remove(os.path.join(folder, "tags.sqlite"))
        os.makedirs(os.path.join(folder, "tags.sqlite"))

    return {"deleted": deleted, "garbage": garbage, "truncated": truncated,
            "pages_damaged": pages_damaged, "folder_is_file": folder_is_file,
            "database_is_folder": database_is_folder}


def case_damaged_cache(tmp):
    """A cache deleted, overwritten with garbage, truncated, with damaged pages, or unusable (its
    folder a file, the database a folder): the run succeeds with the right pages, and a damaged
    database is set aside and made anew."""
    root = os.path.join(tmp, "root")
    for i in range(40):
        write(os.path.join(root, "f%d" % (i % 4), "s%02d.mp3" % i),
              mp3_bytes("Song %02d" % i, "Artist %d" % i))
    site = Site(tmp, root)
    site.run("--no-cache")
    site.run("--no-cache")  # the marks of a run that has a snapshot before it
    expected = pages(root)
    cache_folder = os.path.dirname(db_path())
    for name, damage in damage_cases().items():
        site.run()
        e2e.check(len(db_rows("SELECT * FROM files")) == 40, name + ": cache not filled")
        damage(cache_folder)
        site.run()
        e2e.check(pages(root) == expected, name + ": pages differ after the damage")
        site.run()
        e2e.check(pages(root) == expected, name + ": pages differ on the run after")
        if name in ("garbage", "truncated", "pages_damaged"):
            e2e.check(os.path.exists(db_path() + ".damaged"), name + ": not set aside")
        if os.path.isfile(cache_folder):
            os.remove(cache_folder)
        elif os.path.isdir(db_path()):
            os.rmdir(db_path())
        shutil.rmtree(cache_folder, ignore_errors=True)
        site.run()
        e2e.check(len(db_rows("SELECT * FROM files")) == 40, name + ": cache not made anew")


def case_locked(tmp):
    """Another program holds the database's write lock all through a run: the run reads what it
    can, waits a bounded time for the write, and succeeds with the right pages."""
    root = os.path.join(tmp, "root")
    write(os.path.join(root, "a", "one.mp3"), mp3_bytes("Title one", "Artist"))
    site = Site(tmp, root)
    site.run()
    write(os.path.join(root, "a", "two.mp3"), mp3_bytes("Title two", "Artist"))
    holder = sqlite3.connect(db_path(), isolation_level=None)
    holder.execute("BEGIN EXCLUSIVE")
    try:
        site.run()
    finally:
        holder.execute("ROLLBACK")
        holder.close()
    check_title(os.path.join(root, "a"), "one.mp3", "Title one")
    check_title(os.path.join(root, "a"), "two.mp3", "Title two")
    site.run()
    e2e.check(len(db_rows("SELECT * FROM files")) == 2, "cache not written after the lock")


def case_two_runs_at_once(tmp):
    """Two sets run at once over the cache: one held with its cache open while the other runs
    whole, then one held after its records are written while the other runs. Both sets' pages
    are right and both sets' records stay."""
    root_a = os.path.join(tmp, "a")
    root_b = os.path.join(tmp, "b")
    for i in range(12):
        write(os.path.join(root_a, "d%d" % (i % 3), "a%02d.mp3" % i), mp3_bytes("A %02d" % i, "X"))
        write(os.path.join(root_b, "d%d" % (i % 3), "b%02d.mp3" % i), mp3_bytes("B %02d" % i, "Y"))
    site_a = Site(tmp, root_a, name="SetA")
    site_b = Site(tmp, root_b, name="SetB")
    for _ in range(2):  # the marks of runs that have a snapshot before them
        site_a.run("--no-cache")
        site_b.run("--no-cache")
    expected_a, expected_b = pages(root_a), pages(root_b)
    for point in ("walk-started", "tag-cache-written", "walk-started"):
        proc = site_a.hold(point)
        site_b.run()
        code = release(proc)
        e2e.check(code == 0, "held run failed (%d)" % code)
        e2e.check(pages(root_a) == expected_a, "set A's pages differ after " + point)
        e2e.check(pages(root_b) == expected_b, "set B's pages differ after " + point)
    names = db_rows("SELECT name FROM files")
    e2e.check(len(names) == 24, "records of both sets: %d" % len(names))


def rewrite_title(path, title, keep_inode):
    """Puts title into a file's ID3v1 block, its size and times kept: in place (a tagger that
    keeps the time, touch -r) or as a new file renamed over it (rsync -t)."""
    before = os.stat(path)
    with open(path, "rb") as f:
        data = bytearray(f.read())
    data[-125:-95] = pad(title, 30)
    target = path if keep_inode else path + ".incoming"
    with open(target, "r+b" if keep_inode else "wb") as f:
        f.write(data)
    os.utime(target, ns=(before.st_atime_ns, before.st_mtime_ns))
    if not keep_inode:
        os.replace(target, path)


def mutate(root, step):
    """Changes a tree in every way a cache could miss: cp -p, rsync -t, touch -r, a file moved,
    a folder renamed, a file deleted, a file added. Both copies of a tree change alike, to the
    file times; folder times are set to fixed ones after."""
    p = lambda *parts: os.path.join(root, *parts)
    songs = lambda folder: sorted(n for n in os.listdir(p(folder)) if n.startswith("s"))
    by_size = {}
    for name in songs("f0"):
        by_size.setdefault(os.path.getsize(p("f0", name)), []).append(name)
    pair = next(names for names in by_size.values() if len(names) >= 2)
    subprocess.run(["cp", "-p", p("f0", pair[1]), p("f0", pair[0])], check=True)
    rewrite_title(p("f1", songs("f1")[0]), "Swapped %02d" % step, keep_inode=False)
    rewrite_title(p("f2", songs("f2")[0]), "Edited %02d" % step, keep_inode=True)
    f3 = "f3" if os.path.isdir(p("f3")) else "f3r"
    os.rename(p(f3, songs(f3)[0]), p("f0", "moved%02d.mp3" % step))
    os.rename(p(f3), p("f3r" if f3 == "f3" else "f3"))
    os.remove(p("f1", songs("f1")[-1]))
    write(p("f2", "new%02d.mp3" % step), mp3_bytes("New %02d" % step, "Artist", "Nw %02d" % step))
    for folder, _, _ in os.walk(root):
        os.utime(folder, ns=(T0, T0 + (step + 1) * 3600 * 10**9))


def build_tree(root):
    for i in range(40):
        v2 = "Two %02d" % i if i % 3 else None  # some files have an ID3v2 title too
        write(os.path.join(root, "f%d" % (i % 4), "s%02d.mp3" % i),
              mp3_bytes("Song %02d" % i, "Artist %d" % (i % 5), v2), T0 + i * 1_000_000_000)
    write(os.path.join(root, "f0", "short.mp3"), b"tiny")
    write(os.path.join(root, "f0", "notes.txt"), b"not music")


def case_differential(tmp):
    """Two copies of a tree changed alike between runs, one published with the cache and one
    without, in the classic mode and with TAGS=ALL: every page and playlist is the same, marks
    included."""
    for all_tags in (False, True):
        base = os.path.join(tmp, "all" if all_tags else "classic")
        cached, plain = os.path.join(base, "cached"), os.path.join(base, "plain")
        build_tree(cached)
        build_tree(plain)
        site_cached = Site(base, cached, name="Cached", all_tags=all_tags, playlist=True)
        site_plain = Site(base, plain, name="Plain", all_tags=all_tags, playlist=True)
        for step in range(4):
            site_cached.run()
            site_plain.run("--no-cache")
            got, expected = pages(cached), pages(plain)
            e2e.check(any(k.endswith(" playlist") for k in expected), "no playlist written")
            e2e.check(got.keys() == expected.keys(), "folders differ: %r %r" % (got.keys(), expected.keys()))
            for folder in expected:
                differ = [(a, b) for a, b in zip(got[folder], expected[folder]) if a != b]
                e2e.check(got[folder] == expected[folder], "step %d, %s: pages differ: %r" % (
                    step, folder, differ[:3] or "in length"))
            mutate(cached, step)
            mutate(plain, step)
        e2e.check(len(db_rows("SELECT * FROM files")) > 0, "nothing was cached")


def own_files(root):
    """(inode, mtime) of every page and snapshot below root, by path relative to root."""
    found = {}
    for folder, _, files in os.walk(root):
        for name in (e2e.PAGE, e2e.PAGE + ".csv"):
            if name in files:
                st = os.stat(os.path.join(folder, name))
                found[os.path.relpath(os.path.join(folder, name), root)] = (st.st_ino,
                                                                            st.st_mtime_ns)
    return found


def rewritten(before, after):
    return sorted(path for path in after if before.get(path) != after[path])


def overwrite_in_place(path, old, new):
    """Changes bytes of a file in place, its size and modification time kept (only its change
    time tells)."""
    st = os.stat(path)
    with open(path, "rb") as f:
        data = f.read()
    e2e.check(old in data and len(old) == len(new), "%s: no %r to change" % (path, old))
    with open(path, "r+b") as f:
        f.write(data.replace(old, new, 1))
    os.utime(path, ns=(st.st_atime_ns, st.st_mtime_ns))


def changed_size(snapshot):
    """The last field of a snapshot's first file record, and that field with another size of the
    same length."""
    with open(snapshot, "rb") as f:
        size = re.search(rb'^"F",.*,"(\d+)"\r$', f.read(), re.M).group(1)
    other = size[:-1] + (b"1" if size[-1:] != b"1" else b"2")
    return b'"%s"\r' % size, b'"%s"\r' % other


def case_page_digests(tmp):
    """SKIPSAME decided from the page digests the cache keeps against the same decisions made by
    reading every old file (--no-cache): over a tree changed in every way between runs, and pages
    and snapshots changed in place with their size and time kept, both copies end with the same
    pages and rewrite the same files. The cache's records are what decide: a record made to
    vouch for a changed page leaves it alone."""
    cached, plain = os.path.join(tmp, "cached"), os.path.join(tmp, "plain")
    build_tree(cached)
    build_tree(plain)
    site_cached = Site(tmp, cached, name="Cached", skip_same=True)
    site_plain = Site(tmp, plain, name="Plain", skip_same=True)

    def both(step, change=None):
        before = (own_files(cached), own_files(plain))
        if change:
            change(cached)
            change(plain)
        site_cached.run()
        site_plain.run("--no-cache")
        got, expected = pages(cached), pages(plain)
        e2e.check(got == expected, "step %s: pages differ" % step)
        done = (rewritten(before[0], own_files(cached)), rewritten(before[1], own_files(plain)))
        e2e.check(done[0] == done[1], "step %s: rewritten %r, without the cache %r" % (
            step, done[0], done[1]))
        return done[0]

    both("first")
    both("second")  # the first run's new marks go
    e2e.check(both("unchanged") == [], "an unchanged tree was written")
    for step in range(3):
        both(step, lambda root, s=step: mutate(root, s))
        both("marks of %d go" % step)
        e2e.check(both("after %d" % step) == [], "a third run after step %d wrote" % step)
    # A page defaced in place, and a snapshot whose record of a file says another size: the
    # first is put right, the second makes that file's update mark show, as without the cache.
    page, snapshot = os.path.join("f0", e2e.PAGE), os.path.join("f2", e2e.PAGE + ".csv")
    done = both("defaced", lambda root: (
        overwrite_in_place(os.path.join(root, page), b"</TABLE>", b"<!--X-->"),
        overwrite_in_place(os.path.join(root, snapshot), *changed_size(os.path.join(root, snapshot)))))
    e2e.check(page in done and os.path.join("f2", e2e.PAGE) in done, "not rewritten: %r" % done)
    e2e.check(any("UPD" in line for line in page_lines(os.path.join(cached, "f2"))),
              "no update mark from the changed snapshot")
    rows = db_rows("SELECT count(*) FROM pages")[0][0]
    e2e.check(rows == 2 * len(pages(cached)), "page records: %d" % rows)

    # The records decide: one brought up to date with a page changed behind the run's back
    # vouches for it, and the run leaves it alone.
    target = os.path.join(cached, "f1", e2e.PAGE)
    overwrite_in_place(target, b"</TABLE>", b"<!--Y-->")
    st = os.stat(target)
    with sqlite3.connect(db_path()) as db:
        db.execute("UPDATE pages SET ctime = ?, ctime_ns = ? WHERE name = ? AND folder ="
                   " (SELECT id FROM folders WHERE path = ?)",
                   (st.st_ctime_ns // 10**9, st.st_ctime_ns % 10**9, e2e.PAGE.encode(),
                    (os.path.join(cached, "f1") + "/").encode()))
    site_cached.run()
    with open(target, "rb") as f:
        e2e.check(b"<!--Y-->" in f.read(), "the page the record vouched for was read")


if __name__ == "__main__":
    e2e.run_cases({
        "served": case_served_from_cache,
        "formats": case_other_formats,
        "replaced": case_replaced_same_size_and_time,
        "moved": case_moved_and_renamed,
        "sweep": case_sweep_own_root_only,
        "damaged": case_damaged_cache,
        "locked": case_locked,
        "two_runs": case_two_runs_at_once,
        "differential": case_differential,
        "page_digests": case_page_digests,
    })
