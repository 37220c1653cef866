#!/usr/bin/env bash
# CI: builds the Debian package, validates it (desktop-file-validate,
# appstreamcli, lintian), installs it with apt-get, runs the installed program
# as a throwaway ordinary account on Xvfb until its main window shows, then
# purges the package and checks that nothing of it is left.
# Needs root (it installs a package and adds an account).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    exec sudo -n bash "$0" "$@"
  fi
  echo "package-test: needs root or password-less sudo (it installs the package and adds a test account)" >&2
  exit 1
fi

step() { echo "-- $*"; }
fail() { echo "package-test: FAILED: $*" >&2; exit 1; }

work="$(mktemp -d /tmp/vaultrane-package-test.XXXXXX)"
account=""
xvfb_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  if [ -n "$account" ]; then
    userdel -r "$account" >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

step "building the package"
deb="$(bash scripts/package.sh)"
build="$(dirname "$deb")"
version="$(sed -n 's/^project(Vaultrane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
echo "$deb (version $version)"

step "desktop-file-validate"
desktop-file-validate packaging/*.desktop
step "appstreamcli validate"
appstreamcli validate --no-net "$build"/packaging/*.metainfo.xml
step "lintian"
lintian_out="$work/lintian.txt"
lintian --allow-root --pedantic --display-info "$deb" >"$lintian_out" 2>&1 || true
grep -E '^[EWIPX]:' "$lintian_out" || echo "(no tags)"
if grep -q '^E:' "$lintian_out"; then
  fail "lintian reports errors"
fi

# The package creates /box; remember whether it was there before, so that
# the purge check knows what to expect.
box_existed=no
[ -e /box ] && box_existed=yes

step "apt-get install $deb"
# What the package holds, and which of its folders the system had already:
# those stay after the purge (/etc/xdg/autostart, say), ours must go.
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|' >"$work/files.txt"
while read -r path; do
  case "$path" in */) [ -d "$path" ] && echo "$path" ;; esac
done <"$work/files.txt" >"$work/folders-before.txt"
DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$deb"

step "installed vaultrane --version"
installed_version="$(env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/vaultrane --version)"
echo "$installed_version"
[ "$installed_version" = "vaultrane $version" ] || fail "expected 'vaultrane $version'"
private_libs="$(ldd /usr/bin/vaultrane | grep -cE '(tessad|zavrit|venmoraos-type)[^ ]* => /usr/bin/\.\./lib/[^ ]*/vaultrane/')"
[ "$private_libs" = 3 ] || fail "the installed program does not find its three libraries in the private folder"

step "manual pages, user guide, autostart entry, common options"
for page in vaultrane vaultrane-box vaultrane-agent; do
  [ -f "/usr/share/man/man1/$page.1.gz" ] || fail "the manual page $page(1) is not installed"
done
for guide in vaultrane-guide.zh_CN.pdf vaultrane-guide.en.pdf; do
  head -c 5 "/usr/share/doc/BoxManual/$guide" | grep -q '^%PDF-' || fail "the user guide $guide is not installed"
done
autostart=/etc/xdg/autostart/vaultrane-agent.desktop
try_exec="$(sed -n 's/^TryExec=//p' "$autostart")"
[ -n "$try_exec" ] && command -v "$try_exec" >/dev/null || fail "$autostart has no TryExec naming an installed program"
bash tests/programs/check-options.sh "$version" /usr/bin/vaultrane /usr/bin/vaultrane-box /usr/bin/vaultrane-agent ||
  fail "the installed programs' common options"
bash tests/programs/check-completion.sh /usr/share/bash-completion/completions/vaultrane-box ||
  fail "the installed bash completion"

step "box root from the package's tmpfiles.d entry"
stat -c '%a %U:%G %n' /box
[ "$(stat -c '%a %U:%G' /box)" = "1777 root:root" ] || fail "/box is not 1777 root:root"

step "installed program as a throwaway ordinary account, on Xvfb"
account="vtpkg$$"
useradd --create-home --user-group --shell /bin/sh "$account"
uid="$(id -u "$account")"
gid="$(id -g "$account")"
home="$(getent passwd "$account" | cut -d: -f6)"
# Boxes go to a box root of the test's own, never the machine's /box.
box_root="$work/boxes"
runtime_dir="$work/runtime"
mkdir -m 1777 "$box_root"
install -d -m 0700 -o "$uid" -g "$gid" "$runtime_dir"
chmod 0755 "$work"

# Xvfb picks a free display itself: a display number whose lock file this
# mount namespace cannot see may still be taken (its socket is abstract), and
# an X server of someone else's would refuse the test account. -ac lets the
# test account in. -noreset: the check below is the server's only client, and
# when it hangs up the server resets itself; the program connecting in that
# moment was turned away now and then ("could not connect to display").
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -ac -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  grep -q '^[0-9]' "$work/display" 2>/dev/null && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.1
done
grep -q '^[0-9]' "$work/display" 2>/dev/null || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"
kill -0 "$xvfb_pid" 2>/dev/null && xwininfo -root >/dev/null 2>&1 || fail "Xvfb on $DISPLAY does not answer: $(cat "$work/xvfb.log")"

# The program compares the login uid with its own uid, as on a real login: a
# subshell sets its login uid (possible once for a process that has none)
# and then becomes the account.
(
  if ! echo "$uid" >/proc/self/loginuid 2>/dev/null; then
    echo "cannot set the login uid here (it is already set and CAP_AUDIT_CONTROL is missing)" >&2
    exit 1
  fi
  exec setpriv --reuid="$uid" --regid="$gid" --init-groups --reset-env \
    env HOME="$home" USER="$account" LOGNAME="$account" DISPLAY="$DISPLAY" \
    XDG_RUNTIME_DIR="$runtime_dir" BOX_SERVICE_ROOT="$box_root" LANG=C.UTF-8 \
    /usr/bin/vaultrane
) >"$work/program.log" 2>&1 &
program_pid=$!

# The main window is 780 x 560; a refusal would show a 500 x 320 message box.
window=""
for _ in $(seq 60); do
  for w in $(xdotool search --onlyvisible --pid "$program_pid" 2>/dev/null || true); do
    if xdotool getwindowgeometry "$w" | grep -q 'Geometry: 780x560'; then
      window="$w"
      break
    fi
  done
  [ -n "$window" ] && break
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.5
done
echo "login uid of the program: $(cat /proc/"$program_pid"/loginuid 2>/dev/null || echo '?')"
xwininfo -root -tree | grep -E '780x560|500x320' || true
if [ -z "$window" ]; then
  cat "$work/program.log" >&2
  fail "the installed program showed no main window"
fi
echo "main window $window of process $program_pid"
/usr/bin/vaultrane --bogus >/dev/null 2>&1 && bogus=0 || bogus=$?
[ "$bogus" = 1 ] || fail "vaultrane --bogus with a display ended with $bogus"
[ -d "$box_root/$account" ] && echo "box folder: $(stat -c '%a %U %n' "$box_root/$account")"
kill "$program_pid"
wait "$program_pid" 2>/dev/null || true
program_pid=""
kill "$xvfb_pid"
wait "$xvfb_pid" 2>/dev/null || true
xvfb_pid=""

step "apt-get remove vaultrane: the autostart entry names a program that is gone"
DEBIAN_FRONTEND=noninteractive apt-get remove -y vaultrane
if [ -f "$autostart" ]; then
  ! command -v "$(sed -n 's/^TryExec=//p' "$autostart")" >/dev/null || fail "TryExec still finds a program"
fi

step "apt-get purge vaultrane"
DEBIAN_FRONTEND=noninteractive apt-get purge -y vaultrane
left=""
while read -r path; do
  grep -qxF "$path" "$work/folders-before.txt" && continue
  case "$path" in
    /usr/ | /usr/bin/ | /usr/lib/ | /usr/share/ | /usr/share/*/ | /usr/lib/*/) ;;
    *) [ -e "$path" ] && left="$left $path" ;;
  esac
done <"$work/files.txt"
for folder in /usr/lib/*/vaultrane /usr/share/vaultrane /usr/share/doc/vaultrane; do
  [ -e "$folder" ] && left="$left $folder"
done
[ -z "$left" ] || fail "left after purge:$left"
if [ "$box_existed" = no ] && [ -e /box ]; then
  fail "/box was created by the package, is empty and still there after purge"
fi
echo "nothing of the package is left in /usr"
echo "package-test: OK"
