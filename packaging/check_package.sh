#!/usr/bin/env bash
# Installs the Debian package on this machine, uses it as a user would and
# removes it again: check_package.sh <package.deb> <build dir>
#
# The programs on the PATH must give the same results on the bundled example
# as the build's own programs, `man` must find the pages, and the front end
# must start (offscreen) from its folder. Whatever happens, the package is
# purged on the way out, and the removal must leave none of its files behind.
set -euo pipefail
deb=$(readlink -f "$1")
build=$(readlink -f "$2")
source_dir=$(cd "$(dirname "$0")/.." && pwd)
export DEBIAN_FRONTEND=noninteractive

if dpkg-query -W -f='${Status}' haldor 2>/dev/null | grep -q "ok installed"; then
  echo "The haldor package is installed already; this check installs and removes it, so it stops here." >&2
  exit 1
fi
scratch=$(mktemp -d "${TMPDIR:-/tmp}/haldor-package.XXXXXX")
gui_pid=
finish() {
  status=$?
  [ -n "$gui_pid" ] && kill "$gui_pid" 2>/dev/null || true
  if dpkg-query -W -f='${Status}' haldor 2>/dev/null | grep -q "install"; then
    apt-get purge -y haldor > /dev/null || dpkg --purge haldor || true
  fi
  rm -rf "$scratch"
  exit $status
}
trap finish EXIT

dpkg-deb -c "$deb" | awk '{ print substr($6, 2) }' | grep -v '/$' > "$scratch/files"
apt-get install -y "$deb"

echo "== Programs on the PATH"
for program in Quorel Tavisk Nembril Folvane haldorin haldorin-enlarged; do
  printf '%-18s %s\n' "$program" "$(command -v "$program")"
done
Quorel --version
test "$(Quorel --version)" = "Quorel Version 1.0.0"
# (Some minimal images tell dpkg to skip manual pages; then there is nothing to look up.)
for page in Quorel Tavisk Nembril Folvane haldorin HALDORIN; do
  if [ -e "/usr/share/man/man1/$page.1.gz" ] && command -v man > /dev/null; then
    man -w "$page" > /dev/null
  else
    grep -qx "/usr/share/man/man1/$page.1.gz" "$scratch/files"
  fi
done

echo "== The bundled example, by the installed programs and by the build's"
run_example() {  # run_example <folder> <how to name a program>
  mkdir -p "$1" && (
    cd "$1"
    ex=$source_dir/examples
    "$($2 Quorel)" -s "$ex/herd.ped" check.txt
    "$($2 Tavisk)" -e stack.err "$ex/herd.ped" stacked.ped
    "$($2 Folvane)" -p stacked.ped inbreeding.txt
    "$($2 Nembril)" "$ex/herd.ped" "$ex/herd_keys.txt" traced.ped
  ) > "$1.log"
}
on_path() { command -v "$1"; }
in_build() { echo "$build/modules/$1"; }
run_example "$scratch/installed" on_path
run_example "$scratch/built" in_build
diff -r "$scratch/installed" "$scratch/built"
sed "s#$build/modules/##" "$scratch/built.log" > "$scratch/built.names.log"
sed "s#/usr/bin/##" "$scratch/installed.log" | diff - "$scratch/built.names.log"
echo "same results"

echo "== The front end starts from /opt/haldor"
(cd "$scratch" && QT_QPA_PLATFORM=offscreen exec haldorin > "$scratch/gui.log" 2>&1) &
gui_pid=$!
sleep 3
kill -0 "$gui_pid"                                      # still running
test "$(readlink "/proc/$gui_pid/cwd")" = /opt/haldor   # where modules/ and help/ are
test "$(readlink "/proc/$gui_pid/exe")" = /opt/haldor/HALDORIN
kill "$gui_pid"; wait "$gui_pid" 2>/dev/null || true
gui_pid=

echo "== Removal"
apt-get purge -y haldor
left=0
while read -r f; do
  if [ -e "$f" ] || [ -L "$f" ]; then echo "left behind: $f"; left=1; fi
done < "$scratch/files"
[ -e /opt/haldor ] && { echo "left behind: /opt/haldor"; left=1; }
exit $left
