#!/usr/bin/env python3
"""Progress of VELDRA-cli on standard error: a bar redrawn in place under a pseudo-terminal,
nothing on a pipe (cron, the journal), plain lines on a pipe with --progress, nothing with
--quiet even on a terminal. The notice stays on standard output in every case.

    progress_test.py PATH-TO-VELDRA-cli"""
import os
import pty
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_lib as e2e  # noqa: E402

FOLDERS = 250  # sub-folders below the root: 251 pages


def run_on_terminal(cmd):
    """Runs cmd with standard error on a pseudo-terminal; returns (rc, stdout, terminal bytes)."""
    master, slave = pty.openpty()
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=slave, stdin=subprocess.DEVNULL)
    os.close(slave)
    seen = b""
    while True:
        try:
            chunk = os.read(master, 65536)
        except OSError:  # EIO: every writer of the terminal is gone
            break
        if not chunk:
            break
        seen += chunk
    out = proc.stdout.read()
    rc = proc.wait()
    os.close(master)
    return rc, out.decode("utf-8"), seen


def main():
    cli = e2e.cli_path()
    work = e2e.make_temp()
    try:
        program = os.path.join(work, "program")
        tree = os.path.join(work, "tree")
        for i in range(FOLDERS):
            os.makedirs(os.path.join(tree, "d%03d" % (i // 10), "e%d" % (i % 10)), exist_ok=True)
        e2e.Program(cli, program).write_set("demo", root=tree, url="/m/")
        base = [cli, "--program-folder", program, "--set", "demo"]
        total = 1 + FOLDERS // 10 + FOLDERS
        final = "%d/%d folders  %d pages" % (total, total, total)

        rc, out, term = run_on_terminal(base)
        e2e.check(rc == 0, "exit %d on a terminal: %r" % (rc, term[-300:]))
        e2e.check(out.startswith("★終わったよ★"), "notice not on standard output: " + out)
        text = term.decode("utf-8")
        # The terminal turns "\n" into "\r\n": strip that before looking for in-place redraws.
        text = text.replace("\r\n", "\n")
        draws = text.split("\r")[1:]
        e2e.check(len(draws) >= 2, "the bar was not redrawn in place: %r" % text[:300])
        e2e.check(all(d.startswith("[") for d in draws), "a draw is not a bar: %r" % draws[:3])
        e2e.check("\x1b[K" in text, "no clear to end of line: %r" % text[:300])
        last = draws[-1]
        e2e.check(final in last and last.endswith("\x1b[K\n"),
                  "the last draw is not the complete bar on a line of its own: %r" % last)
        e2e.check(re.search(r"pages/s  \d+:\d\d", last), "no rate or elapsed time: %r" % last)
        e2e.check("\n" not in text[:-1], "the bar scrolled instead of redrawing: %r" % text[:300])

        proc = subprocess.run(base, capture_output=True)
        e2e.check(proc.returncode == 0 and proc.stderr == b"",
                  "progress noise without a terminal: %r" % proc.stderr[:300])
        e2e.check(proc.stdout.decode().startswith("★終わったよ★"), "no notice on a pipe")

        proc = subprocess.run(base + ["--progress"], capture_output=True)
        err = proc.stderr.decode()
        e2e.check(proc.returncode == 0, "exit %d with --progress" % proc.returncode)
        e2e.check("\r" not in err and "\x1b" not in err, "control codes on a pipe: %r" % err[:300])
        lines = err.splitlines()
        e2e.check(len(lines) == total // 100 + 1 and all(l.startswith("VELDRA-cli: ") for l in lines),
                  "not one plain line per hundred pages and a last one: %r" % lines)
        e2e.check(lines[-1].startswith("VELDRA-cli: %d pages written, %d of %d folders listed"
                                       % (total, total, total)), "last line: %r" % lines[-1])

        rc, out, term = run_on_terminal(base + ["--quiet"])
        e2e.check(rc == 0 and term == b"", "--quiet printed on a terminal: %r" % term[:300])
        print("ok: bar on a terminal, nothing on a pipe, plain lines with --progress")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
