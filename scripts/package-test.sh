#!/usr/bin/env bash
# End-to-end test of the Debian package on a throwaway machine, as root (scripts/test.sh runs it
# only when CI=true): builds the package from a clean copy of this tree, runs lintian, installs
# it with dpkg -i, checks the manual pages, desktop entry, metainfo, systemd units and bash
# completion, publishes a tree as an unprivileged user whose sets land in ~/.config/veldra/,
# then removes the package with dpkg -r and checks that none of its files are left.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
  echo "package-test: must run as root (it installs and removes a package)" >&2
  exit 77
fi
if dpkg-query -W -f='${Status}' veldra 2>/dev/null | grep -q 'install ok installed'; then
  echo "package-test: veldra is installed already; remove it first" >&2
  exit 1
fi
scripts/install-deps.sh package

work=$(mktemp -d)
user=veldra-pkgtest
installed=0
cleanup() {
  [ "$installed" = 1 ] && dpkg -r veldra >/dev/null 2>&1
  id "$user" >/dev/null 2>&1 && userdel -r "$user" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
step() { printf '\n== %s\n' "$*"; }
fail() { echo "package-test: FAIL: $*" >&2; exit 1; }

step "build from a clean tree"
# The files git knows (committed or not), none of the build folders.
mkdir "$work/src"
git ls-files -z --cached --others --exclude-standard |
  tar --null --ignore-failed-read -T - -cf - 2>/dev/null | tar -xf - -C "$work/src"
deb=$("$work/src/scripts/make-deb.sh" "$work/out" | tail -n 1)
[ -f "$deb" ] || fail "no package built"
echo "$deb"

step "lintian"
lintian -I "$deb" 2>&1 | grep -v 'root privileges' || true
lintian --fail-on error,warning "$deb" >/dev/null 2>&1 || fail "lintian reports errors or warnings"

step "dpkg -i"
dpkg -i "$deb"
installed=1
mapfile -t files < <(dpkg -L veldra | while read -r f; do [ -d "$f" ] || echo "$f"; done)

step "programs"
veldra-cli --help | grep -q -- '--list-sets' || fail "veldra-cli --help"
veldra-cli --version
for program in /usr/lib/veldra/VELDRA /usr/lib/veldra/VELDRA-cli; do
  if ldd "$program" | grep 'not found'; then fail "$program lacks a library"; fi
done
[ "$(readlink -f /usr/bin/veldra)" = /usr/lib/veldra/VELDRA ] || fail "/usr/bin/veldra"

step "manual pages"
man -w veldra-cli
man -w veldra
man -P cat veldra-cli 2>/dev/null | grep -q 'loginctl enable-linger' || fail "veldra-cli(1) text"

step "desktop-file-validate"
desktop-file-validate /usr/share/applications/veldra.desktop
step "appstreamcli validate --no-net"
appstreamcli validate --no-net /usr/share/metainfo/org.veldra.Veldra.metainfo.xml

step "systemd-analyze verify"
name='夜の 音楽'
instance=$(systemd-escape "$name")
[ "$(systemd-escape -u "$instance")" = "$name" ] || fail "systemd-escape does not round-trip"
mkdir "$work/units"
for kind in service timer; do
  cp "/usr/lib/systemd/user/veldra-cli@.$kind" "$work/units/veldra-cli@music.$kind"
  cp "/usr/lib/systemd/user/veldra-cli@.$kind" "$work/units/veldra-cli@$instance.$kind"
done
(cd "$work/units" && systemd-analyze verify ./*.service ./*.timer) || fail "systemd-analyze verify"
echo "units accepted"
grep -q '^ExecStart=/usr/bin/veldra-cli --set %I$' /usr/lib/systemd/user/veldra-cli@.service ||
  fail "ExecStart"

step "a run as an unprivileged user"
# A user left by a killed earlier run goes first, with its home folder.
if id "$user" >/dev/null 2>&1; then userdel -r "$user" >/dev/null 2>&1 || true; fi
useradd --create-home --shell /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
as_user() {
  setpriv --reuid="$user" --regid="$user" --init-groups \
    env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"
}
before=$(ls -la /usr/lib/veldra)
as_user mkdir -p "$home/music/a/b"
as_user sh -c "printf 'x%.0s' \$(seq 200) > '$home/music/a/song.mp3'"
# The timer's service runs "veldra-cli --set %I", %I being the unescaped instance name.
set +e
as_user veldra-cli --set "$(systemd-escape -u "$instance")" --root "$home/music" --url /m/ \
  >"$work/out.txt" 2>"$work/err.txt"
rc=$?
set -e
cat "$work/out.txt"
[ "$rc" = 0 ] || fail "exit $rc: $(cat "$work/err.txt")"
[ ! -s "$work/err.txt" ] || fail "progress noise without a terminal: $(cat "$work/err.txt")"
for f in "$name.ini" "$name-Head-htm.txt" "$name-Foot-htm.txt"; do
  [ -f "$home/.config/veldra/$f" ] || fail "$f not in ~/.config/veldra"
done
[ "$(stat -c '%U %a' "$home/.config/veldra")" = "$user 700" ] || fail "~/.config/veldra owner/mode"
for folder in "" a/ a/b/; do
  [ -f "$home/music/${folder}index.htm" ] || fail "no page in music/$folder"
done
[ "$(ls -la /usr/lib/veldra)" = "$before" ] || fail "the run wrote into /usr/lib/veldra"
sets=$(as_user veldra-cli --list-sets)
[ "$sets" = "VELDRA"$'\n'"$name" ] || fail "--list-sets: $sets"
echo "sets in $home/.config/veldra: $(echo "$sets" | tr '\n' ' ')"

step "bash completion"
completed=$(as_user bash -c '
  source /usr/share/bash-completion/bash_completion
  source /usr/share/bash-completion/completions/veldra-cli
  COMP_WORDS=(veldra-cli --set ""); COMP_CWORD=2; COMP_LINE="veldra-cli --set "; COMP_POINT=17
  _veldra_cli veldra-cli "" --set; printf "%s\n" "${COMPREPLY[@]}"
  COMP_WORDS=(veldra-cli --li); COMP_CWORD=1; COMP_LINE="veldra-cli --li"; COMP_POINT=15
  _veldra_cli veldra-cli --li veldra-cli; printf "%s\n" "${COMPREPLY[@]}"')
echo "$completed"
grep -qx 'VELDRA' <<<"$completed" || fail "completion of set names"
grep -qx -- '--list-sets' <<<"$completed" || fail "completion of options"

step "dpkg -r"
dpkg -r veldra
installed=0
dpkg-query -W -f='${db:Status-Abbrev}\n' veldra 2>/dev/null | grep -q '^ii' && fail "still installed"
for f in "${files[@]}"; do
  [ ! -e "$f" ] && [ ! -L "$f" ] || fail "$f left behind"
done
for folder in /usr/lib/veldra /usr/share/doc/veldra; do
  [ ! -e "$folder" ] || fail "$folder left behind"
done
echo "removed: none of its ${#files[@]} files left"

printf '\npackage-test: ok\n'
