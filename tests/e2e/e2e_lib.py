"""Shared helpers of the end-to-end tests: a program folder with a set file, runs of the built
VELDRA-cli, reading pages and snapshots back, a real nginx, and file-tree fingerprints.

Standard library only. A test that lacks a tool calls skip(), which exits with SKIP_CODE so that
CTest reports it as skipped."""
import contextlib
import hashlib
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.request

SKIP_CODE = 77
PAGE = "index.htm"
FOOTER_END = ["<HR>", "</BODY>", "</HTML>"]

DEFAULT_COLUMNS = ["FILE SIZE", "TIME STAMP", "ID3-TITLE", "ID3-ARTIST", "ID3-ALBUM",
                   "ID3-COMMENT", "ID3-YEAR", "ID3-GENRE"]


def skip(reason):
    print("SKIP: " + reason)
    sys.exit(SKIP_CODE)


def need_tool(name):
    path = shutil.which(name) or (os.path.exists("/usr/sbin/" + name) and "/usr/sbin/" + name)
    if not path:
        skip(name + " is not installed (scripts/install-deps.sh e2e)")
    return path


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def check(condition, message):
    if not condition:
        fail(message)


def cli_path():
    if len(sys.argv) < 2 or not os.path.exists(sys.argv[1]):
        print("usage: %s PATH-TO-VELDRA-cli [case...]" % sys.argv[0])
        sys.exit(64)
    return os.path.abspath(sys.argv[1])


def make_temp(prefix="veldra-e2e-"):
    path = tempfile.mkdtemp(prefix=prefix)
    os.chmod(path, 0o755)  # a non-root helper (nginx worker, nobody) may need to look inside
    return path


def run_cases(cases):
    """Runs the cases named on the command line after the program (all when none or "all"),
    each in a scratch folder of its own that is removed afterwards, and prints PASS."""
    cli_path()
    names = sys.argv[2:] or ["all"]
    if names == ["all"]:
        names = list(cases)
    for name in names:
        tmp = make_temp()
        # Each case has a tag cache of its own (outside the trees it publishes), removed after.
        cache_home = tempfile.mkdtemp(prefix="veldra-e2e-cache-")
        os.environ["XDG_CACHE_HOME"] = cache_home
        try:
            cases[name](tmp)
        finally:
            shutil.rmtree(cache_home, ignore_errors=True)
            # A case may leave folders without permissions behind; make them removable first.
            subprocess.run(["chmod", "-R", "u+rwx", tmp], capture_output=True)
            shutil.rmtree(tmp, ignore_errors=True)
    print("PASS")


class Program:
    """A program folder beside a copy of the genre file, holding set files; runs VELDRA-cli."""

    def __init__(self, cli, folder):
        self.cli = cli
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        shutil.copy(os.path.join(os.path.dirname(cli), "VELDRA.gnr"), folder)

    def write_set(self, name="VELDRA", root="", url="", output_folder="", output_url="",
                  new_mark="", update_mark="", show_new=False, show_update=False,
                  columns=None, hide_extension=False, process_id3=True, extra=None):
        columns = DEFAULT_COLUMNS if columns is None else columns
        keys = [
            ("TEXT1(0)", "<TABLE border=1 cellspacing=0 cellpadding=3>"),
            ("TEXT1(1)", "(DIR)"), ("TEXT1(2)", ""), ("TEXT1(3)", ""), ("TEXT1(4)", ""),
            ("TEXT1(5)", PAGE), ("TEXT1(6)", "<HR>"), ("TEXT1(7)", new_mark),
            ("TEXT1(8)", update_mark), ("TEXT1(9)", output_folder), ("TEXT1(10)", output_url),
            ("TEXT1(11)", name + "-Head-htm.txt"), ("TEXT1(12)", name + "-Foot-htm.txt"),
            ("Check1(0)", "TRUE" if hide_extension else "FALSE"),
            ("Check1(1)", "TRUE" if show_new else "FALSE"),
            ("Check1(2)", "TRUE" if show_update else "FALSE"),
            ("Check2", "TRUE" if process_id3 else "FALSE"),
            ("DIR(0)", root), ("URL(0)", url),
            ("LIST1", "" if "ID3-TRACK" in columns else "ID3-TRACK@"),
            ("LIST2", "".join(c + "@" for c in columns)),
        ]
        if extra:
            keys += list(extra.items())
        text = "[MAIN]\r\n" + "".join("%s=%s\r\n" % kv for kv in keys)
        with open(self.ini_path(name), "wb") as f:
            f.write(text.encode("cp932", errors="xmlcharrefreplace"))

    def ini_path(self, name="VELDRA"):
        return os.path.join(self.folder, name + ".ini")

    def run(self, *args, set_name=None, timeout=600, env=None, as_user=None):
        cmd = [self.cli, "--program-folder", self.folder, "--quiet"]
        if set_name:
            cmd += ["--set", set_name]
        cmd += list(args)
        if as_user:
            cmd = ["setpriv", "--reuid=" + as_user, "--regid=nogroup", "--clear-groups"] + cmd
        proc = subprocess.run(cmd, capture_output=True, timeout=timeout, env=env)
        return proc.returncode, proc.stdout.decode("utf-8", "replace"), \
            proc.stderr.decode("utf-8", "replace")

    def start(self, *args, set_name=None):
        cmd = [self.cli, "--program-folder", self.folder, "--quiet"]
        if set_name:
            cmd += ["--set", set_name]
        return subprocess.Popen(cmd + list(args), stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE)


def read_page(path):
    """The lines of a page, decoded from CP932 (numeric references left as they are)."""
    with open(path, "rb") as f:
        data = f.read()
    check(data.endswith(b"\r\n"), "page does not end with CR LF: " + path)
    return data.decode("cp932").split("\r\n")[:-1]


def page_is_complete(lines, gathered=False):
    """A page as the run writes it: the head markers, the rows marker, the table end, the footer."""
    if lines[-3:] != FOOTER_END or "</TABLE>" not in lines:
        return False
    if gathered:
        return "<!--AA_TAG_START-->" not in lines
    return ("<!--AA_TAG_START-->" in lines and "<!--AA_TAG_END-->" in lines and
            "<!--AA_TAG_DIRtoFILE-->" in lines)


SNAPSHOT_FIELD = r'"(?:[^"]|"")*"'
SNAPSHOT_RECORD = re.compile(r'(%s),(%s),(%s),(%s)\r\n' % ((SNAPSHOT_FIELD,) * 4), re.S)


def parse_snapshot(data):
    """Records of a snapshot's bytes, or None when the bytes are not whole records."""
    text = data.decode("cp932", errors="strict")
    records, pos = [], 0
    while pos < len(text):
        m = SNAPSHOT_RECORD.match(text, pos)
        if not m:
            return None
        records.append(tuple(g[1:-1].replace('""', '"') for g in m.groups()))
        pos = m.end()
    return records


def hrefs(lines):
    return [h for line in lines for h in re.findall(r'<A HREF="([^"]*)"', line)]


def tree_fingerprint(root, skip_names=(PAGE, PAGE + ".csv"), skip_dirs=()):
    """Maps every path below root (except pages and snapshots) to its type, size, mode and hash."""
    result = {}
    for dirpath, dirnames, filenames in os.walk(root.encode(), followlinks=False):
        dirnames[:] = [d for d in dirnames
                       if os.path.join(dirpath, d).decode(errors="surrogateescape")
                       not in skip_dirs]
        for name in dirnames + filenames:
            path = os.path.join(dirpath, name)
            if name.decode(errors="surrogateescape") in skip_names:
                continue
            st = os.lstat(path)
            digest = ""
            if os.path.isfile(path) and not os.path.islink(path) and st.st_size < (1 << 24):
                with open(path, "rb") as f:
                    digest = hashlib.sha1(f.read()).hexdigest()
            elif os.path.islink(path):
                digest = os.readlink(path).hex()
            result[path] = (st.st_mode, st.st_size if not os.path.isdir(path) else 0,
                            int(st.st_mtime), digest)
    return result


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


@contextlib.contextmanager
def nginx(locations, workdir):
    """Runs nginx in the foreground as the current user, serving each URL prefix from its folder
    (both ending with '/'), and yields its base URL. Stopped at the end."""
    binary = need_tool("nginx")
    port = free_port()
    for d in ("tmp", "logs"):
        os.makedirs(os.path.join(workdir, d), exist_ok=True)
    loc = "".join("    location %s { alias %s; }\n" % (prefix, folder)
                  for prefix, folder in locations.items())
    conf = """daemon off;
master_process off;
worker_processes 1;
pid {w}/nginx.pid;
error_log {w}/logs/error.log warn;
events {{ worker_connections 64; }}
http {{
  types {{ text/html htm html; audio/mpeg mp3; text/plain txt; }}
  default_type application/octet-stream;
  charset off;
  access_log {w}/logs/access.log;
  client_body_temp_path {w}/tmp/body;
  proxy_temp_path {w}/tmp/proxy;
  fastcgi_temp_path {w}/tmp/fastcgi;
  uwsgi_temp_path {w}/tmp/uwsgi;
  scgi_temp_path {w}/tmp/scgi;
  server {{
    listen 127.0.0.1:{port};
{loc}  }}
}}
""".format(w=workdir, port=port, loc=loc)
    conf_path = os.path.join(workdir, "nginx.conf")
    with open(conf_path, "w") as f:
        f.write(conf)
    proc = subprocess.Popen([binary, "-p", workdir, "-e", os.path.join(workdir, "logs/error.log"),
                             "-c", conf_path], stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE)
    base = "http://127.0.0.1:%d" % port
    try:
        for _ in range(100):
            if proc.poll() is not None:
                fail("nginx did not start: " + proc.stderr.read().decode(errors="replace"))
            try:
                with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                    break
            except OSError:
                time.sleep(0.05)
        yield base
    finally:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def fetch(url):
    with urllib.request.urlopen(url, timeout=20) as r:
        return r.status, r.headers, r.read()


# ID3v1 helpers: blocks written the way the format lays them out.
def id3v1_block(title=b"", artist=b"", album=b"", year=b"", comment=b"", track=None, genre=0):
    def fit(b, n):
        return (b + b"\0" * n)[:n]
    if track is not None:
        comment_bytes = fit(comment, 28) + b"\0" + bytes([track])
    else:
        comment_bytes = fit(comment, 30)
    return (b"TAG" + fit(title, 30) + fit(artist, 30) + fit(album, 30) + fit(year, 4) +
            comment_bytes + bytes([genre]))


def write_mp3(path, block=None, body=b"\xff\xfb\x90\x00" * 64):
    with open(path, "wb") as f:
        f.write(body + (block or b""))
