#!/usr/bin/env python3
"""Two real VELDRA-cli processes at once, and what a run prints. The first run is held at a
test-only pause point, so no case depends on timing.

    run_guard_test.py PATH-TO-VELDRA-cli CASE     (CASE: see CASES at the end; "all" runs every one)"""
import os
import re
import signal
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_lib as e2e  # noqa: E402

LOCKED = "同じ環境セットで同じフォルダを処理中のため、開始しませんでした。"


def setup(tmp, **set_keys):
    program = e2e.Program(e2e.cli_path(), os.path.join(tmp, "program"))
    tree = os.path.join(tmp, "tree") + "/"
    os.makedirs(tree + "a")
    with open(tree + "a/song.mp3", "wb") as f:
        f.write(b"x" * 200)
    program.write_set(root=tree, url="/files/", **set_keys)
    return program, tree


def start_paused(program, point, *args):
    """Starts a run that stops at point; returns it once it says so."""
    proc = subprocess.Popen([program.cli, "--program-folder", program.folder, "--quiet",
                             "--test-pause", point] + list(args),
                            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    line = proc.stderr.readline().decode("utf-8", "replace")
    e2e.check(line == "VELDRA-cli: paused at %s\n" % point, "did not pause: %r" % line)
    return proc


def release(proc):
    out, err = proc.communicate(b"\n", timeout=600)
    return proc.returncode, out.decode("utf-8", "replace"), err.decode("utf-8", "replace")


def case_lock(tmp):
    program, tree = setup(tmp)
    first = start_paused(program, "walk-started")
    try:
        # The same set over the same folders (the root named through a link): refused at once,
        # naming the run that holds it; nothing written, the set file untouched.
        os.symlink(tree, os.path.join(tmp, "via-link"))
        set_before = open(program.ini_path(), "rb").read()
        rc, out, err = program.run("--root", os.path.join(tmp, "via-link"))
        e2e.check(rc == 75, "second run: exit %d, expected 75\n%s%s" % (rc, out, err))
        e2e.check(LOCKED in err, "no lock message: " + err)
        m = re.search(r"pid (\d+) \(開始 \d{4}/\d\d/\d\d \d\d:\d\d:\d\d\)", err)
        e2e.check(m is not None and int(m.group(1)) == first.pid,
                  "holder not named (pid %d): %r" % (first.pid, err))
        e2e.check(out == "", "refused run printed a notice: " + out)
        e2e.check(open(program.ini_path(), "rb").read() == set_before, "refused run saved its set")
        # The set name matches without regard to case, as set files do.
        rc, _, err = program.run(set_name="veldra")
        e2e.check(rc == 75, "same set in other capitals: exit %d\n%s" % (rc, err))
        # Another root, or another set over the same root, is another lock.
        other = os.path.join(tmp, "other") + "/"
        os.makedirs(other)
        rc, out, err = program.run("--root", other)
        e2e.check(rc == 0, "other root: exit %d\n%s%s" % (rc, out, err))
        program.write_set(name="second", root=tree, url="/files/")
        rc, out, err = program.run(set_name="second")
        e2e.check(rc == 0, "other set: exit %d\n%s%s" % (rc, out, err))
    finally:
        rc, out, err = release(first)
    e2e.check(rc == 0, "first run: exit %d\n%s%s" % (rc, out, err))
    e2e.check(os.path.exists(tree + "a/index.htm"), "first run wrote no pages")
    rc, out, err = program.run()
    e2e.check(rc == 0, "run after the first ended: exit %d\n%s%s" % (rc, out, err))

    # A killed run leaves no lock behind (flock dies with its process).
    first = start_paused(program, "walk-done")
    first.send_signal(signal.SIGKILL)
    first.wait()
    rc, out, err = program.run()
    e2e.check(rc == 0, "run after a killed one: exit %d\n%s%s" % (rc, out, err))
    # The lock files are in the program folder only: nothing new in the tree.
    locks = [n for n in os.listdir(program.folder) if n.endswith(".lock")]
    e2e.check(len(locks) >= 1, "no lock file in the program folder")
    for dirpath, _, names in os.walk(tree):
        e2e.check(not any(n.endswith(".lock") for n in names), "lock file in the tree: " + dirpath)
    print("lock: second run refused with 75 naming the first; other roots and sets run; "
          "a killed run releases it")


def control_bytes(data):
    """Control characters a terminal would act on: C0 but LF, DEL, C1 in UTF-8, lone C1 bytes."""
    text = data.decode("utf-8", "surrogateescape")
    return [c for c in text if (ord(c) < 0x20 and c != "\n") or 0x7F <= ord(c) <= 0x9F
            or 0xDC80 <= ord(c) <= 0xDCFF]


def case_escapes(tmp):
    program, tree = setup(tmp)
    # A folder whose page cannot be written (a folder holds the page's name), named to retitle
    # and clear the operator's terminal, with C1 CSI both in UTF-8 and as a lone byte.
    name = b"x\x1b]0;owned\x07\x1b[2J\x1b[31m\xc2\x9b1m\x9bq\r\x7f"
    bad = tree.encode() + name + b"/"
    os.makedirs(bad + b"index.htm")
    proc = subprocess.run([program.cli, "--program-folder", program.folder, "--quiet"],
                          capture_output=True, timeout=600)
    e2e.check(proc.returncode == 1, "exit %d\n%r" % (proc.returncode, proc.stderr))
    e2e.check(b"\xef\xbf\xbd]0;owned" in proc.stdout, "folder not named in the notice: %r"
              % proc.stdout)
    e2e.check(not control_bytes(proc.stdout), "raw controls on stdout: %r" % proc.stdout)
    e2e.check(not control_bytes(proc.stderr), "raw controls on stderr: %r" % proc.stderr)
    # Arguments echoed in a usage error are cleaned as well.
    proc = subprocess.run([program.cli, "--\x1b[2J\x07"], capture_output=True, timeout=60)
    e2e.check(proc.returncode == 64, "usage: exit %d" % proc.returncode)
    e2e.check(b"\xef\xbf\xbd[2J" in proc.stderr, "option not echoed: %r" % proc.stderr)
    e2e.check(not control_bytes(proc.stderr), "raw controls on stderr: %r" % proc.stderr)
    print("escapes: a folder name with terminal escapes reaches the notice with U+FFFD for each "
          "control")


CASES = {"lock": case_lock, "escapes": case_escapes}


def main():
    e2e.run_cases(CASES)


if __name__ == "__main__":
    main()
