#!/bin/sh
# Builds, once, a GNU binutils toolchain (as, ld, objcopy, objdump) that
# writes COFF version 2 files, from the binutils source that Debian ships in
# the binutils-source package. The coff_interop_test makes its files with it.
#
# usage: make-coff-tools.sh TARBALL PREFIX LOG
#   Installs into PREFIX/bin as tic4x-coff-as, -ld, -objcopy, -objdump.
#   A finished PREFIX is kept and reused. Never fails the build that runs it:
#   when the tools cannot be made, PREFIX stays without them and LOG says why.
set -u
tarball=$1
prefix=$2
log=$3
target=tic4x-coff
if [ -x "$prefix/bin/$target-objdump" ] && [ -x "$prefix/bin/$target-ld" ]; then exit 0; fi
mkdir -p "$(dirname "$log")" "$prefix" || exit 0
exec 9>"$prefix/.lock"
flock 9 2>/dev/null || true
if [ -x "$prefix/bin/$target-objdump" ] && [ -x "$prefix/bin/$target-ld" ]; then exit 0; fi
if [ ! -f "$tarball" ]; then
  echo "no binutils source at $tarball (Debian package binutils-source)" >"$log"
  exit 0
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/morvak-coff-tools.XXXXXX") || exit 0
trap 'rm -rf "$work"' EXIT
(
  set -e
  cd "$work"
  tar xf "$tarball"
  src=$(echo "$work"/binutils-*)
  mkdir build
  cd build
  "$src/configure" --target=$target --enable-targets=$target \
    --prefix="$prefix" --disable-nls --disable-werror --disable-gdb --disable-gdbserver \
    --disable-sim --disable-gprof --disable-gprofng --disable-libctf --without-zstd \
    --disable-plugins --disable-shared
  make -j2 all-binutils all-gas all-ld
  make install-binutils install-gas install-ld
) >"$log" 2>&1 || echo "building the COFF tools failed; see above" >>"$log"
exit 0
