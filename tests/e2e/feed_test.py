#!/usr/bin/env python3
"""What's new and playlists, checked with real clients: the feed through a feed parser
(python3-feedparser) and the Atom schema of RFC 4287 (jing -c), runs that add, change and remove
files against the marks the pages show, hostile names, damaged histories, and the published site
served by nginx with every link fetched and every playlist entry probed as audio by ffprobe.

    feed_test.py PATH-TO-VELDRA-cli CASE     (CASE: see CASES at the end; "all" runs every one)"""
import html
import os
import re
import shutil
import signal
import subprocess
import sys
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_lib as e2e  # noqa: E402

SCHEMA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "feed",
                      "atom.rnc")
FEED = "whatsnew.xml"
NEWS = "whatsnew.htm"
PLAYLIST = "index.m3u8"
ROOT_URL = "http://Music.Example.ORG:8080/m/"
MARKED_ROW = re.compile(r'<A HREF="([^"]*)">.*?</A>(NEWMARK|UPDMARK)</TD>')
NEWS_ROW = re.compile(r'^<TR><TD>(NEWMARK|UPDMARK|新着|更新)</TD><TD><A HREF="([^"]*)">')
KIND = {"NEWMARK": "new", "UPDMARK": "updated", "新着": "new", "更新": "updated"}


def feedparser():
    try:
        import feedparser as parser
    except ImportError:
        # Debian's package, when this python3 is not Debian's own.
        sys.path.append("/usr/lib/python3/dist-packages")
        try:
            import feedparser as parser
        except ImportError:
            parser = None
    if parser is None:
        e2e.skip("python3-feedparser is not installed (scripts/install-deps.sh e2e)")
    return parser


def setup(tmp, feed=True, playlist=False, marks=True, url=ROOT_URL, **keys):
    program = e2e.Program(e2e.cli_path(), os.path.join(tmp, "program"))
    tree = os.path.join(tmp, "tree") + "/"
    os.makedirs(tree)
    extra = {}
    if feed:
        extra["FEED"] = "TRUE"
    if playlist:
        extra["PLAYLIST"] = "true"
    program.write_set(root=tree, url=url, new_mark="NEWMARK" if marks else "",
                      update_mark="UPDMARK" if marks else "", show_new=marks, show_update=marks,
                      extra=extra, **keys)
    return program, tree


def run(program, tree, url=ROOT_URL, expect_rc=0):
    rc, out, err = program.run("--root", tree, "--url", url)
    e2e.check(rc == expect_rc, "exit %d, expected %d\n%s%s" % (rc, expect_rc, out, err))
    return out


def check_schema(path):
    jing = e2e.need_tool("jing")
    proc = subprocess.run([jing, "-c", SCHEMA, path], capture_output=True, text=True)
    errors = [line for line in (proc.stdout + proc.stderr).splitlines()
              if not line.startswith("[warning]")]
    e2e.check(proc.returncode == 0 and not errors, "jing: %s" % "\n".join(errors))


def read_feed(tree, url=ROOT_URL):
    """The feed, checked against the schema and parsed: (feed, entries as dicts)."""
    path = tree + FEED
    check_schema(path)
    data = open(path, "rb").read()
    parsed = feedparser().parse(data)
    e2e.check(not parsed.bozo, "feedparser: %r" % parsed.get("bozo_exception"))
    entries = []
    for entry in parsed.entries:
        alternate = [link.href for link in entry.links if link.rel == "alternate"]
        related = [link.href for link in entry.links if link.rel == "related"]
        e2e.check(len(alternate) == 1 and len(related) == 1, "links of %r" % entry)
        e2e.check(len(entry.tags) == 1, "categories of %r" % entry)
        entries.append({"id": entry.id, "href": alternate[0], "folder": related[0],
                        "kind": entry.tags[0].term, "title": entry.title,
                        "updated": entry.updated})
    ids = [e["id"] for e in entries]
    e2e.check(len(set(ids)) == len(ids), "duplicate ids: %r" % ids)
    for e in entries:
        host = urllib.parse.urlsplit(url).hostname
        e2e.check(e["id"].startswith("tag:%s,2000:%s/" % (host, e["kind"])),
                  "id %s" % e["id"])
    times = [e["updated"] for e in entries]
    e2e.check(times == sorted(times, reverse=True), "entries not newest first: %r" % times)
    if entries:
        e2e.check(parsed.feed.updated == times[0], "feed updated %s" % parsed.feed.updated)
    self_links = [link.href for link in parsed.feed.links if link.rel == "self"]
    e2e.check(len(self_links) == 1, "self link: %r" % parsed.feed.links)
    return parsed, entries


def marked_rows(tree):
    """(href, kind) of every marked row of every page, pages in page order (ASCII names)."""
    folders = sorted(d + "/" for d, _, files in os.walk(tree.rstrip("/")) if e2e.PAGE in files)
    rows = []
    for folder in folders:
        for line in e2e.read_page(folder + e2e.PAGE):
            for href, mark in MARKED_ROW.findall(line):
                rows.append((html.unescape(href), KIND[mark]))
    return rows


def news_rows(tree):
    rows = []
    for line in e2e.read_page(tree + NEWS):
        m = NEWS_ROW.match(line)
        if m:
            rows.append((html.unescape(m.group(2)), KIND[m.group(1)]))
    return rows


def touch(path, hours):
    t = 1700000000 + hours * 3600
    os.utime(path, (t, t))


def case_three_runs(tmp):
    program, tree = setup(tmp)
    for folder in ("alpha", "beta"):
        os.makedirs(tree + folder)
    files = {"alpha/a1.mp3": b"T1", "alpha/a2.mp3": b"T2", "beta/b1.mp3": b"T3", "top.mp3": b""}
    for name, title in files.items():
        e2e.write_mp3(tree + name, e2e.id3v1_block(title=title, artist=b"Art") if title else None)
        touch(tree + name, 1)
    for folder in ("alpha", "beta"):
        touch(tree + folder, 1)
    expected = []
    steps = [
        lambda: None,
        # added, changed (size and time); both folders changed
        lambda: (e2e.write_mp3(tree + "alpha/a3.mp3"), touch(tree + "alpha/a3.mp3", 2),
                 open(tree + "beta/b1.mp3", "ab").write(b"more"), touch(tree + "beta/b1.mp3", 2),
                 touch(tree + "alpha", 2), touch(tree + "beta", 2)),
        # removed, a new folder with a file, a changed file in the root
        lambda: (os.remove(tree + "alpha/a2.mp3"), os.makedirs(tree + "gamma"),
                 e2e.write_mp3(tree + "gamma/g1.mp3"), touch(tree + "gamma/g1.mp3", 3),
                 touch(tree + "gamma", 3), touch(tree + "alpha", 3),
                 open(tree + "top.mp3", "ab").write(b"x"), touch(tree + "top.mp3", 3)),
    ]
    for number, step in enumerate(steps, 1):
        step()
        run(program, tree)
        marks = marked_rows(tree)
        e2e.check(marks, "run %d marked nothing" % number)
        expected = marks + expected
        _, entries = read_feed(tree)
        got = [(e["href"], e["kind"]) for e in entries]
        e2e.check(got == expected, "run %d: feed %r\nmarks %r" % (number, got, expected))
        e2e.check(news_rows(tree) == expected, "run %d: whatsnew.htm %r" % (number, news_rows(tree)))
        root_page = "\n".join(e2e.read_page(tree + e2e.PAGE))
        e2e.check("whatsnew" not in root_page, "our files listed in the root page")
        print("run %d: %d marked rows, feed of %d entries matches" % (number, len(marks),
                                                                       len(entries)))
    titles = {e["href"]: e["title"] for e in entries}
    e2e.check(titles[ROOT_URL + "alpha/a1.mp3"] == "T1", "tag title: %r" % titles)
    e2e.check(titles[ROOT_URL + "top.mp3"] == "top.mp3", "name as title: %r" % titles)
    history = open(program.ini_path().replace(".ini", ".feed"), "rb").read()
    e2e.check(history.count(b"\n") == len(expected) + 1, "history lines")
    e2e.check(not any(n.startswith(FEED) or n.startswith(NEWS) for n in os.listdir(tree + "alpha")),
              "feed files outside the root")
    print("three_runs: feed equals the marks of every run, newest run first, ids unique")


def case_marks_off(tmp):
    """FEED keeps snapshots and finds changes with both marks off; pages show no mark."""
    program, tree = setup(tmp, marks=False)
    e2e.write_mp3(tree + "a.mp3")
    run(program, tree)
    e2e.write_mp3(tree + "b.mp3")
    touch(tree + "b.mp3", 5)
    run(program, tree)
    _, entries = read_feed(tree)
    e2e.check([(e["href"], e["kind"]) for e in entries] ==
              [(ROOT_URL + "b.mp3", "new"), (ROOT_URL + "a.mp3", "new")], "entries %r" % entries)
    e2e.check(news_rows(tree) == [(ROOT_URL + "b.mp3", "new"), (ROOT_URL + "a.mp3", "new")],
              "whatsnew.htm marks: %r" % news_rows(tree))
    e2e.check(os.path.exists(tree + e2e.PAGE + ".csv"), "no snapshot with FEED on")
    print("marks_off: entries found with both marks off, 新着 in whatsnew.htm")


HOSTILE_NAMES = [b'quo"te.mp3', b"<lt>&amp;.mp3", b"cr\r\nlf.mp3", "😀emoji.mp3".encode(),
                 "한글.mp3".encode(), b"bad\xff\xfe.mp3", b"50% #1?.mp3", b" blank .mp3"]


def case_hostile_names(tmp):
    program, tree = setup(tmp, playlist=True, marks=False)
    btree = tree.encode()
    for name in HOSTILE_NAMES:
        e2e.write_mp3(btree + name)
    tagged = b"tagged.mp3"
    e2e.write_mp3(btree + tagged, e2e.id3v1_block(title=b'T&<"x', artist=b"A\r\nB"))
    run(program, tree)
    _, entries = read_feed(tree)
    by_name = {}
    for e in entries:
        # Links are IRIs: no blank, quote or angle bracket left unencoded.
        e2e.check(not set(e["href"][len(ROOT_URL):]) & set(' "<>\\'), "IRI %r" % e["href"])
        e2e.check(e["href"].startswith(ROOT_URL), "link %s" % e["href"])
        by_name[urllib.parse.unquote_to_bytes(e["href"][len(ROOT_URL):])] = e
    e2e.check(set(by_name) == set(HOSTILE_NAMES + [tagged]), "links lead elsewhere: %r" %
              sorted(by_name))
    e2e.check(by_name[tagged]["title"] == 'T&<"x', "title %r" % by_name[tagged]["title"])
    e2e.check(by_name[b"bad\xff\xfe.mp3"]["title"] == "bad\ufffd\ufffd.mp3", "invalid UTF-8")
    e2e.check(by_name[b"cr\r\nlf.mp3"]["title"] == "cr\ufffd\ufffdlf.mp3", "CR LF title")
    e2e.check(by_name["😀emoji.mp3".encode()]["title"] == "😀emoji.mp3", "emoji title")
    # The playlist: one #EXTINF line and one URL per file, each URL naming exactly its file.
    lines = open(tree + PLAYLIST, "rb").read().decode("utf-8").split("\n")
    e2e.check(lines[0] == "#EXTM3U" and lines[-1] == "", "playlist head %r" % lines[:2])
    body = [line for line in lines[1:-1] if not line.startswith("# ")]
    infos, urls = body[0::2], body[1::2]
    e2e.check(all(i.startswith("#EXTINF:-1,") for i in infos), "EXTINF %r" % infos)
    e2e.check(sorted(urllib.parse.unquote_to_bytes(u) for u in urls) ==
              sorted(HOSTILE_NAMES + [tagged]), "playlist urls %r" % urls)
    e2e.check("#EXTINF:-1,A\ufffd\ufffdB - T&<\"x" in infos, "tagged EXTINF %r" % infos)
    root_page = "\n".join(e2e.read_page(tree + e2e.PAGE))
    e2e.check(PLAYLIST not in root_page and FEED not in root_page, "our files listed")
    print("hostile_names: %d entries escaped, schema-valid, links and playlist exact" %
          len(entries))


def case_history(tmp):
    """A damaged, huge, FIFO, linked or folder history never breaks a run."""
    program, tree = setup(tmp, marks=False)
    history = program.ini_path().replace(".ini", ".feed")
    e2e.write_mp3(tree + "a.mp3")
    run(program, tree)
    good = open(history, "rb").read()
    e2e.check(good.count(b"\n") == 2, "history %r" % good)
    # Damaged lines among good ones: the good ones stay.
    with open(history, "ab") as f:
        f.write(b"garbage\tline\n" + bytes(range(256)) + b"\n1\tnew\tF\t../\tx\t\t0\t0\t\t\t\t\t\t0\t0\t0\n")
    e2e.write_mp3(tree + "b.mp3")
    touch(tree + "b.mp3", 7)
    run(program, tree)
    _, entries = read_feed(tree)
    e2e.check([e["href"] for e in entries] == [ROOT_URL + "b.mp3", ROOT_URL + "a.mp3"],
              "damaged lines: %r" % entries)
    damage = {
        "garbage": lambda: open(history, "wb").write(bytes(range(256)) * 4096),
        "huge": lambda: (open(history, "wb").write(good), os.truncate(history, 100 << 20)),
        "fifo": lambda: os.mkfifo(history),
        "link": lambda: os.symlink(history + ".target", history),
        "folder": lambda: os.mkdir(history),
    }
    for name, make in damage.items():
        for leftover in (history, history + ".target"):
            if os.path.isdir(leftover) and not os.path.islink(leftover):
                os.rmdir(leftover)
            elif os.path.lexists(leftover):
                os.remove(leftover)
        with open(history + ".target", "wb") as f:
            f.write(good)
        make()
        out = run(program, tree)
        _, entries = read_feed(tree)
        if name == "folder":
            e2e.check("新着情報を書けませんでした" in out, "folder history not reported: " + out)
        else:
            e2e.check(os.path.isfile(history) and not os.path.islink(history),
                      "%s: history not replaced by a regular file" % name)
        e2e.check(open(history + ".target", "rb").read() == good, "%s: written through" % name)
        print("history %s: run finished, feed of %d entries" % (name, len(entries)))


def case_not_ours(tmp):
    """Same-named files of someone else's are left alone, listed and reported."""
    program, tree = setup(tmp, playlist=True, marks=False)
    e2e.write_mp3(tree + "a.mp3")
    theirs = {NEWS: b"<HTML>mine</HTML>", FEED: b"<feed/>", PLAYLIST: b"#EXTM3U\nmine.mp3\n"}
    for name, data in theirs.items():
        with open(tree + name, "wb") as f:
            f.write(data)
    out = run(program, tree)
    for name, data in theirs.items():
        e2e.check(open(tree + name, "rb").read() == data, "%s overwritten" % name)
        e2e.check(name in out, "%s not reported: %s" % (name, out))
    root_page = "\n".join(e2e.read_page(tree + e2e.PAGE))
    for name in theirs:
        e2e.check('">%s</A>' % name in root_page, "%s not listed" % name)
    # Once they are gone, ours are written; turning the keys off leaves ours where they are.
    for name in theirs:
        os.remove(tree + name)
    run(program, tree)
    e2e.check(all(os.path.isfile(tree + n) for n in theirs), "ours not written")
    program.write_set(root=tree, url=ROOT_URL)
    run(program, tree)
    root_page = "\n".join(e2e.read_page(tree + e2e.PAGE))
    for name in theirs:
        e2e.check(os.path.isfile(tree + name), "%s removed with the key off" % name)
        e2e.check('">%s</A>' % name in root_page, "%s not listed with its key off" % name)
    # A link or a FIFO under our names: never written through, never waited for.
    outside = os.path.join(tmp, "outside.txt")
    with open(outside, "wb") as f:
        f.write(b"outside")
    os.makedirs(tree + "sub")
    e2e.write_mp3(tree + "sub/s.mp3")
    os.remove(tree + FEED)
    os.symlink(outside, tree + FEED)
    os.mkfifo(tree + "sub/" + PLAYLIST)
    program.write_set(root=tree, url=ROOT_URL, extra={"FEED": "TRUE", "PLAYLIST": "TRUE"})
    rc, out, err = program.run("--root", tree, "--url", ROOT_URL, timeout=120)
    e2e.check(rc == 0, "exit %d %s %s" % (rc, out, err))
    e2e.check(open(outside, "rb").read() == b"outside", "written through a link")
    e2e.check(os.path.islink(tree + FEED), "link replaced")
    e2e.check(FEED in out and PLAYLIST in out, "link and FIFO not reported: " + out)
    print("not_ours: foreign files kept, listed and reported; ours stay when the keys go off; "
          "a link and a FIFO under our names left alone")


def make_audio(path):
    ffmpeg = e2e.need_tool("ffmpeg")
    subprocess.run([ffmpeg, "-v", "error", "-y", "-f", "lavfi", "-i",
                    "sine=frequency=440:duration=1", "-ac", "1", "-c:a", "libmp3lame", "-b:a",
                    "32k", path], check=True)


def case_served(tmp):
    ffprobe = e2e.need_tool("ffprobe")
    e2e.need_tool("nginx")
    sample = os.path.join(tmp, "sample.mp3")
    make_audio(sample)
    web = os.path.join(tmp, "web")
    os.makedirs(web)
    program, tree = setup(tmp, playlist=True)
    names = ["one.mp3", "two words.mp3", "sub/quo\"te #1.mp3", "sub/ソ表.mp3", "sub/deep/x&y.mp3"]
    for name in names:
        os.makedirs(os.path.dirname(tree + name), exist_ok=True)
        shutil.copy(sample, tree + name)
    with e2e.nginx({"/m/": tree}, web) as base:
        url = base + "/m/"
        run(program, tree, url=url)
        parsed, entries = read_feed(tree, url)
        links = [e["href"] for e in entries] + [e["folder"] for e in entries]
        links += [link.href for link in parsed.feed.links]
        links += [html.unescape(h) for h in e2e.hrefs(e2e.read_page(tree + NEWS))]
        for link in sorted(set(links)):
            # A feed link is an IRI: characters beyond ASCII go on the wire percent-encoded.
            status, _, _ = e2e.fetch(urllib.parse.quote(link, safe=":/?#[]@!$&'()*+,;=%"))
            e2e.check(status == 200, "%s: %d" % (link, status))
        probed = 0
        for dirpath, _, files in os.walk(tree):
            if PLAYLIST not in files:
                continue
            rel = os.path.relpath(dirpath, tree)
            folder_url = url + ("" if rel == "." else urllib.parse.quote(rel) + "/")
            lines = open(os.path.join(dirpath, PLAYLIST), encoding="utf-8").read().splitlines()
            for entry in [line for line in lines if line and not line.startswith("#")]:
                target = urllib.parse.urljoin(folder_url, entry)
                proc = subprocess.run([ffprobe, "-v", "error", "-show_entries",
                                       "stream=codec_type", "-of", "csv=p=0", target],
                                      capture_output=True, text=True)
                e2e.check(proc.stdout.strip() == "audio", "%s: %r %r" % (target, proc.stdout,
                                                                         proc.stderr))
                probed += 1
        e2e.check(probed == len(names), "probed %d of %d" % (probed, len(names)))
    print("served: %d feed and page links answered 200; %d playlist entries probed as audio" %
          (len(set(links)), probed))


def case_gathered(tmp):
    """Gathered: the feed and the page go into the output folder, folder links lead to this run's
    numbered pages, playlists stay in their folders; temporaries of a killed run are removed."""
    e2e.need_tool("nginx")
    web = os.path.join(tmp, "web")
    out = os.path.join(tmp, "out") + "/"
    os.makedirs(web)
    os.makedirs(out)
    with e2e.nginx({"/m/": os.path.join(tmp, "tree") + "/", "/out/": out}, web) as base:
        url = base + "/m/"
        program, tree = setup(tmp, playlist=True, url=url, output_folder=out,
                              output_url=base + "/out/")
        for name in ("b/one.mp3", "a/two.mp3", "a/c/three.mp3", "four.mp3"):
            os.makedirs(os.path.dirname(tree + name), exist_ok=True)
            e2e.write_mp3(tree + name)
        planted = [".whatsnew.xml.tmp-abcd1234", "a/.index.m3u8.tmp-zz99zz99"]
        for name in planted:
            with open(tree + name, "w") as f:
                f.write("half")
        run(program, tree, url=url)
        for name in planted:
            e2e.check(not os.path.exists(tree + name), "leftover kept: " + name)
        e2e.check(not os.path.exists(tree + FEED) and os.path.exists(out + FEED),
                  "feed not in the output folder")
        parsed, entries = read_feed(out, url)
        e2e.check(len(entries) == 7, "entries %r" % entries)  # 3 folders and 4 files
        links = [e["href"] for e in entries] + [e["folder"] for e in entries]
        links += [link.href for link in parsed.feed.links]
        links += [html.unescape(h) for h in e2e.hrefs(e2e.read_page(out + NEWS))]
        folder_links = [e["folder"] for e in entries] + \
            [e["href"] for e in entries if e["href"].endswith(".htm")]
        e2e.check(all("/out/index" in link for link in folder_links),
                  "folder links not gathered: %r" % folder_links)
        for link in sorted(set(links)):
            status, _, _ = e2e.fetch(link)
            e2e.check(status == 200, "%s: %d" % (link, status))
        for folder in ("", "a/", "b/", "a/c/"):
            e2e.check(os.path.isfile(tree + folder + PLAYLIST), "playlist of /%s moved" % folder)
    print("gathered: feed in the output folder, %d links answered 200, playlists in place" %
          len(set(links)))


def case_pages_unchanged(tmp):
    """The folder pages of a tree are the same with FEED and PLAYLIST on as without them (the date
    line aside), over two runs with a change between them."""
    trees = []
    for name, keys in (("with", {"FEED": "TRUE", "PLAYLIST": "TRUE"}), ("without", {})):
        program = e2e.Program(e2e.cli_path(), os.path.join(tmp, name, "program"))
        tree = os.path.join(tmp, name, "tree") + "/"
        for sub in ("", "a/", "a/b/"):
            os.makedirs(tree + sub, exist_ok=True)
            e2e.write_mp3(tree + sub + "x.mp3", e2e.id3v1_block(title=b"X", artist=b"Y"))
            touch(tree + sub + "x.mp3", 1)
        program.write_set(root=tree, url=ROOT_URL, new_mark="NEWMARK", update_mark="UPDMARK",
                          show_new=True, show_update=True, extra=keys)
        trees.append((program, tree))
    for step in range(2):
        for program, tree in trees:
            if step == 1:
                e2e.write_mp3(tree + "a/new.mp3")
                touch(tree + "a/new.mp3", 2)
                touch(tree + "a", 2)
            run(program, tree)
        pages = []
        for _, tree in trees:
            found = {}
            for dirpath, _, files in os.walk(tree):
                if e2e.PAGE in files:
                    lines = e2e.read_page(os.path.join(dirpath, e2e.PAGE))
                    found[os.path.relpath(dirpath, tree)] = [
                        line for line in lines if not line.startswith("List create date")]
            pages.append(found)
        e2e.check(len(pages[0]) == 3 and pages[0] == pages[1],
                  "run %d: pages differ with the keys on" % (step + 1))
    print("pages_unchanged: %d pages alike with and without the keys over two runs" %
          len(pages[0]))


def case_stopped(tmp):
    """A run stopped after its first folder publishes that folder's entries; the next run adds
    the rest: every entry once, none lost, no duplicate ids."""
    import hostile_test as hostile
    program, tree = setup(tmp, marks=False)
    # More folders than the writers hold queued, so that the stop leaves some of them.
    folders = ["f%02d" % i for i in range(40)]
    names = [f + "/x.mp3" for f in folders]
    for name in names:
        os.makedirs(os.path.dirname(tree + name), exist_ok=True)
        e2e.write_mp3(tree + name)
    proc = hostile.start_paused(program, ["folder-written"], "--root", tree, "--url", ROOT_URL)
    hostile.wait_paused(proc, "folder-written")
    proc.send_signal(signal.SIGTERM)
    hostile.release(proc)
    rc, out, err = hostile.finish(proc)
    e2e.check(rc == 143, "stopped run: exit %d %s %s" % (rc, out, err))
    _, first = read_feed(tree)
    e2e.check(0 < len(first) < len(names), "stopped run's feed: %d entries" % len(first))
    run(program, tree)
    _, entries = read_feed(tree)
    hrefs = sorted(e["href"] for e in entries)
    expected = sorted([ROOT_URL + n for n in names] +
                      [ROOT_URL + d + "/" + e2e.PAGE for d in folders])
    e2e.check(hrefs == expected, "after the full run: %r" % hrefs)
    e2e.check(all(e["kind"] == "new" for e in entries), "kinds %r" % entries)
    print("stopped: %d entries from the stopped run, %d after the next, each once" %
          (len(first), len(entries)))


CASES = {
    "three_runs": case_three_runs,
    "marks_off": case_marks_off,
    "hostile_names": case_hostile_names,
    "history": case_history,
    "not_ours": case_not_ours,
    "served": case_served,
    "gathered": case_gathered,
    "pages_unchanged": case_pages_unchanged,
    "stopped": case_stopped,
}


def main():
    e2e.run_cases(CASES)


if __name__ == "__main__":
    main()
