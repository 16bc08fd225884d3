#!/usr/bin/env bash
# Builds the .deb with CPack, installs it on this machine, checks what it installed, runs the
# installed program headless from a folder without Data_Media and the installed simulator, and
# removes the package again. Needs root and dpkg; skips (exit 77) otherwise, and when a
# veltra-desktop package is installed already (it is left alone).
#
#   deb_install_test.sh BUILD_DIR
set -uo pipefail
build=$1
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }

[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
command -v dpkg >/dev/null && command -v cpack >/dev/null || skip "dpkg or cpack missing"
status=$(dpkg-query -W -f='${Status}' veltra-desktop 2>/dev/null || true)
[ "$status" = "install ok installed" ] && skip "a veltra-desktop package is installed already"

work=$(mktemp -d /tmp/veltra-deb-test-XXXXXX)
installed=0
cleanup() {
  [ $installed -eq 1 ] && dpkg --purge veltra-desktop >/dev/null 2>&1
  [ -n "${sim_pid:-}" ] && kill "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# ---- Build and look at the package
(cd "$work" && cpack -G DEB -B "$work/deb" --config "$build/CPackConfig.cmake" >cpack.log 2>&1) ||
  { cat "$work/cpack.log"; fail "cpack could not build the package"; }
deb=$(ls "$work"/deb/veltra-desktop_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no .deb in $work/deb"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libsdl2 libjpeg62-turbo libpng16 libmodbus libstdc++6 libc6; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done

# ---- Install
dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i failed"; }
installed=1
app=org.veltra.VeltraDesktop
for file in /usr/bin/veltra-desktop /usr/bin/gateway-sim /usr/bin/veltra-log \
            /usr/share/veltra-desktop/Data_Media/l_en.txt \
            /usr/share/veltra-desktop/Data_Media/l_de.txt \
            /usr/share/veltra-desktop/Data_Media/welcomeImage.jpg \
            /usr/share/veltra-desktop/scenarios/default.scn \
            /usr/share/applications/$app.desktop /usr/share/metainfo/$app.metainfo.xml \
            /usr/share/icons/hicolor/scalable/apps/$app.svg \
            /usr/share/icons/hicolor/48x48/apps/$app.png \
            /usr/share/icons/hicolor/128x128/apps/$app.png \
            /usr/share/icons/hicolor/256x256/apps/$app.png \
            /usr/share/man/man1/veltra-desktop.1.gz /usr/share/man/man1/veltra-log.1.gz \
            /usr/lib/systemd/user/veltra-desktop.service; do
  [ -f "$file" ] || fail "not installed: $file"
done
version=$(dpkg-deb -f "$deb" Version)
[ "$(/usr/bin/veltra-desktop --version)" = "veltra-desktop $version" ] ||
  fail "veltra-desktop --version does not say $version"
[ "$(/usr/bin/veltra-log --version)" = "veltra-log $version" ] ||
  fail "veltra-log --version does not say $version"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate /usr/share/applications/$app.desktop || fail "desktop entry not valid"
else
  echo "note: desktop-file-validate missing, desktop entry not validated"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net /usr/share/metainfo/$app.metainfo.xml >"$work/as.log" 2>&1 ||
    { cat "$work/as.log"; fail "metainfo not valid"; }
else
  echo "note: appstreamcli missing, metainfo not validated"
fi

if command -v systemd-analyze >/dev/null; then
  unit_check=$(systemd-analyze verify --man=no /usr/lib/systemd/user/veltra-desktop.service 2>&1)
  [ -z "$unit_check" ] || fail "user unit: $unit_check"
fi

# ---- The installed program, headless, from a folder without Data_Media: it finds its start
# picture and texts in the share folder and ends with 0 on SIGTERM.
mkdir -p "$work/empty" "$work/data"
cd "$work/empty"
run=(env APPDATA="$work/data" VELTRA_HOST=headless VELTRA_NO_MESSAGE_BOX=1 /usr/bin/veltra-desktop)
if command -v strace >/dev/null; then
  strace -f -qq -e trace=openat -o "$work/trace" "${run[@]}" >"$work/out" 2>&1 &
else
  "${run[@]}" >"$work/out" 2>&1 &
fi
pid=$!
sleep 4 # the start picture stays 2 s, then the texts are loaded
# Under strace the program is strace's child; strace ends with the program's exit code.
program=$(pgrep -P "$pid" -x veltra-desktop || echo "$pid")
kill -TERM "$program" 2>/dev/null
for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$pid" 2>/dev/null; then
  kill -KILL "$program" "$pid" 2>/dev/null
  fail "the program did not end on SIGTERM"
fi
wait "$pid"
code=$?
cat "$work/out"
[ $code -eq 0 ] || fail "the program ended with $code"
grep -q "Language file" "$work/out" && fail "the program did not find its language files"
[ -d "$work/data/Ovalo" ] || fail "no data folder"
if [ -f "$work/trace" ]; then
  for name in welcomeImage.jpg l_en.txt l_de.txt; do
    grep -E "share/veltra-desktop/Data_Media/$name\", O_RDONLY[^)]*\) = [0-9]" "$work/trace" \
      >/dev/null || fail "the program did not open $name from the installed share folder"
  done
else
  echo "note: strace missing, the files the program opened were not checked"
fi

# ---- The installed simulator, started through PATH, finds its scenarios in the share folder.
if command -v strace >/dev/null; then
  strace -qq -e trace=openat -o "$work/sim.trace" gateway-sim --port 0 >"$work/sim.out" 2>&1 &
else
  gateway-sim --port 0 >"$work/sim.out" 2>&1 &
fi
sim_pid=$!
for _ in $(seq 50); do grep -q "listening on" "$work/sim.out" && break; sleep 0.1; done
grep -q "listening on" "$work/sim.out" || { cat "$work/sim.out"; fail "gateway-sim did not start"; }
kill "$(pgrep -P "$sim_pid" -x gateway-sim || echo "$sim_pid")"
wait "$sim_pid" 2>/dev/null
sim_pid=""
if [ -f "$work/sim.trace" ]; then
  grep -E 'share/veltra-desktop/scenarios/default.scn", O_RDONLY[^)]*\) = [0-9]' \
    "$work/sim.trace" >/dev/null || fail "gateway-sim did not read the installed scenario"
fi

# ---- Remove
cd /
dpkg --purge veltra-desktop >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "removal failed"; }
installed=0
for path in /usr/bin/veltra-desktop /usr/bin/gateway-sim /usr/bin/veltra-log /usr/share/veltra-desktop \
            /usr/share/applications/$app.desktop /usr/share/man/man1/veltra-desktop.1.gz; do
  [ -e "$path" ] && fail "left after removal: $path"
done
echo "PASS: built $(basename "$deb"), installed, ran and removed"
