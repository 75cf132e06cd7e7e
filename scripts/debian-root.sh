# Sourced by the stages that work inside a minimal Debian (debootstrap minbase): the roots come
# from the mirror this machine's apt uses, read and never changed, and are kept in $cache (one per
# release, day and mirror); each run works on a throw-away overlay. Needs root (chroot, mounts).
# The sourcing script defines fail() and say() before sourcing it and calls debian_root_cleanup on
# exit.

[ "$(id -u)" -eq 0 ] || fail "needs root for debootstrap, chroot and mounts"
command -v debootstrap >/dev/null || fail "debootstrap is not installed (bash scripts/install-deps.sh)"

cache=${VINTREL_CLEAN_CACHE:-/var/cache/vintrel-test}
debian_root_work=$(mktemp -d)
debian_root_mounts=()

debian_root_cleanup() {
  local i
  for ((i = ${#debian_root_mounts[@]} - 1; i >= 0; i--)); do
    umount "${debian_root_mounts[i]}" 2>/dev/null || umount -l "${debian_root_mounts[i]}" || true
  done
  debian_root_mounts=()
  rm -rf "$debian_root_work"
}

mount_into() {  # mount_into TARGET mount-arguments...
  local target=$1
  shift
  mkdir -p "$target"
  mount "$@" "$target" || fail "cannot mount $target"
  debian_root_mounts+=("$target")
}

# "URI SUITE COMPONENT" lines of RELEASE: the host's own sources with its codename swapped, so a
# Debian 12 host reaches 13 (and its updates and security suites) through the same mirrors.
debian_repos() {  # debian_repos RELEASE
  local host
  host=$(. /etc/os-release && echo "${VERSION_CODENAME:?}")
  apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' 'Created-By: Packages' |
    awk -v h="$host" -v r="$1" '$2 == h || index($2, h "-") == 1 {sub("^" h, r, $2); print}' | sort -u
}

# Sets debian_base to the cached minimal root of RELEASE, making it when missing.
debian_minbase() {  # debian_minbase RELEASE
  local release=$1 mirror key probe repos
  mapfile -t repos < <(debian_repos "$release")
  [ "${#repos[@]}" -gt 0 ] || fail "no apt source on this machine to derive Debian $release's from"
  mirror=$(printf '%s\n' "${repos[@]}" | awk -v r="$release" '$2 == r {print $1; exit}')
  [ -n "$mirror" ] || fail "no apt source names the suite $release itself"
  probe=$(mktemp)
  /usr/lib/apt/apt-helper download-file "${mirror%/}/dists/$release/InRelease" "$probe" >/dev/null 2>&1 ||
    { rm -f "$probe"; fail "the package mirror ${mirror%/} cannot be reached for Debian $release (from this machine's apt sources); this test needs it"; }
  rm -f "$probe"
  key=$(printf '%s\n' "$release" minbase "${repos[@]}" "$(date -u +%F)" | sha256sum | cut -c1-12)
  debian_base="$cache/$release-minbase-$key"
  [ -f "$debian_base/.complete" ] && return 0
  say "making a minimal Debian $release from ${mirror%/} into $debian_base"
  rm -rf "$debian_base" "$cache/$release-minbase-"*
  mkdir -p "$cache"
  debootstrap --variant=minbase "$release" "$debian_base" "$mirror" >"$debian_root_work/debootstrap.log" 2>&1 ||
    { tail -n 20 "$debian_root_work/debootstrap.log" >&2; fail "debootstrap of $release from ${mirror%/} failed"; }
  printf '%s\n' "${repos[@]}" |
    awk '{k=$1" "$2} !(k in seen) {seen[k]=1; line[k]="deb "$0; order[n++]=k; next} {line[k]=line[k]" "$3}
      END {for (i = 0; i < n; i++) print line[order[i]]}' >"$debian_base/etc/apt/sources.list"
  touch "$debian_base/.complete"
}

# Mounts a throw-away root at $debian_root_work/NAME over LOWER (one folder, or several joined by
# ':' with the uppermost first) and sets root_fs to it.
debian_overlay() {  # debian_overlay NAME LOWER RELEASE
  local name=$1 lower=$2 release=$3
  root_fs="$debian_root_work/$name"
  mkdir -p "$debian_root_work/$name-upper" "$debian_root_work/$name-work" "$cache/archives-$release/partial"
  mount_into "$root_fs" -t overlay overlay \
    -o "lowerdir=$lower,upperdir=$debian_root_work/$name-upper,workdir=$debian_root_work/$name-work"
  debian_root_mount_system "$root_fs" "$release"
}

debian_root_mount_system() {  # debian_root_mount_system ROOT RELEASE
  mount_into "$1/proc" -t proc proc
  mount_into "$1/sys" -t sysfs sysfs
  mount_into "$1/dev" --bind /dev
  mount_into "$1/dev/pts" --bind /dev/pts
  mount_into "$1/var/cache/apt/archives" --bind "$cache/archives-$2"
  cp /etc/resolv.conf "$1/etc/resolv.conf"
  # The root is thrown away after the run: no need to sync every unpacked file to disk.
  echo force-unsafe-io >"$1/etc/dpkg/dpkg.cfg.d/vintrel-test-unsafe-io"
}

in_root() {
  chroot "$root_fs" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"
}
