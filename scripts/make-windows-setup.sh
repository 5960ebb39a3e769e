#!/usr/bin/env bash
# Makes the setup program build-windows/kv9update-<version>-setup.exe from
# the cross-built kv9update.exe and kv9flash.exe (stripped) and the read-me,
# with Debian's makensis (package nsis). Called by build-windows.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
version=$(sed -n 's/^project(KV9Update VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
stage=$out/setup-stage
rm -rf "$stage"
mkdir -p "$stage"
for exe in win32/kv9update.exe cli/kv9flash.exe; do
  x86_64-w64-mingw32-strip -o "$stage/$(basename "$exe")" "$out/$exe"
done
# UTF-8 with a byte order mark, so every editor on Windows reads it right.
{ printf '\xef\xbb\xbf'; sed "s/@VERSION@/$version/" packaging/windows/readme.txt.in; } >"$stage/readme.txt"
setup=$out/kv9update-$version-setup.exe
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUT="$setup" packaging/windows/kv9update.nsi
echo "make-windows-setup: $setup"
