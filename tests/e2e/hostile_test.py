#!/usr/bin/env python3
"""Runs of VELDRA-cli over hostile trees and damaged files. Each case checks that the run
finishes, that its closing notice tells the truth, and that nothing but pages and snapshots
changed in the tree.

    hostile_test.py PATH-TO-VELDRA-cli CASE     (CASE: see CASES at the end; "all" runs every one)"""
import hashlib
import os
import re
import select
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

    # A set file its user cannot read: no run (an empty set would blame the root folder, then
    # be saved over the file); exit 2 naming the file, the file as it was.
    os.chown(program.ini_path(), 0, 0)
    os.chmod(program.ini_path(), 0o600)
    before = open(program.ini_path(), "rb").read()
    rc, set_out, set_err = program.run("--root", tree, "--url", "/files/", as_user="nobody")
    e2e.check(rc == 2, "unreadable set: exit %d %s %s" % (rc, set_out, set_err))
    e2e.check(program.ini_path() + " (Permission denied)" in set_err, "stderr: " + set_err)
    e2e.check(set_out == "", "unreadable set printed a notice: " + set_out)
    e2e.check(open(program.ini_path(), "rb").read() == before, "unreadable set file changed")
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


# --- Shared trees: people who can upload into the tree must not reach beyond it. ----------------

REFUSED = re.compile(r"たどらなかったリンク[^\n]*: (\d+)件")
GATHERED = re.compile(r"出力フォルダに集めたページ: (\d+)件")


def content_fingerprint(root, skip=()):
    """Every entry below root (links not followed) with its type, mode, size and content hash or
    link target, times left out: what an attack on files outside the tree would change."""
    result = {}
    for dirpath, dirnames, filenames in os.walk(root.encode(), followlinks=False):
        dirnames[:] = [d for d in dirnames if os.path.join(dirpath, d) not in skip]
        for name in dirnames + filenames:
            path = os.path.join(dirpath, name)
            # The run lock is the operator's own file, which every run makes in its settings folder.
            if path in skip or (name.startswith(b"veldra-run-") and name.endswith(b".lock")):
                continue
            st = os.lstat(path)
            digest = ""
            if stat.S_ISREG(st.st_mode):
                with open(path, "rb") as f:
                    digest = hashlib.sha1(f.read()).hexdigest()
            elif stat.S_ISLNK(st.st_mode):
                digest = os.readlink(path).hex()
            result[path] = (st.st_mode, st.st_uid, 0 if stat.S_ISDIR(st.st_mode) else st.st_size,
                            digest)
    return result


def check_unchanged(before, after, what):
    changed = sorted(p for p in set(before) | set(after) if before.get(p) != after.get(p))
    e2e.check(not changed, "%s changed: %r" % (what, changed[:5]))


def need_root():
    if os.geteuid() != 0:
        e2e.skip("needs root to give files to another owner")


def lchown_nobody(*paths):
    for path in paths:
        os.lchown(path, 65534, 65534)


def refused_count(notice):
    m = REFUSED.search(notice)
    return int(m.group(1)) if m else 0


def start_paused(program, points, *args):
    cmd = [program.cli, "--program-folder", program.folder, "--quiet"]
    for point in points:
        cmd += ["--test-pause", point]
    return subprocess.Popen(cmd + list(args), stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE)


def wait_paused(proc, point, limit=120):
    """Reads the run's standard error until it says it paused at point; fails after limit
    seconds (a bound for a broken run, not a timing the test relies on)."""
    want, seen, fd = ("paused at " + point).encode(), b"", proc.stderr.fileno()
    while want not in seen:
        ready, _, _ = select.select([fd], [], [], limit)
        chunk = os.read(fd, 4096) if ready else b""
        if not chunk:
            proc.kill()
            proc.wait()
            e2e.fail("the run did not pause at %s: %r" % (point, seen))
        seen += chunk


def release(proc):
    proc.stdin.write(b"\n")
    proc.stdin.flush()


def finish(proc, limit=120):
    try:
        out, err = proc.communicate(timeout=limit)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.communicate()
        e2e.fail("the run hung after its pauses")
    return proc.returncode, out.decode("utf-8", "replace"), err.decode("utf-8", "replace")


def case_outside(tmp):
    """Links, planted under our names or as entries, never let a run write, read, delete or
    publish anything outside the tree; an operator's own link to a second disk is still
    published."""
    need_root()
    os.umask(0o022)
    program, tree = setup(tmp, new_mark="NEW", update_mark="UPD", show_new=True, show_update=True)
    home = tmp + "/home/"
    os.makedirs(home + ".ssh")
    for name, text in ((".ssh/authorized_keys", "ssh-ed25519 AAAAoperator op@host\n"),
                       (".bashrc", "export PATH=/usr/bin\n")):
        with open(home + name, "w") as f:
            f.write(text)
        os.chmod(home + name, 0o600)
    disk2 = tmp + "/disk2/"
    os.makedirs(disk2 + "music/sub")
    e2e.write_mp3(disk2 + "music/track.mp3", e2e.id3v1_block(b"Second disk"))
    with open(tmp + "/decoy.txt", "w") as f:
        f.write("decoy")
    for d in ("a", "b", "c", "d"):
        os.makedirs(tree + d)
    e2e.write_mp3(tree + "song.mp3", e2e.id3v1_block(b"Song"))
    # A first run creates the templates and saves the set as the attacked run will.
    rc, out, err = program.run("--root", tree, "--url", "/files/")
    e2e.check(rc == 0, "first run: %d %s %s" % (rc, out, err))

    with open(tree + "a/line\nssh-ed25519 AAAAattacker evil@x", "w") as f:
        f.write("x")
    plants = {  # link name in the tree -> what it leads to
        "index.htm": home + ".bashrc",
        "a/index.htm.csv": home + ".ssh/authorized_keys",
        "b/index.htm": program.folder + "/VELDRA-Head-htm.txt",
        "b/index.htm.csv": program.ini_path(),
        "c/index.htm": program.folder + "/VELDRA.gnr",
        "home": home,                                   # refused: another owner, outside
        "prog": program.folder,                         # refused
        "keys.mp3": home + ".ssh/authorized_keys",      # refused
        "a/.index.htm.csv.tmp-zz99zz99": tmp + "/decoy.txt",  # refused, and never removed
        "inside.mp3": tree + "song.mp3",                # allowed: inside the root
    }
    for name, target in plants.items():
        if os.path.lexists(tree + name):
            os.remove(tree + name)
        os.symlink(target, tree + name)
    with open(tree + "a/.index.htm.tmp-abcd1234", "w") as f:  # a user's look-alike
        f.write("mine")
    with open(tree + "d/index.htm", "w") as f:
        f.write("planted")
    os.chmod(tree + "d/index.htm", 0)
    chown_tree(tree, 65534, 65534)
    os.lchown(tree, 0, 0)
    os.lchown(tree + "c/index.htm", 0, 0)  # the operator's own link: still never written through
    os.symlink(disk2 + "music", tree + "disk2")  # the operator's link to a second disk

    outside_skip = {p.encode() for p in (tree[:-1], disk2 + "music/" + e2e.PAGE,
                                         disk2 + "music/" + e2e.PAGE + ".csv",
                                         disk2 + "music/sub/" + e2e.PAGE,
                                         disk2 + "music/sub/" + e2e.PAGE + ".csv")}
    before = content_fingerprint(tmp, outside_skip)
    rc, out, err = program.run("--root", tree, "--url", "/files/", timeout=120)
    e2e.check(rc == 0, "exit %d\n%s%s" % (rc, out, err))
    check_unchanged(before, content_fingerprint(tmp, outside_skip), "files outside the tree")
    e2e.check(refused_count(out) == 4, "notice does not count 4 refused links:\n" + out)
    e2e.check("/home" in out and "keys.mp3" in out, "refused links not named:\n" + out)
    for name in ("index.htm", "a/index.htm.csv", "b/index.htm", "b/index.htm.csv", "c/index.htm"):
        st = os.lstat(tree + name)
        e2e.check(stat.S_ISREG(st.st_mode), name + " is still not a regular file")
        e2e.check(stat.S_IMODE(st.st_mode) == 0o644, "%s has mode %o" % (name, st.st_mode))
    e2e.check(stat.S_IMODE(os.stat(tree + "d/index.htm").st_mode) == 0o644,
              "a planted page of mode 000 kept its mode")
    e2e.check(os.path.exists(tree + "a/.index.htm.tmp-abcd1234"), "a user's look-alike removed")
    e2e.check(os.path.islink(tree + "a/.index.htm.csv.tmp-zz99zz99"), "a planted link removed")
    rows = "".join(l for l in e2e.read_page(tree + e2e.PAGE) if l.startswith("<TR>"))
    for name in ("inside.mp3", ">disk2<", "song.mp3"):
        e2e.check(name in rows, "no row for " + name)
    for name in ("keys.mp3", ">home<", ">prog<"):
        e2e.check(name not in rows, "refused link listed: " + name)
    a_rows = "".join(e2e.read_page(tree + "a/" + e2e.PAGE))
    e2e.check(".index.htm.tmp-abcd1234" in a_rows, "the look-alike is not listed")
    # The second disk is published like any folder of the tree.
    for folder in ("music/", "music/sub/"):
        e2e.check(e2e.page_is_complete(e2e.read_page(disk2 + folder + e2e.PAGE)),
                  "second disk not published: " + folder)
    e2e.check("Second disk" in "".join(e2e.read_page(disk2 + "music/" + e2e.PAGE)),
              "second disk's tags missing")
    print("outside: nothing outside changed; 4 links refused; planted links replaced; notice:\n"
          + out)


def case_special_files(tmp):
    """FIFOs, devices and a sparse 8 GiB file under our names or as songs neither hang nor
    abort the run; a folder holding the page name is never removed."""
    program, tree = setup(tmp, new_mark="NEW", show_new=True)
    for d in ("fifo", "zero", "sparse", "songs", "folder"):
        os.makedirs(tree + d)
    os.mkfifo(tree + "fifo/" + e2e.PAGE + ".csv")
    os.symlink("/dev/zero", tree + "zero/" + e2e.PAGE + ".csv")
    with open(tree + "sparse/" + e2e.PAGE + ".csv", "wb") as f:
        f.truncate(8 << 30)
    os.mkfifo(tree + "songs/pipe.mp3")
    os.symlink("/dev/zero", tree + "songs/zero.mp3")
    os.makedirs(tree + "folder/" + e2e.PAGE + "/inner")
    with open(tree + "folder/" + e2e.PAGE + "/inner/keep.txt", "w") as f:
        f.write("keep")
    rc, out, err = program.run("--root", tree, "--url", "/files/", timeout=120)
    e2e.check(rc == 1, "exit %d (one folder holds the page name)\n%s%s" % (rc, out, err))
    e2e.check(out.startswith("★終わったよ★") and "folder/" in out, "notice:\n" + out)
    e2e.check(written_count(out) == 7, "pages: " + out)  # folder/ alone has none
    for d in ("fifo", "zero", "sparse"):
        st = os.lstat(tree + d + "/" + e2e.PAGE + ".csv")
        e2e.check(stat.S_ISREG(st.st_mode) and st.st_size < 4096, d + ": snapshot not replaced")
    e2e.check(stat.S_ISCHR(os.stat("/dev/zero").st_mode), "/dev/zero harmed")
    e2e.check(open(tree + "folder/" + e2e.PAGE + "/inner/keep.txt").read() == "keep",
              "the folder holding the page name was harmed")
    rows = "".join(e2e.read_page(tree + "songs/" + e2e.PAGE))
    e2e.check("pipe.mp3" in rows and "zero.mp3" in rows, "special files not listed")
    print("special_files: FIFO, /dev/zero and 8 GiB snapshots; notice:\n" + out)


def case_dag(tmp):
    """Folders linking twice each to the next: every folder walked once, one page each, and in
    gathered mode the link rows open the gathered page of the folder they lead to."""
    program, tree = setup(tmp)
    for i in range(11):
        os.makedirs(tree + "f%02d" % i)
    for i in range(10):
        for link in ("x", "y"):
            os.symlink("../f%02d" % (i + 1), tree + "f%02d/%s" % (i, link))
    out = run_checked(program, tree, timeout=120)
    e2e.check(written_count(out) == 12, "pages: " + out)
    e2e.check(len(pages_in(tree)) == 12, "pages found: %d" % len(pages_in(tree)))

    out_dir = tmp + "/out/"
    os.makedirs(out_dir)
    program.write_set(output_folder=out_dir, output_url="/pages/")
    out = run_checked(program, tree, timeout=120)
    e2e.check(GATHERED.search(out) and GATHERED.search(out).group(1) == "12", "gathered: " + out)
    e2e.check("行き先のページがない" not in out, "link rows left unmapped:\n" + out)
    names = sorted(os.listdir(out_dir))
    e2e.check(len(names) == 12, "gathered pages: %r" % names)
    by_title = {}
    for name in names:
        lines = e2e.read_page(out_dir + name)
        e2e.check(e2e.page_is_complete(lines, gathered=True), "incomplete: " + name)
        for href in e2e.hrefs(lines):
            if href.startswith("/pages/"):
                e2e.check(href[len("/pages/"):] in names, "%s links a missing page %s" %
                          (name, href))
        title = [l for l in lines if l.startswith("List of")][0]
        by_title[title] = lines
    for i in range(10):
        lines = by_title['List of <FONT SIZE="+2">/files/f%02d/</FONT><BR>' % i]
        target = [h for l in lines if ">f%02d<" % (i + 1) in l or ">x<" in l or ">y<" in l
                  for h in e2e.hrefs([l])]
        e2e.check(len(target) == 2 and target[0] == target[1], "f%02d: %r" % (i, target))
        nxt = e2e.read_page(out_dir + target[0][len("/pages/"):])
        e2e.check('List of <FONT SIZE="+2">/files/f%02d/</FONT><BR>' % (i + 1) in nxt,
                  "f%02d's link rows open another page" % i)
    print("dag: 11 folders, 20 links, 12 pages; link rows open the gathered page they lead to")


def case_gather_races(tmp):
    """The gathering pass publishes only pages the run wrote, never writes through a name
    planted after its deletion step, never hangs on a FIFO, deletes only names it writes, and a
    pass killed half-way leaves the previous site whole."""
    out_dir = tmp + "/out/"
    os.makedirs(out_dir)
    program, tree = setup(tmp, output_folder=out_dir, output_url="/pages/")
    for d in ("a", "b", "c"):
        os.makedirs(tree + d)
        e2e.write_mp3(tree + d + "/song.mp3")
    user_files = {"index1.htm": "mine", "INDEX2019.HTM": "mine too", "index-notes.htm": "notes",
                  "index0001.htm": "four digits"}
    for name, text in user_files.items():
        with open(out_dir + name, "w") as f:
            f.write(text)
    with open(tmp + "/decoy.txt", "w") as f:
        f.write("decoy")
    args = ("--root", tree, "--url", "/files/")
    rc, out, err = program.run(*args)
    e2e.check(rc == 0 and GATHERED.search(out).group(1) == "4", "first run:\n" + out + err)
    numbered = ["index%05d.htm" % i for i in range(4)]  # root, a, b, c

    # Pages swapped between the walk and the pass, and names planted after the deletion step.
    proc = start_paused(program, ("walk-done", "gather-deleted"), *args)
    wait_paused(proc, "walk-done")
    evil = ("<HTML>\r\n<!--AA_TAG_START-->\r\n<!--AA_TAG_END-->\r\n<!--AA_TAG_DIRtoFILE-->\r\n"
            "<script>evil()</script>\r\n</TABLE>\r\n<HR>\r\n</BODY>\r\n</HTML>\r\n")
    with open(tree + "a/swap.tmp", "w") as f:
        f.write(evil)
    os.rename(tree + "a/swap.tmp", tree + "a/" + e2e.PAGE)
    os.remove(tree + "b/" + e2e.PAGE)
    os.mkfifo(tree + "b/" + e2e.PAGE)
    # c swapped for a link to a folder outside holding a page of its own.
    os.makedirs(tmp + "/elsewhere")
    with open(tmp + "/elsewhere/" + e2e.PAGE, "w") as f:
        f.write(evil.replace("evil()", "OUTSIDE"))
    os.rename(tree + "c", tree + "c-moved")
    os.symlink(tmp + "/elsewhere", tree + "c")
    outside_before = content_fingerprint(tmp + "/elsewhere")
    release(proc)
    wait_paused(proc, "gather-deleted")
    os.remove(out_dir + numbered[3])
    os.symlink(tmp + "/decoy.txt", out_dir + numbered[3])
    release(proc)
    rc, out, err = finish(proc)
    e2e.check(rc == 1, "exit %d\n%s%s" % (rc, out, err))
    e2e.check(open(tmp + "/decoy.txt").read() == "decoy", "written through a planted link")
    check_unchanged(outside_before, content_fingerprint(tmp + "/elsewhere"),
                    "the folder a swapped-in link leads to")
    e2e.check(not os.path.islink(out_dir + numbered[3]), "the planted link is still there")
    e2e.check(e2e.page_is_complete(e2e.read_page(out_dir + numbered[3]), gathered=True),
              "c's gathered page is not whole")
    e2e.check("差し替えられた" in out and "a/" in out and "b/" in out, "notice:\n" + out)
    for name in os.listdir(out_dir):
        data = open(out_dir + name, "rb").read()
        e2e.check(b"evil()" not in data and b"OUTSIDE" not in data, "swapped page published")
    e2e.check(open(tree + "a/" + e2e.PAGE).read() == evil.replace("\r\n", "\n"),
              "the swapped page was not left where it is")
    for name, text in user_files.items():
        e2e.check(open(out_dir + name).read() == text, "user file harmed: " + name)

    # A pass killed after choosing what to delete leaves the previous site whole.
    os.remove(tree + "c")
    os.rename(tree + "c-moved", tree + "c")
    os.remove(tree + "b/" + e2e.PAGE)
    os.remove(tree + "a/" + e2e.PAGE)
    rc, out, err = program.run(*args)
    e2e.check(rc == 0, "clean run:\n" + out + err)
    site = {n: open(out_dir + n, "rb").read() for n in numbered}
    proc = start_paused(program, ("gather-deleted",), *args)
    wait_paused(proc, "gather-deleted")
    proc.kill()
    proc.communicate()
    for name in numbered:
        e2e.check(open(out_dir + name, "rb").read() == site[name], "killed pass lost " + name)

    # Numbers no longer used are deleted after the new pages are in place; user files stay.
    shutil.rmtree(tree + "c")
    rc, out, err = program.run(*args)
    e2e.check(rc == 0 and GATHERED.search(out).group(1) == "3", "after removing c:\n" + out)
    e2e.check(not os.path.exists(out_dir + numbered[3]), "unused number kept")
    for name, text in user_files.items():
        e2e.check(open(out_dir + name).read() == text, "user file harmed: " + name)
    print("gather_races: swapped pages and FIFO not gathered, planted link replaced, "
          "killed pass kept the site, user files kept")


CASES = {
    "leftovers": case_leftovers,
    "names": case_names, "big_folder": case_big_folder, "deep": case_deep, "links": case_links,
    "sparse": case_sparse, "damaged_snapshots": case_damaged_snapshots,
    "damaged_sets": case_damaged_sets, "unwritable": case_unwritable,
    "output_missing": case_output_missing, "outside": case_outside,
    "special_files": case_special_files, "dag": case_dag, "gather_races": case_gather_races,
}


def main():
    e2e.run_cases(CASES)


if __name__ == "__main__":
    main()
