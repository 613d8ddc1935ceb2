#!/usr/bin/env python3
"""SKIPSAME: pages, snapshots, gathered pages, the feed, the new-arrivals page and the playlists
left alone (same inode, same modification time) when a run would write the same bytes, apart from
the date-time text of the date line; rewritten when anything else differs (a changed file, a mark
that goes away); replaced as before when the old file is not plainly ours (another owner, another
mode, a link at the name); and the batch runner's notice counting both.

    skipsame_test.py PATH-TO-VELDRA-cli CASE     (CASE: see CASES at the end; "all" runs every one)"""
import os
import re
import shutil
import signal
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_lib as e2e  # noqa: E402

ROOT_URL = "http://music.example.org/m/"
OUT_URL = "http://music.example.org/out/"
FOLDERS = ("", "a/", "a/b/", "c/")
BASE = ""  # the case's scratch folder: changed() names files below it
WRITTEN = "書き出したページ: "
LEFT_ALONE = "内容が変わらず書き換えなかったページ: "
GATHERED = "出力フォルダに集めたページ: "
GATHERED_LEFT_ALONE = "出力フォルダで内容が変わらず書き換えなかったページ: "
DATE_LINE = re.compile(rb"List create date = [^\r\n\[]*\[")


def touch(path, hours):
    t = 1700000000 + hours * 3600
    os.utime(path, (t, t))


def setup(tmp, skip_same=True, gathered=False):
    global BASE
    BASE = tmp.rstrip("/")
    os.umask(0o022)
    program = e2e.Program(e2e.cli_path(), os.path.join(tmp, "program"))
    tree = os.path.join(tmp, "tree") + "/"
    out = os.path.join(tmp, "out") + "/"
    for folder in FOLDERS:
        os.makedirs(tree + folder, exist_ok=True)
        e2e.write_mp3(tree + folder + "song.mp3", e2e.id3v1_block(title=b"T", artist=b"A"))
        touch(tree + folder + "song.mp3", 1)
    extra = {"FEED": "TRUE", "PLAYLIST": "TRUE"}
    if skip_same:
        extra["SKIPSAME"] = "TRUE"
    keys = {}
    if gathered:
        os.makedirs(out)
        keys = {"output_folder": out, "output_url": OUT_URL}
    program.write_set(root=tree, url=ROOT_URL, new_mark="NEWMARK", update_mark="UPDMARK",
                      show_new=True, show_update=True, extra=extra, **keys)
    for folder in ("a/b/", "a/", "c/", ""):
        touch(tree + folder, 1)
    return program, tree, out


def run(program):
    rc, out, err = program.run()
    e2e.check(rc == 0, "exit %d\n%s%s" % (rc, out, err))
    return out


def count(notice, caption):
    found = re.findall("^" + re.escape(caption) + r"(\d+)件", notice, re.M)
    e2e.check(len(found) == 1, "no single %r line in:\n%s" % (caption, notice))
    return int(found[0])


def our_files(tree, out, gathered=False):
    """Paths of every file the run writes and keeps: pages (in place or numbered), snapshots,
    playlists, the feed and the new-arrivals page."""
    files = []
    for folder in FOLDERS:
        names = ["index.htm.csv", "index.m3u8"] + ([] if gathered else ["index.htm"])
        files += [tree + folder + name for name in names]
    feed_folder = out if gathered else tree
    files += [feed_folder + "whatsnew.xml", feed_folder + "whatsnew.htm"]
    if gathered:
        files += [out + "index%05d.htm" % n for n in range(len(FOLDERS))]
    return files


def stamps(paths):
    result = {}
    for path in paths:
        st = os.lstat(path)
        result[path] = (st.st_ino, st.st_mtime_ns)
    return result


def changed(before, after):
    """The files whose inode or time differ, as "tree/..." or "out/..." paths."""
    return sorted("/".join(p.split("/")[-(p.count("/") - BASE.count("/")):])
                  for p in before if before[p] != after.get(p))


def set_date_text(path, text):
    """Rewrites the date-time text of a file's date line in place (same inode, same length),
    then gives the file a fixed time: what an older run with another clock left."""
    with open(path, "r+b") as f:
        data = f.read()
        m = DATE_LINE.search(data)
        e2e.check(m is not None, "no date line in " + path)
        start = m.start() + len(b"List create date = ")
        old = data[start:m.end() - 2]
        new = text.encode()[:len(old)].ljust(len(old), b"0")
        f.seek(start)
        f.write(new)
    touch(path, -100)
    return new


def case_in_place(tmp):
    """A second run over an unchanged tree writes nothing: every page, snapshot, playlist, the feed
    and the new-arrivals page keep inode and time, a date line from another day included; then a
    changed file replaces only its folder's page and snapshot (and the feed's files), its mark
    going away replaces them once more, and after that nothing is written again."""
    program, tree, _ = setup(tmp)
    notice = run(program)
    e2e.check(count(notice, WRITTEN) == 4 and count(notice, LEFT_ALONE) == 0, notice)
    notice = run(program)  # the first run's marks (every entry new) go away
    files = our_files(tree, None)
    old_date = set_date_text(tree + "a/index.htm", "1999/01/02 03:04")
    set_date_text(tree + "whatsnew.htm", "1999/01/02 03:04")
    before = stamps(files)
    folder_times = {f: os.stat(tree + f).st_mtime_ns for f in FOLDERS}
    notice = run(program)
    e2e.check(count(notice, WRITTEN) == 0 and count(notice, LEFT_ALONE) == 4, notice)
    e2e.check(changed(before, stamps(files)) == [], "replaced: %r" % changed(before, stamps(files)))
    e2e.check(old_date in open(tree + "a/index.htm", "rb").read(), "the old date line went")
    e2e.check({f: os.stat(tree + f).st_mtime_ns for f in FOLDERS} == folder_times,
              "a folder's time changed")

    # One file changed: its folder's page and snapshot, and the feed's two files.
    e2e.write_mp3(tree + "a/b/song.mp3", e2e.id3v1_block(title=b"T", artist=b"A"),
                  body=b"\xff\xfb\x90\x00" * 80)
    touch(tree + "a/b/song.mp3", 2)
    notice = run(program)
    e2e.check(count(notice, WRITTEN) == 1 and count(notice, LEFT_ALONE) == 3, notice)
    after = stamps(files)
    e2e.check(changed(before, after) == ["tree/a/b/index.htm", "tree/a/b/index.htm.csv",
                                         "tree/whatsnew.htm", "tree/whatsnew.xml"],
              "replaced: %r" % changed(before, after))
    e2e.check(b"UPDMARK" in open(tree + "a/b/index.htm", "rb").read(), "no update mark")

    # The next run drops the mark: the page is rewritten, the feed stays (no new entries).
    notice = run(program)
    e2e.check(count(notice, WRITTEN) == 1 and count(notice, LEFT_ALONE) == 3, notice)
    again = stamps(files)
    e2e.check(changed(after, again) == ["tree/a/b/index.htm"],
              "replaced: %r" % changed(after, again))
    e2e.check(b"UPDMARK" not in open(tree + "a/b/index.htm", "rb").read(), "mark kept")
    notice = run(program)
    e2e.check(count(notice, WRITTEN) == 0 and count(notice, LEFT_ALONE) == 4, notice)
    e2e.check(changed(again, stamps(files)) == [], "replaced on a quiet run")
    print("in_place: %d files left alone; one change replaced its page, snapshot and the feed; "
          "the mark going away replaced the page once" % len(files))


def ctimes(tree):
    return {f: os.stat(tree + f).st_ctime_ns for f in FOLDERS}


def case_gathered(tmp):
    """Gathered: numbered pages, snapshots, playlists and the feed's files in the output folder are
    left alone when unchanged, and nothing at all is written into an unchanged folder (its change
    time stays: no page written there to be gathered and deleted); a changed file replaces only its
    folder's numbered page and snapshot (and the feed's files)."""
    program, tree, out = setup(tmp, gathered=True)
    run(program)
    run(program)
    files = our_files(tree, out, gathered=True)
    set_date_text(out + "index00001.htm", "1999/01/02 03:04")
    before = stamps(files)
    folder_ctimes = ctimes(tree)
    notice = run(program)
    e2e.check(count(notice, WRITTEN) == 0 and count(notice, LEFT_ALONE) == 4, notice)
    e2e.check(count(notice, GATHERED) == 0 and count(notice, GATHERED_LEFT_ALONE) == 4, notice)
    e2e.check(changed(before, stamps(files)) == [], "replaced: %r" % changed(before, stamps(files)))
    e2e.check(ctimes(tree) == folder_ctimes, "a folder was written into")
    for folder in FOLDERS:
        e2e.check(not os.path.exists(tree + folder + "index.htm"), "page left in " + folder)

    e2e.write_mp3(tree + "c/song.mp3", e2e.id3v1_block(title=b"T", artist=b"A"),
                  body=b"\xff\xfb\x90\x00" * 80)
    touch(tree + "c/song.mp3", 2)
    folder_ctimes = ctimes(tree)
    notice = run(program)
    e2e.check(count(notice, GATHERED) == 1 and count(notice, GATHERED_LEFT_ALONE) == 3, notice)
    # The work list sorts "" (0), "a/" (1), "a/b/" (2), "c/" (3).
    e2e.check(changed(before, stamps(files)) == ["out/index00003.htm", "out/whatsnew.htm",
                                                 "out/whatsnew.xml", "tree/c/index.htm.csv"],
              "replaced: %r" % changed(before, stamps(files)))
    after = ctimes(tree)
    e2e.check([f for f in FOLDERS if after[f] != folder_ctimes[f]] == ["c/"],
              "folders written into: %r" % [f for f in FOLDERS if after[f] != folder_ctimes[f]])
    print("gathered: numbered pages left alone, unchanged folders untouched; one change replaced "
          "one numbered page")


def gathered_pages(out):
    """The numbered pages of an output folder, date lines left out."""
    return {name: DATE_LINE.sub(b"", open(out + name, "rb").read())
            for name in sorted(os.listdir(out)) if re.fullmatch(r"index\d{5}\.htm", name)}


def case_gathered_renumber(tmp):
    """Differential: the same tree gathered with SKIPSAME on and off gives the same numbered pages
    over runs where folders are added before the others (every number moves), removed, and renamed,
    so pages the walk left unwritten are given back and gathered under their new numbers."""
    sides = []
    for name, skip_same in (("on", True), ("off", False)):
        os.makedirs(os.path.join(tmp, name))
        sides.append(setup(os.path.join(tmp, name), skip_same=skip_same, gathered=True))
    # Marks shown in one run are gone in the next, which changes those pages once more: a run
    # after that ("quiet") finds nothing to gather.
    steps = [
        ("first", lambda tree: None),
        ("settle", lambda tree: None),
        ("quiet", lambda tree: None),
        ("added first", lambda tree: os.makedirs(tree + "0first/sub")),
        ("settle", lambda tree: None),
        ("quiet", lambda tree: None),
        ("removed", lambda tree: shutil.rmtree(tree + "0first/sub")),
        ("renamed", lambda tree: os.rename(tree + "a/b", tree + "a/0b")),
        ("settle", lambda tree: None),
        ("quiet", lambda tree: None),
        # Names whose links are percent-encoded, escaped or written as references.
        ("odd names", lambda tree: [os.makedirs(tree + n) for n in
                                    ("a/x %#&\"<\u00e9\u2603?/", "\u65e5\u672c/\u97f3 \u697d/")]),
        ("settle", lambda tree: None),
        ("quiet", lambda tree: None),
        ("added first", lambda tree: os.makedirs(tree + "!first")),
        ("settle", lambda tree: None),
        ("quiet", lambda tree: None),
    ]
    for step, change in steps:
        notices = []
        for program, tree, _ in sides:
            change(tree)
            for folder in ("", "a/", "0first/"):
                if os.path.isdir(tree + folder):
                    touch(tree + folder, 1)
            notices.append(run(program))
        on, off = gathered_pages(sides[0][2]), gathered_pages(sides[1][2])
        e2e.check(on.keys() == off.keys(), "%s: pages %r against %r" % (step, on.keys(), off.keys()))
        for page in on:
            e2e.check(on[page] == off[page], "%s: %s differs:\n%s\n----\n%s" % (
                step, page, on[page].decode("cp932", "replace"), off[page].decode("cp932", "replace")))
        for program, tree, _ in sides:
            leftovers = [d for d, _, names in os.walk(tree) if "index.htm" in names]
            e2e.check(leftovers == [], "%s: pages left in %r" % (step, leftovers))
        if step == "added first":
            # Every number moved: the pages the walk left unwritten were written after all.
            e2e.check(count(notices[0], LEFT_ALONE) == 0, "%s: %s" % (step, notices[0]))
        if step == "quiet":
            e2e.check(count(notices[0], GATHERED) == 0 and count(notices[0], WRITTEN) == 0,
                      "%s: %s" % (step, notices[0]))
    print("gathered_renumber: numbered pages alike with SKIPSAME on and off over %d runs" % len(steps))


def case_gathered_stopped(tmp):
    """A gathering run stopped before gathering keeps the output folder as it was, pages the walk
    left unwritten included; the next full run gathers the page the stopped run left in its folder
    and leaves the others alone, as a run with SKIPSAME off gives them."""
    import hostile_test as hostile
    sides = []
    for name, skip_same in (("on", True), ("off", False)):
        os.makedirs(os.path.join(tmp, name))
        sides.append(setup(os.path.join(tmp, name), skip_same=skip_same, gathered=True))
    for program, _, _ in sides:
        for _ in range(3):
            run(program)
    program, tree, out = sides[0]
    before = stamps(our_files(tree, out, gathered=True))
    for _, side_tree, _ in sides:
        e2e.write_mp3(side_tree + "c/song.mp3", e2e.id3v1_block(title=b"T", artist=b"A"),
                      body=b"\xff\xfb\x90\x00" * 80)
        touch(side_tree + "c/song.mp3", 2)
    for side_program, _, _ in sides:
        proc = hostile.start_paused(side_program, ["walk-done"])
        hostile.wait_paused(proc, "walk-done")
        proc.send_signal(signal.SIGTERM)
        hostile.release(proc)
        rc, notice, err = hostile.finish(proc)
        e2e.check(rc == 143, "stopped run: exit %d %s %s" % (rc, notice, err))
    e2e.check(changed(before, stamps(our_files(tree, out, gathered=True))) ==
              ["tree/c/index.htm.csv"], "stopped run replaced %r" %
              changed(before, stamps(our_files(tree, out, gathered=True))))
    e2e.check(os.path.isfile(tree + "c/index.htm"), "the changed page is not in its folder")
    for folder in ("", "a/", "a/b/"):
        e2e.check(not os.path.exists(tree + folder + "index.htm"), "page written in " + folder)
    before = stamps(our_files(tree, out, gathered=True))
    notice = run(program)
    e2e.check(count(notice, GATHERED) == 1 and count(notice, GATHERED_LEFT_ALONE) == 3,
              notice + "%r" % changed(before, stamps(our_files(tree, out, gathered=True))))
    run(sides[1][0])
    e2e.check(gathered_pages(out) == gathered_pages(sides[1][2]), "pages differ from SKIPSAME off")
    e2e.check(not os.path.exists(tree + "c/index.htm"), "the stopped run's page stayed")
    # The stopped run's entries reach the feed with the next run, in the output folder only.
    e2e.check(not os.path.exists(tree + "whatsnew.xml"), "feed written into the root folder")
    feed = open(out + "whatsnew.xml", "rb").read()
    updated = re.findall(rb"<id>[^<]*:updated/[^<]*/c/song.mp3</id>", feed)
    e2e.check(len(updated) == 1, "the stopped run's entry in the feed: %r" % updated)
    print("gathered_stopped: the output folder kept whole by a stopped run; the next run gathers "
          "the page it left")


def case_not_ours(tmp):
    """Files that hold the same bytes but are not plainly ours are replaced as before: mode 000,
    mode 0600, a link at the page's name (its target untouched), another owner's file."""
    program, tree, _ = setup(tmp)
    run(program)
    run(program)
    os.chmod(tree + "a/index.htm", 0o000)
    os.chmod(tree + "c/index.htm.csv", 0o600)
    elsewhere = os.path.join(tmp, "elsewhere.htm")
    os.rename(tree + "a/b/index.htm", elsewhere)
    os.symlink(elsewhere, tree + "a/b/index.htm")
    touch(tree + "a/b/", 1)  # as the run leaves its folders: no update mark in a/
    target_before = open(elsewhere, "rb").read()
    foreign = os.geteuid() == 0
    if foreign:
        os.chown(tree + "index.m3u8", 65534, 65534)
    before = stamps(our_files(tree, None))
    notice = run(program)
    # Another owner's playlist is not ours: it becomes a row of the root's page.
    written = 3 if foreign else 2
    e2e.check(count(notice, WRITTEN) == written and count(notice, LEFT_ALONE) == 4 - written,
              notice + "\n%r" % changed(before, stamps(our_files(tree, None))))
    for path in ("a/index.htm", "c/index.htm.csv", "a/b/index.htm"):
        st = os.lstat(tree + path)
        e2e.check(before[tree + path] != (st.st_ino, st.st_mtime_ns), "left alone: " + path)
        e2e.check(st.st_mode == 0o100644, "%s has mode %o" % (path, st.st_mode))
    e2e.check(open(elsewhere, "rb").read() == target_before, "the link's target was written")
    if foreign:
        # The playlist is ours by its first line, but another owner's: it is not left alone as
        # the same, and, not ours to replace either, it stays and is reported.
        e2e.check(os.stat(tree + "index.m3u8").st_uid == 65534, "foreign playlist replaced")
        e2e.check("index.m3u8" in notice, "foreign playlist not reported:\n" + notice)
    print("not_ours: mode 000, mode 0600 and a link replaced as before%s" %
          ("; another owner's playlist reported" if foreign else " (not root: owner case skipped)"))


def case_off(tmp):
    """SKIPSAME off: every run replaces every file, and the notice has its classic single count
    line; the pages are the same as with it on, the date line aside."""
    pages = []
    for name, skip_same in (("off", False), ("on", True)):
        os.makedirs(os.path.join(tmp, name))
        program, tree, _ = setup(os.path.join(tmp, name), skip_same=skip_same)
        run(program)
        files = our_files(tree, None)
        before = stamps(files)
        notice = run(program)
        if not skip_same:
            e2e.check(LEFT_ALONE not in notice and count(notice, WRITTEN) == 4, notice)
            # The feed keeps no new entries, but its files are written as every run wrote them.
            e2e.check(len(changed(before, stamps(files))) == len(files),
                      "kept with SKIPSAME off: %r" % sorted(
                          set(files) - set(changed(before, stamps(files)))))
        pages.append({f: DATE_LINE.sub(b"", open(tree + f + "index.htm", "rb").read())
                      for f in FOLDERS})
    e2e.check(pages[0] == pages[1], "pages differ with SKIPSAME on")
    print("off: every file replaced, classic notice; pages alike with it on")


CASES = {
    "in_place": case_in_place,
    "gathered": case_gathered,
    "gathered_renumber": case_gathered_renumber,
    "gathered_stopped": case_gathered_stopped,
    "not_ours": case_not_ours,
    "off": case_off,
}

if __name__ == "__main__":
    e2e.run_cases(CASES)
