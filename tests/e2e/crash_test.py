#!/usr/bin/env python3
"""Crash safety: runs VELDRA-cli over a generated tree and SIGKILLs it at random moments, many
times. After every kill each page, snapshot and the set file must be a complete old or new
version (never truncated or mixed); temporary files a killed run leaves must not pile up nor show
up in pages; a last run to completion must give the right marks.

    crash_test.py PATH-TO-VELDRA-cli [--kills N] [--folders N] [--files N] [--seed N]"""
import argparse
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_lib as e2e  # noqa: E402

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
INI_KEYS = (["TEXT1(%d)" % i for i in range(13)] + ["Check1(%d)" % i for i in range(3)] +
            ["Check2", "DIR(0)", "URL(0)", "LIST1", "LIST2"])
TEMP_NAME = re.compile(r"^\..*\.tmp-")


def generate_tree(root, folders, files, seed):
    gen = os.path.join(REPO, "bench", "gen_tree.py")
    if os.path.exists(gen):
        subprocess.run([sys.executable, gen, "--folders", str(folders), "--files", str(files),
                        "--depth", "3", "--seed", str(seed), root], check=True,
                       capture_output=True)
        return
    rnd = random.Random(seed)
    paths = [root]
    for i in range(folders):
        p = os.path.join(rnd.choice(paths), "d%03d ソ" % i)
        os.makedirs(p)
        paths.append(p)
    for i in range(files):
        e2e.write_mp3(os.path.join(rnd.choice(paths), "f%05d 表.mp3" % i),
                      e2e.id3v1_block(b"t%d" % i, track=i % 200 + 1))


def check_state(tree, ini_path):
    """Checks every page, snapshot and the set file; returns (pages, temporary files)."""
    pages, temps = 0, []
    for dirpath, _, filenames in os.walk(tree):
        for name in filenames:
            path = os.path.join(dirpath, name)
            if TEMP_NAME.match(name):
                temps.append(path)
            elif name == e2e.PAGE:
                lines = e2e.read_page(path)
                e2e.check(e2e.page_is_complete(lines), "page cut short: " + path)
                pages += 1
            elif name == e2e.PAGE + ".csv":
                with open(path, "rb") as f:
                    e2e.check(e2e.parse_snapshot(f.read()) is not None,
                              "snapshot cut short: " + path)
    with open(ini_path, "rb") as f:
        ini = f.read().decode("cp932")
    e2e.check(ini.endswith("\r\n"), "set file cut short")
    for key in INI_KEYS:
        e2e.check("\r\n%s=" % key in "\r\n" + ini, "set file lacks " + key)
    return pages, temps


def read_snapshots(tree):
    snapshots = {}
    for dirpath, _, filenames in os.walk(tree):
        if e2e.PAGE + ".csv" in filenames:
            with open(os.path.join(dirpath, e2e.PAGE + ".csv"), "rb") as f:
                snapshots[dirpath] = e2e.parse_snapshot(f.read())
    return snapshots


def check_marks(tree, old_snapshots):
    """Each row's mark must follow from the snapshot the last complete (or killed) run left:
    NEW for an entry it lacks, UPD for one whose time or size differs. Returns the marked rows."""
    marked = 0
    for dirpath, _, filenames in os.walk(tree):
        if e2e.PAGE not in filenames:
            continue
        rows = [l for l in e2e.read_page(os.path.join(dirpath, e2e.PAGE))
                if l.startswith("<TR><TD>")]
        with open(os.path.join(dirpath, e2e.PAGE + ".csv"), "rb") as f:
            new = e2e.parse_snapshot(f.read())
        old = {(r[0], r[1].lower()): r for r in old_snapshots.get(dirpath, [])}
        e2e.check(len(rows) == len(new), "rows and snapshot differ in " + dirpath)
        for row, record in zip(rows, new):
            before = old.get((record[0], record[1].lower()))
            want = "NEW" if before is None else (
                "UPD" if before[2] != record[2] or before[3] != record[3] else "")
            got = "NEW" if "</A>NEW</TD>" in row else "UPD" if "</A>UPD</TD>" in row else ""
            e2e.check(got == want, "%s: mark %r, expected %r: %s" % (dirpath, got, want, row))
            marked += bool(got)
    return marked


def modify(tree, rnd, round_no):
    """Changes a few files: a grown file, a new file, a removed file."""
    files = []
    for dirpath, _, filenames in os.walk(tree):
        files += [os.path.join(dirpath, n) for n in filenames
                  if n.endswith((".mp3", ".MP3", ".txt")) and not n.startswith(".")]
    changed = rnd.sample(files, min(3, len(files)))
    for path in changed[:2]:
        with open(path, "ab") as f:
            f.write(b"\0" * (1024 * rnd.randint(1, 9)))
        st = os.stat(path)
        os.utime(path, (st.st_atime, st.st_mtime + 120))
    folder = os.path.dirname(rnd.choice(files))
    with open(os.path.join(folder, "new-%04d.txt" % round_no), "w") as f:
        f.write("n")
    if len(changed) > 2:
        os.remove(changed[2])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("cli")
    parser.add_argument("--kills", type=int, default=200)
    parser.add_argument("--folders", type=int, default=60)
    parser.add_argument("--files", type=int, default=1200)
    parser.add_argument("--seed", type=int, default=7)
    args = parser.parse_args()
    rnd = random.Random(args.seed)
    tmp = e2e.make_temp("veldra-crash-")
    try:
        tree = os.path.join(tmp, "tree") + "/"
        generate_tree(tree, args.folders, args.files, args.seed)
        program = e2e.Program(os.path.abspath(args.cli), os.path.join(tmp, "program"))
        program.write_set(root=tree, url="/files/", new_mark="NEW", update_mark="UPD",
                          show_new=True, show_update=True)
        rc, out, err = program.run()
        e2e.check(rc == 0, "first run failed: " + out + err)
        # Kill times spread over a run that rewrites every page, as each killed run does.
        started = time.monotonic()
        program.run()
        full = time.monotonic() - started
        folders, _ = check_state(tree, program.ini_path())

        kills, finished, most_temps = 0, 0, 0
        round_no = 0
        while kills < args.kills:
            round_no += 1
            modify(tree, rnd, round_no)
            proc = program.start()
            time.sleep(rnd.uniform(0, full))
            if proc.poll() is None:
                proc.send_signal(signal.SIGKILL)
                kills += 1
            else:
                finished += 1
            proc.wait()
            pages, temps = check_state(tree, program.ini_path())
            most_temps = max(most_temps, len(temps))

        # The last run completes: every folder has its page, leftovers are gone or at least not
        # listed, and the marks tell what changed since the previous complete run.
        modify(tree, rnd, round_no + 1)
        old_snapshots = read_snapshots(tree)
        rc, out, err = program.run()
        e2e.check(rc == 0, "final run failed: " + out + err)
        pages, temps = check_state(tree, program.ini_path())
        e2e.check(pages == folders, "%d pages for %d folders" % (pages, folders))
        listed = []
        for dirpath, _, filenames in os.walk(tree):
            if e2e.PAGE in filenames:
                for line in e2e.read_page(os.path.join(dirpath, e2e.PAGE)):
                    if re.search(r">\.[^<]*\.tmp-[^<]*</A>", line):
                        listed.append(line)
        marks = check_marks(tree, old_snapshots)
        set_temps = [n for n in os.listdir(program.folder) if TEMP_NAME.match(n)]
        print("crash: set-file temporary files left in the program folder: %d" % len(set_temps))
        print("crash: %d SIGKILLs survived (%d runs finished before the kill), full run %.2fs, "
              "%d folders; temporary files left: %d at most after a kill, %d after the final run,"
              " %d listed as rows; %d marked rows in the final run" %
              (kills, finished, full, folders, most_temps, len(temps), len(listed), marks))
        e2e.check(not listed, "temporary files listed in pages, e.g. " +
                  (listed[0] if listed else ""))
        e2e.check(not temps, "temporary files left after a complete run: %d" % len(temps))
        e2e.check(marks >= 3, "the final run marked only %d rows" % marks)
    finally:
        shutil.rmtree(tmp, ignore_errors=True)
    print("PASS")


if __name__ == "__main__":
    main()
