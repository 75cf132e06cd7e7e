#!/usr/bin/env bash
# The other supported Debian release where it runs (13 on a Debian 12 machine, 12 on a Debian 13
# one): inside a minimal root of it, install what the native tests need with install-deps.sh, build
# the programs and the tests from this checkout (warnings fail the build) and run the native suite;
# then make that release's .deb and check it as a new user gets it in a fresh root of its release
# (scripts/test-clean-debian.sh), where apt must refuse this machine's package, and check that a
# fresh root of this machine's release refuses it. Runs after the native stage, whose build makes
# this machine's package.
# The root with the packages installed is kept beside the minimal one (per day and package list),
# and so is the compiler cache. Needs root and the mirror of this machine's apt sources.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VINTREL_BUILD_DIR:-$root/build}
host=$(. /etc/os-release && echo "${VERSION_CODENAME:?}")
case "$host" in
  bookworm) release=trixie ;;
  trixie) release=bookworm ;;
  *) echo "FAIL (other Debian): this machine runs '$host', neither Debian 12 nor 13" >&2; exit 1 ;;
esac
start=$SECONDS
fail() {
  echo "FAIL (Debian $release build): $*" >&2
  exit 1
}
say() { echo "Debian $release build, $((SECONDS - start)) s: $*"; }
. "$root/scripts/debian-root.sh"
trap debian_root_cleanup EXIT
work=$debian_root_work

debian_minbase "$release"
# The packages install-deps.sh names, installed once over the minimal root into a layer of their own.
# Keyed by the minimal root it lies over (one a day) and the package list.
key=$( (echo "$debian_base"; cat "$root/scripts/install-deps.sh") | sha256sum | cut -c1-12)
tools="$cache/$release-tools-$key"
if [ ! -f "$tools/.complete" ]; then
  say "installing the build and test packages into $tools"
  rm -rf "$cache/$release-tools-"*
  mkdir -p "$tools/layer" "$work/tools-work" "$cache/archives-$release/partial"
  root_fs="$work/tools-root"
  mount_into "$root_fs" -t overlay overlay \
    -o "lowerdir=$debian_base,upperdir=$tools/layer,workdir=$work/tools-work"
  debian_root_mount_system "$root_fs" "$release"
  mkdir -p "$root_fs/src/scripts"
  cp "$root/scripts/install-deps.sh" "$root_fs/src/scripts/"
  {
    in_root bash /src/scripts/install-deps.sh native &&
      in_root apt-get install -y -qq --no-install-recommends ccache
  } >"$work/tools.log" 2>&1 || { tail -n 30 "$work/tools.log" >&2; fail "install-deps.sh native failed on Debian $release"; }
  rm -rf "$root_fs/src" "$root_fs/etc/dpkg/dpkg.cfg.d/vintrel-test-unsafe-io"
  say "$(grep -c '^Setting up' "$work/tools.log") packages installed"
  debian_root_cleanup
  debian_root_work=$(mktemp -d) work=$debian_root_work
  touch "$tools/.complete"
fi

debian_overlay build "$tools/layer:$debian_base" "$release"
mkdir -p "$root_fs/src" "$cache/ccache-$release"
# The checkout as git sees it (tracked and new files, nothing ignored), not the host's build trees.
(cd "$root" && git ls-files -z --cached --others --exclude-standard | tar -c --null -T - -f -) |
  tar -x -C "$root_fs/src" -f - || fail "cannot copy the checkout into the root"
mount_into "$root_fs/ccache" --bind "$cache/ccache-$release"
in_root bash /src/scripts/install-deps.sh native >"$work/deps.log" 2>&1 ||
  { tail -n 20 "$work/deps.log" >&2; fail "install-deps.sh native asks for packages Debian $release does not have"; }
say "$(in_root sh -c 'g++ --version | head -n 1; pkg-config --modversion libavcodec Qt6Core' | tr '\n' ' ')"
in_root env HOME=/root CCACHE_DIR=/ccache QT_QPA_PLATFORM=offscreen VINTREL_BUILD_DIR=/build \
  bash /src/scripts/test-native.sh >"$work/native.log" 2>&1 ||
  { tail -n 60 "$work/native.log" >&2; fail "the native build or its tests failed on Debian $release"; }
grep -E '^[0-9]+% tests passed|tests failed out of' "$work/native.log" | sed 's/^/  /'
say "built and tested"

in_root cpack --config /build/CPackConfig.cmake -B /build/package >"$work/cpack.log" 2>&1 ||
  { tail -n 20 "$work/cpack.log" >&2; fail "cpack could not make the Debian $release package"; }
theirs=$(echo "$root_fs"/build/package/vintrel_*~deb"$(. "$root_fs/etc/os-release" && echo "$VERSION_ID")"_*.deb)
[ -f "$theirs" ] || fail "no package named for Debian $release in /build/package: $(ls "$root_fs/build/package")"
mkdir -p "$build/package"
cp "$theirs" "$build/package/"
theirs="$build/package/$(basename "$theirs")"
say "made $(basename "$theirs")"
debian_root_cleanup
trap - EXIT

cpack --config "$build/CPackConfig.cmake" -B "$build/package" >/dev/null 2>&1 || fail "cpack on this machine"
ours=$(echo "$build"/package/vintrel_*~deb"$(. /etc/os-release && echo "$VERSION_ID")"_*.deb)
[ -f "$ours" ] || fail "no package named for this machine's Debian in $build/package"
bash "$root/scripts/test-clean-debian.sh" "$release" "$theirs" "$ours"
bash "$root/scripts/test-clean-debian.sh" "$host" - "$theirs"
say "passed"
