#!/bin/bash
# check-package.sh [BUILD_DIR]
# Builds the Debian package (Release, without benchmarks or tests) in
# BUILD_DIR (default build-package), checks what it holds, then installs it
# with apt-get in a bare Debian 12 root (debootstrap, minbase) and tries it
# there as an operator would: the programs on the PATH, a run into the
# virtual handset right after installation, the window starting, the man
# pages, and what an upgrade and a purge do to the administrator's files.
# Needs root (debootstrap, chroot, mount) and a Debian mirror.
# The bare root is made once and kept as a tarball in ~/.cache/morvak, with
# the packages apt downloads into it, so that reruns are quick.
# Environment: MORVAK_WERROR=ON makes compiler warnings errors (CI sets it);
# MORVAK_PACKAGE_JOBS (build jobs, default 2); MORVAK_PACKAGE_BUILD_TYPE
# (default Release; CI packages the tree its tests built, RelWithDebInfo, so
# that nothing is compiled twice).
set -euo pipefail

source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$source_dir/build-package}
jobs=${MORVAK_PACKAGE_JOBS:-2}
cache=${XDG_CACHE_HOME:-$HOME/.cache}/morvak
base_tarball=$cache/debian12-minbase.tar.gz
apt_archives=$cache/package-check-apt

say() { echo "check-package: $*" >&2; }
fail() {
  say "FAILED: $*"
  exit 1
}

[ "$(id -u)" -eq 0 ] || fail "needs root (debootstrap, chroot and mount): run it with sudo"
for tool in debootstrap dpkg-shlibdeps desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/install-deps.sh"
done

# --- The package ---------------------------------------------------------
say "building in $build"
cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${MORVAK_PACKAGE_BUILD_TYPE:-Release}" \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DMORVAK_BENCH=OFF -DMORVAK_GUI=ON -DMORVAK_WERROR="${MORVAK_WERROR:-OFF}" >/dev/null
cmake --build "$build" -j "$jobs" --target morvak_installable
rm -f "$build"/morvak_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/morvak_*_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single morvak_<version>_<arch>.deb"
deb=${debs[0]}
say "made $(basename "$deb")"

# --- What it holds -------------------------------------------------------
contents=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
on_path=$(printf '%s\n' "$contents" | grep '^/usr/bin/.' | sort | tr '\n' ' ')
[ "$on_path" = "/usr/bin/morvak /usr/bin/morvak-cli /usr/bin/morvak-mkimg " ] \
  || fail "paths under /usr/bin should be the three programs alone, not: $on_path"
if printf '%s\n' "$contents" | grep -E '_test$|bench|fuzz|morvak-art'; then
  fail "test programs, benchmarks or fuzzers are in the package (above)"
fi
[ "$(dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles)" = "/etc/morvak/LURRA.ini" ] \
  || fail "/etc/morvak/LURRA.ini is not the package's conffile"
for want in /usr/share/applications/morvak.desktop /usr/share/icons/hicolor/48x48/apps/morvak.png \
  /usr/share/man/man1/morvak.1.gz /usr/share/man/man1/morvak-cli.1.gz /usr/share/man/man1/morvak-mkimg.1.gz \
  /usr/share/bash-completion/completions/morvak-cli /usr/share/doc/morvak/copyright; do
  printf '%s\n' "$contents" | grep -qx "$want" || fail "$want is not in the package"
done
extracted=$(mktemp -d)
trap 'rm -rf "$extracted"' EXIT
dpkg-deb -x "$deb" "$extracted"
desktop-file-validate "$extracted/usr/share/applications/morvak.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$extracted"/usr/share/metainfo/*.metainfo.xml || fail "appstreamcli validate"
rm -rf "$extracted"
trap - EXIT

# --- A bare Debian 12 root -----------------------------------------------
mkdir -p "$cache" "$apt_archives/partial"
if [ ! -f "$base_tarball" ]; then
  mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)
  made=$(mktemp -d /var/tmp/morvak-debootstrap.XXXXXX)
  say "making a bare Debian 12 root (once; kept in $base_tarball)"
  debootstrap --variant=minbase bookworm "$made" ${mirror:+"$mirror"} >"$cache/debootstrap.log" 2>&1 \
    || { rm -rf --one-file-system "$made"; fail "debootstrap, see $cache/debootstrap.log"; }
  tar -C "$made" -czf "$base_tarball.part" . && mv "$base_tarball.part" "$base_tarball"
  rm -rf --one-file-system "$made"
fi
root=$(mktemp -d /var/tmp/morvak-package-check.XXXXXX)
cleanup() {
  umount "$root/var/cache/apt/archives" 2>/dev/null || true
  umount -R "$root/dev" 2>/dev/null || umount -l "$root/dev" 2>/dev/null || true
  umount "$root/proc" "$root/tmp" 2>/dev/null || true
  rm -rf --one-file-system "$root"
}
trap cleanup EXIT
# A run that is ended (CI stops a background check when a stage fails) still
# unmounts and removes the root.
trap 'exit 143' TERM
trap 'exit 130' INT
tar -C "$root" -xzf "$base_tarball"
chmod 755 "$root"
if [ -f /etc/apt/sources.list.d/debian.sources ]; then
  cp /etc/apt/sources.list.d/debian.sources "$root/etc/apt/sources.list.d/"
  rm -f "$root/etc/apt/sources.list"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
mount -t proc proc "$root/proc"
mount --rbind /dev "$root/dev"
mount -t tmpfs tmpfs "$root/tmp"
mount --bind "$apt_archives" "$root/var/cache/apt/archives"
chroot "$root" chown _apt:root /var/cache/apt/archives/partial
cp "$deb" "$root/root/"

# --- Installed and tried there --------------------------------------------
# Written to a file and run with no input: nothing may stop for a question.
cat >"$root/root/check-inside.sh" <<'INSIDE'
set -euo pipefail
fail() { echo "check-package: FAILED in the bare root: $*" >&2; exit 1; }
step() { echo "check-package: $*" >&2; }

apt-get update -qq
apt-get install -y -qq "$DEB" man-db >/dev/null

for program in morvak morvak-cli morvak-mkimg; do
  [ "$(command -v "$program")" = "/usr/bin/$program" ] || fail "$program is not /usr/bin/$program"
done
other=$(dpkg -L morvak | grep '^/usr/bin/.' | grep -vxE '/usr/bin/(morvak|morvak-cli|morvak-mkimg)' || true)
[ -z "$other" ] || fail "the package owns other paths under /usr/bin: $other"

useradd --create-home flasher
as_operator() { runuser -u flasher -- env HOME=/home/flasher "$@"; }

step "--version of the three programs"
version=$(dpkg-query -W -f '${Version}' morvak)
for program in morvak-cli morvak-mkimg; do
  said=$(as_operator "$program" --version) || fail "$program --version"
  [ "$said" = "$program $version" ] || fail "$program --version says \"$said\", the package is $version"
done

step "a run into the virtual handset right after installation"
demo=/home/flasher/demo.img
as_operator morvak-mkimg img "$demo" --raw-size 786432 \
  --layout 2,3,5 --layout-address 0x00010000 --layout-length 8224 \
  --record 0x00200000:131072 --record 0x00300000:1500000 \
  --record 0x00500000:4097 --record 0x00600000:300000 >/dev/null || fail "morvak-mkimg"
run=$(as_operator morvak-cli flash --virtual-handset "$demo") || fail "morvak-cli flash: $run"
printf '%s\n' "$run" | tail -n 1 | grep -q '^Download the img successfully!' || fail "morvak-cli flash ended: $run"

step "the window"
said=$(as_operator env QT_QPA_PLATFORM=offscreen morvak --version) || fail "morvak --version"
[ "$said" = "morvak $version" ] || fail "morvak --version says \"$said\", the package is $version"
status=0
as_operator env QT_QPA_PLATFORM=offscreen timeout 5 morvak --virtual-handset || status=$?
[ "$status" -eq 124 ] || fail "the window did not stay open (exit status $status)"

step "man pages"
for program in morvak morvak-cli morvak-mkimg; do
  man -P cat "$program" 2>/dev/null | grep -q "^NAME" || fail "man $program"
done
man -P cat -l /usr/share/man/man1/morvak-cli.1.gz | grep -q 'virtual-handset' || fail "man -l morvak-cli"

step "an upgrade keeps the administrator's configuration and target programs"
echo "; edited by the administrator" >>/etc/morvak/LURRA.ini
printf 'the maker'"'"'s loader\n' >/var/lib/morvak/2ND.nb0
dpkg -i "$DEB" >/dev/null
tail -n 1 /etc/morvak/LURRA.ini | grep -q 'edited by the administrator' || fail "the configuration was replaced"
grep -q "the maker's loader" /var/lib/morvak/2ND.nb0 || fail "the administrator's 2ND.nb0 was replaced"
cmp -s /var/lib/morvak/NANDOUT.nb0 /usr/share/morvak/stand-in/NANDOUT.nb0 || fail "NANDOUT.nb0 is not the stand-in"
run=$(as_operator morvak-cli flash --virtual-handset "$demo") || fail "flash after the upgrade: $run"

step "a purge removes them"
apt-get purge -y -qq morvak >/dev/null
[ ! -e /etc/morvak ] && [ ! -e /var/lib/morvak ] && [ ! -e /usr/lib/morvak ] || fail "files are left after the purge"
INSIDE
say "installing $(basename "$deb") in a bare Debian 12 root"
chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive DEB="/root/$(basename "$deb")" \
  /bin/bash /root/check-inside.sh </dev/null
say "passed"
