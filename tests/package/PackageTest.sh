#!/usr/bin/env bash
# Builds the Debian package of a finished build, unpacks it into a scratch root (dpkg -x) and runs
# the installed tool from there against the producer it finds through GENICAM_GENTL64_PATH as the
# package's profile script sets it, then without the variable (beside the tool, ../lib/quarvo).
# Usage: PackageTest.sh CPACK BUILD_DIR. Exits 77 (skipped) when the dpkg tools are absent.
set -euo pipefail
cpack=$1
build=$2

if ! command -v dpkg-deb >/dev/null || ! command -v dpkg >/dev/null; then
  echo "dpkg tools are absent: package test skipped"
  exit 77
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/package" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log" >&2
  fail "cpack -G DEB"
fi
deb=$(ls "$scratch"/package/*.deb)
[ "$(dpkg-deb -f "$deb" Package)" = quarvo ] || fail "package name $(dpkg-deb -f "$deb" Package)"
root="$scratch/root"
dpkg -x "$deb" "$root"
for file in usr/lib/quarvo/Quarvo.cti usr/lib/quarvo/libQuibbon.so usr/include/quarvo/GenTL.h etc/profile.d/quarvo.sh; do
  [ -f "$root/$file" ] || fail "$file is not in the package"
done
[ -x "$root/usr/bin/quarvo" ] || fail "usr/bin/quarvo is not in the package"

# The profile script adds the producer's folder once, after what is already there.
profile() { env -i ${1:+GENICAM_GENTL64_PATH="$1"} sh -c '. "$0"; printf %s "$GENICAM_GENTL64_PATH"' "$root/etc/profile.d/quarvo.sh"; }
[ "$(profile)" = /usr/lib/quarvo ] || fail "profile script sets '$(profile)'"
[ "$(profile /opt/other)" = /opt/other:/usr/lib/quarvo ] || fail "profile script gives '$(profile /opt/other)'"
[ "$(profile /usr/lib/quarvo)" = /usr/lib/quarvo ] || fail "profile script adds the folder twice"

export XDG_STATE_HOME="$scratch/state"
cd "$scratch"
producer="$root/usr/lib/quarvo/Quarvo.cti"
info=$(GENICAM_GENTL64_PATH="/nonexistent:$root$(profile)" "$root/usr/bin/quarvo" info)
grep -q "File  *$producer\$" <<<"$info" || fail "the tool did not use the packaged producer through GENICAM_GENTL64_PATH: $info"
GENICAM_GENTL64_PATH="$root$(profile)" "$root/usr/bin/quarvo" grab -n 2 --out "$scratch/frames" >"$scratch/grab.log" ||
  fail "grab: $(cat "$scratch/grab.log")"
[ "$(ls "$scratch/frames" | tr '\n' ' ')" = "Cam00-00000000.png Cam00-00000001.png " ] || fail "grabbed $(ls "$scratch/frames")"
info=$(env -u GENICAM_GENTL64_PATH "$root/usr/bin/quarvo" info)
grep -q "File  *$producer\$" <<<"$info" || fail "the tool did not find the producer in ../lib/quarvo: $info"
echo "package test passed"
