#!/usr/bin/env python3
"""Runs of VELDRA-cli over hostile trees and damaged files. Each case checks that the run
finishes, that its closing notice tells the truth, and that nothing but pages and snapshots
changed in the tree.

    hostile_test.py PATH-TO-VELDRA-cli CASE     (CASE: see CASES at the end; "all" runs every one)"""
import os
import re
import shutil
import stat
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_lib as e2e  # noqa: E402

PAGES_WRITTEN = re.compile(r"書き出したページ: (\d+)件")


def pages_in(root):
    """Folders below root (bytes paths) that hold a complete page."""
    found = []
    for dirpath, _, filenames in os.walk(root.encode()):
        if e2e.PAGE.encode() in filenames:
            found.append(dirpath)
    return found


def run_checked(program, tree, expect_rc=0, args=(), as_user=None, timeout=600):
    before = e2e.tree_fingerprint(tree)
    rc, out, err = program.run("--root", tree, "--url", "/files/", *args, as_user=as_user,
                               timeout=timeout)
    e2e.check(rc == expect_rc, "exit %d, expected %d\n%s%s" % (rc, expect_rc, out, err))
    e2e.check(out.startswith("★終わったよ★"), "no closing notice: " + out + err)
    after = e2e.tree_fingerprint(tree)
    changed = [p for p in set(before) | set(after) if before.get(p) != after.get(p)]
    e2e.check(not changed, "files other than pages changed: %r" % changed[:5])
    return out


def written_count(notice):
    m = PAGES_WRITTEN.search(notice)
    e2e.check(m is not None, "notice has no page count: " + notice)
    return int(m.group(1))


def setup(tmp, **set_keys):
    program = e2e.Program(e2e.cli_path(), os.path.join(tmp, "program"))
    tree = os.path.join(tmp, "tree") + "/"
    os.makedirs(tree)
    program.write_set(**set_keys)
    return program, tree


def case_names(tmp):
    program, tree = setup(tmp, new_mark="NEW", update_mark="UPD", show_new=True, show_update=True)
    names = [b'quote"s', b"com,ma", b"line\nbreak", b"line\r\nbreak", b"tab\there",
             b"bad\xff\xfeutf8", b"\xe3\x81", "ソ表能".encode(), "ソ表能\\".encode(),
             b"x" * 255, "表".encode() * 85, b"amp&#38;lit", b"&#56447;", b" lead", b"trail "]
    for i, name in enumerate(names):
        folder = os.path.join(tree.encode(), b"d" + str(i).encode() + name[:240])
        os.mkdir(folder)
        with open(os.path.join(folder, name), "wb") as f:
            f.write(b"x")
        e2e.write_mp3(os.path.join(folder, name[:250] + b".mp3"),
                      e2e.id3v1_block(name[:30], b'"\n<,>', b"\xff\xfe\x81"))
    out = run_checked(program, tree)
    pages = pages_in(tree)
    e2e.check(written_count(out) == len(pages) == len(names) + 1,
              "notice says %d pages, %d found" % (written_count(out), len(pages)))
    for folder in pages:
        snapshot = open(os.path.join(folder, (e2e.PAGE + ".csv").encode()), "rb").read()
        records = e2e.parse_snapshot(snapshot)
        e2e.check(records is not None, "snapshot does not parse: %r" % folder)
        lines = e2e.read_page(os.path.join(folder, e2e.PAGE.encode()).decode(
            errors="surrogateescape"))
        e2e.check(e2e.page_is_complete(lines), "page incomplete in %r" % folder)
        e2e.check(len([l for l in lines if l.startswith("<TR><TD>")]) ==
                  len(records), "rows and snapshot records differ in %r" % folder)
    # Nothing changed: the snapshots must give back every name exactly, so no marks at all.
    run_checked(program, tree)
    for folder in pages:
        for line in e2e.read_page(os.path.join(folder, e2e.PAGE.encode()).decode(
                errors="surrogateescape")):
            e2e.check("NEW" not in line and "UPD" not in line,
                      "unchanged entry marked in %r: %s" % (folder, line))
    print("names: %d hostile names, pages and snapshots round-trip, no false marks" % len(names))


def case_big_folder(tmp):
    program, tree = setup(tmp, columns=["FILE SIZE"])
    big = os.path.join(tree, "big")
    os.mkdir(big)
    fd = os.open(big, os.O_RDONLY)
    for i in range(100_000):
        os.close(os.open("f%06d.mp3" % i, os.O_CREAT | os.O_WRONLY, 0o644, dir_fd=fd))
    os.close(fd)
    out = run_checked(program, tree)
    lines = e2e.read_page(os.path.join(big, e2e.PAGE))
    rows = [l for l in lines if "<A HREF=" in l and "f0" in l]
    e2e.check(len(rows) == 100_000, "%d rows for 100000 files" % len(rows))
    e2e.check(written_count(out) == 2, out)
    print("big_folder: 100000 entries listed")


def make_deep(tree, depth, name):
    fd = os.open(tree, os.O_RDONLY)
    for _ in range(depth):
        os.mkdir(name, dir_fd=fd)
        nfd = os.open(name, os.O_RDONLY, dir_fd=fd)
        os.close(fd)
        fd = nfd
    os.close(fd)


def case_deep(tmp):
    program, tree = setup(tmp)
    name = "level-of-a-deep-tree"  # 21 bytes a level: 300 levels pass PATH_MAX (4096) near 195
    make_deep(tree, 300, name)
    rc, out, err = program.run("--root", tree, "--url", "/files/", timeout=600)
    e2e.check(rc in (0, 1), "exit %d: %s %s" % (rc, out, err))
    e2e.check(out.startswith("★終わったよ★"), "no closing notice")
    written = written_count(out)
    # Count the pages through directory handles: the paths are too long for plain calls.
    found, fd, level = 0, os.open(tree, os.O_RDONLY), 0
    while True:
        if e2e.PAGE in os.listdir(fd):
            found += 1
        try:
            nfd = os.open(name, os.O_RDONLY, dir_fd=fd)
        except FileNotFoundError:
            break
        os.close(fd)
        fd, level = nfd, level + 1
    os.close(fd)
    e2e.check(written == found, "notice says %d pages, %d found" % (written, found))
    e2e.check(rc == (0 if found == 301 else 1), "exit %d with %d of 301 pages" % (rc, found))
    print("deep: 300 levels, exit %d, %d of 301 pages written; notice:\n%s" % (rc, found, out))


def case_links(tmp):
    program, tree = setup(tmp)
    outside = os.path.join(tmp, "outside")
    os.makedirs(os.path.join(outside, "inner"))
    with open(os.path.join(outside, "keep.txt"), "w") as f:
        f.write("outside")
    os.makedirs(tree + "a/b")
    os.symlink("..", tree + "a/b/up")            # a cycle through the parent
    os.symlink(tree, tree + "a/root")            # a cycle to the root
    os.symlink(outside, tree + "out")            # a folder outside the tree
    os.symlink(outside + "/keep.txt", tree + "keep-link.txt")
    os.symlink(tree + "missing", tree + "dangling.mp3")
    os.mkfifo(tree + "fifo.mp3")                 # opening it to read a tag would block
    outside_before = e2e.tree_fingerprint(outside)
    out = run_checked(program, tree, expect_rc=0, timeout=120)
    e2e.check(e2e.tree_fingerprint(outside) == outside_before,
              "files outside the tree changed")
    root_rows = [l for l in e2e.read_page(tree + e2e.PAGE) if l.startswith("<TR>")]
    for name in ("fifo.mp3", "dangling.mp3", "keep-link.txt", ">out<"):
        e2e.check(any(name in l for l in root_rows), "no row for " + name)
    a_rows = [l for l in e2e.read_page(tree + "a/" + e2e.PAGE) if l.startswith("<TR>")]
    e2e.check(any(">root<" in l for l in a_rows), "the link back to the root has no row")
    e2e.check(not os.path.exists(tree + "a/root/a/" + e2e.PAGE + ".csv.tmp"), "")
    print("links: cycles, outside link, dangling link and FIFO; %d pages; notice:\n%s" %
          (written_count(out), out))


def case_sparse(tmp):
    program, tree = setup(tmp, columns=["FILE SIZE"])
    sizes = {"four.bin": (4 << 30) + 1, "five.mp3": 5 << 30, "huge.bin": (1 << 40) + (1 << 39)}
    for name, size in sizes.items():
        with open(tree + name, "wb") as f:
            f.truncate(size)
    run_checked(program, tree)
    cells = {}
    for line in e2e.read_page(tree + e2e.PAGE):
        m = re.search(r'>([^<>]+)</A></TD><TD align=right>\(([\d.]+)MB\)</TD>', line)
        if m:
            cells[m.group(1)] = m.group(2)
    for name, size in sizes.items():
        want = "%.1f" % (size / 1048576.0)
        e2e.check(cells.get(name) == want, "%s: %r, expected %s" % (name, cells.get(name), want))
    snapshot = e2e.parse_snapshot(open(tree + e2e.PAGE + ".csv", "rb").read() if os.path.exists(
        tree + e2e.PAGE + ".csv") else b"")
    program.write_set(columns=["FILE SIZE"], process_id3=False)
    run_checked(program, tree)
    for line in e2e.read_page(tree + e2e.PAGE):
        if ">five.mp3<" in line:
            e2e.check("5242880KB(5120.0MB)" in line, "KB cell wrong: " + line)
    print("sparse: sizes over 4 GiB shown right: %r" % cells)


def case_damaged_snapshots(tmp):
    program, tree = setup(tmp, new_mark="NEW", update_mark="UPD", show_new=True,
                          show_update=True)
    damage = {
        "truncated": b'"F","a.mp3","2000/01/02 03:04","1"\r\n"F","b.mp3","2000/01/0',
        "garbage": bytes(range(256)) * 64,
        "long_line": b'"F","' + b"x" * (10 << 20) + b'",""\r\n',
        "unclosed": b'"D","sub\r\n' * 1000,
    }
    for name, data in damage.items():
        os.makedirs(tree + name)
        with open(tree + name + "/a.mp3", "wb") as f:
            f.write(b"x")
        with open(tree + name + "/" + e2e.PAGE + ".csv", "wb") as f:
            f.write(data)
    out = run_checked(program, tree)
    e2e.check(written_count(out) == len(damage) + 1, out)
    for name in damage:
        snap = e2e.parse_snapshot(open(tree + name + "/" + e2e.PAGE + ".csv", "rb").read())
        e2e.check(snap is not None and len(snap) == 1, "snapshot of %s not rewritten" % name)
    print("damaged_snapshots: %d damaged snapshots read without harm and replaced" % len(damage))


def case_damaged_sets(tmp):
    program, tree = setup(tmp)
    with open(tree + "a.txt", "w") as f:
        f.write("a")
    damage = {
        "garbage": bytes(range(256)) * 64,
        "long_lines": b"[MAIN]\r\nTEXT1(5)=" + b"\x81" * (1 << 20) + b"\r\nDIR(0)=" +
                      b"y" * (1 << 20) + b"\r\n",
        "no_main": b"[OTHER]\r\nTEXT1(5)=index.htm\r\n",
        "nul_bytes": b"[MAIN]\r\nTEXT1(5)=index.htm\x00evil\r\n\x00\x00",
    }
    for name, data in damage.items():
        with open(program.ini_path(name), "wb") as f:
            f.write(data)
        rc, out, err = program.run("--root", tree, "--url", "/files/", set_name=name)
        e2e.check(rc in (0, 1), "%s: exit %d %s %s" % (name, rc, out, err))
        written = written_count(out)
        e2e.check((rc == 0) == (written == 1), "%s: exit %d but %d pages" % (name, rc, written))
        ini = open(program.ini_path(name), "rb").read()
        for key in (b"TEXT1(12)=", b"Check2=", b"LIST2=", b"DIR(0)="):
            e2e.check(key in ini, "%s: key %s missing after the save" % (name, key))
        print("damaged set %s: exit %d, %d pages" % (name, rc, written))
        for leftover in os.listdir(tree):
            if leftover.startswith(e2e.PAGE):
                os.remove(tree + leftover)


def as_nobody_available():
    if os.geteuid() != 0 or not shutil.which("setpriv"):
        return False
    return subprocess.run(["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                           "true"]).returncode == 0


def chown_tree(path, uid, gid):
    for dirpath, dirnames, filenames in os.walk(path):
        os.chown(dirpath, uid, gid)
        for n in dirnames + filenames:
            os.lchown(os.path.join(dirpath, n), uid, gid)


def case_unwritable(tmp):
    if not as_nobody_available():
        e2e.skip("needs root to run parts as nobody through setpriv")
    import pwd
    nobody = pwd.getpwnam("nobody")
    program, tree = setup(tmp, new_mark="NEW", show_new=True)
    for d in ("ok", "locked", "locked/inner"):
        os.makedirs(tree + d)
        with open(tree + d + "/song.mp3", "wb") as f:
            f.write(b"x")
    chown_tree(tmp, nobody.pw_uid, nobody.pw_gid)
    rc, out, err = program.run("--root", tree, "--url", "/files/", as_user="nobody")
    e2e.check(rc == 0, "first run: %d %s %s" % (rc, out, err))
    old_page = open(tree + "locked/" + e2e.PAGE, "rb").read()
    old_snap = open(tree + "locked/" + e2e.PAGE + ".csv", "rb").read()
    with open(tree + "locked/new.mp3", "wb") as f:
        f.write(b"y")
    os.chown(tree + "locked/new.mp3", nobody.pw_uid, nobody.pw_gid)
    os.chmod(tree + "locked", 0o555)
    out = run_checked(program, tree, expect_rc=1, as_user="nobody")
    e2e.check(open(tree + "locked/" + e2e.PAGE, "rb").read() == old_page, "old page lost")
    e2e.check(open(tree + "locked/" + e2e.PAGE + ".csv", "rb").read() == old_snap,
              "old snapshot lost")
    e2e.check(written_count(out) == 3 and "locked/" in out, "notice: " + out)
    e2e.check(not [n for n in os.listdir(tree + "locked") if n.startswith(".")],
              "temporary files left")

    # The output folder cannot be written: pages stay in their folders, the notice says so.
    os.makedirs(tmp + "/out")
    os.chown(tmp + "/out", 0, 0)
    os.chmod(tmp + "/out", 0o555)
    program.write_set(new_mark="NEW", show_new=True, output_folder=tmp + "/out/",
                      output_url="/pages/")
    os.chown(program.ini_path(), nobody.pw_uid, nobody.pw_gid)
    out = run_checked(program, tree, expect_rc=1, as_user="nobody")
    e2e.check(os.path.exists(tree + "ok/" + e2e.PAGE), "page of ok/ left its folder")
    e2e.check(os.listdir(tmp + "/out") == [], "something written into the locked output folder")
    print("unwritable: folder and output folder refused writes; notices:\n" + out)


def case_output_missing(tmp):
    program, tree = setup(tmp, output_folder=tmp + "/no-such-folder/", output_url="/pages/")
    os.makedirs(tree + "a")
    out = run_checked(program, tree, expect_rc=1)
    e2e.check(os.path.exists(tree + e2e.PAGE) and os.path.exists(tree + "a/" + e2e.PAGE),
              "pages must stay in their folders")
    e2e.check("no-such-folder" in out, "notice does not name the output folder: " + out)
    print("output_missing: pages stayed; notice:\n" + out)


def case_leftovers(tmp):
    program, tree = setup(tmp)
    os.makedirs(tree + "a")
    planted = [".index.htm.tmp-abcd1234", "a/.index.htm.csv.tmp-zz99zz99"]
    kept = [".notes.tmp-12345678", ".index.htm.tmp-short", "a/.index.htm.tmp-abcd1234.mp3"]
    for name in planted + kept:
        with open(tree + name, "w") as f:
            f.write("<TR>half a page")
    t = os.stat(tree + "a").st_mtime
    program.run("--root", tree, "--url", "/f/")
    for name in planted:
        e2e.check(not os.path.exists(tree + name), "leftover not removed: " + name)
    for name in kept:
        e2e.check(os.path.exists(tree + name), "user file removed: " + name)
    rows = "".join(e2e.read_page(tree + e2e.PAGE) + e2e.read_page(tree + "a/" + e2e.PAGE))
    e2e.check(".index.htm.tmp-abcd1234<" not in rows and "zz99zz99" not in rows,
              "leftover listed as a row")
    e2e.check(".notes.tmp-12345678" in rows, "user file not listed")
    e2e.check(os.stat(tree + "a").st_mtime == t, "removing a leftover changed the folder time")
    print("leftovers: temporary files of a killed run removed, not listed; user files kept")


CASES = {
    "leftovers": case_leftovers,
    "names": case_names, "big_folder": case_big_folder, "deep": case_deep, "links": case_links,
    "sparse": case_sparse, "damaged_snapshots": case_damaged_snapshots,
    "damaged_sets": case_damaged_sets, "unwritable": case_unwritable,
    "output_missing": case_output_missing,
}


def main():
    e2e.cli_path()
    names = sys.argv[2:] or ["all"]
    if names == ["all"]:
        names = list(CASES)
    for name in names:
        tmp = e2e.make_temp()
        try:
            CASES[name](tmp)
        finally:
            subprocess.run(["chmod", "-R", "u+rwx", tmp], capture_output=True)
            shutil.rmtree(tmp, ignore_errors=True)
    print("PASS")


if __name__ == "__main__":
    main()
