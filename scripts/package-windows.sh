#!/usr/bin/env bash
# Builds Vintrel for Windows with mingw-w64 and writes dist/Vintrel-<version>-win64.zip (portable)
# and dist/Vintrel-<version>-setup.exe (a per-user installer made with NSIS).
# Usage: package-windows.sh   (VINTREL_WIN_BUILD_DIR: the cross build tree, default build-win)
# Prints the installer's path, then the zip's path as its last line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VINTREL_WIN_BUILD_DIR:-$root/build-win}
host=x86_64-w64-mingw32

fail() {
  echo "package-windows: $*" >&2
  exit 1
}

prefix=$(bash "$root/scripts/build-windows-deps.sh" | tail -n 1)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVINTREL_BUILD_UI=OFF -DVINTREL_BUILD_ENCODER=ON \
  -DVINTREL_FFMPEG_PREFIX="$prefix" >/dev/null
targets=()
for target in vintrel-cli vintrel_conv vintrel; do
  if ninja -C "$build" -t query "$target" >/dev/null 2>&1; then targets+=("$target"); fi
done
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"
# The licence notes must name the sources the libraries were really built from.
while read -r package package_version; do
  grep -qF "\`$package\` $package_version" "$root/THIRD-PARTY.md" ||
    fail "THIRD-PARTY.md does not name $package $package_version, the version built"
done <"$prefix/versions.txt"

name=Vintrel-$version-win64
stage=$build/package/$name
rm -rf "$build/package"
mkdir -p "$stage/licenses"

# Programs: stripped, and importing nothing but the system's own DLLs.
system_dlls='^(kernel32|user32|gdi32|shell32|advapi32|ole32|oleaut32|comctl32|comdlg32|winmm|bcrypt|ws2_32|msvcrt|shlwapi|secur32|uxtheme|oleacc)\.dll$'
for program in vintrel-cli.exe vintrel.exe data/conv.exe; do
  [ -f "$build/bin/$program" ] || continue
  mkdir -p "$(dirname "$stage/$program")"
  $host-strip -o "$stage/$program" "$build/bin/$program"
  foreign=$($host-objdump -p "$stage/$program" | sed -n 's/^\s*DLL Name: //p' | grep -viE "$system_dlls" || true)
  [ -z "$foreign" ] || fail "$program needs DLLs a Windows system does not have: $foreign"
done
[ -f "$stage/vintrel-cli.exe" ] || fail "vintrel-cli.exe was not built"

# Text files with CR LF, so every Windows editor shows their lines.
crlf() { sed 's/\r*$/\r/' "$1" >"$2"; }
crlf "$root/LICENSE" "$stage/LICENSE"
crlf "$root/THIRD-PARTY.md" "$stage/THIRD-PARTY.md"
crlf "$root/docs/windows-readme.txt" "$stage/README.txt"
cp "$root/src/ui/resources/sound.wav" "$stage/sound.wav"
cp -r "$prefix/share/licenses/." "$stage/licenses/"
mkdir -p "$stage/licenses/mingw-w64" "$stage/licenses/gcc"
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$stage/licenses/mingw-w64/copyright"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/gcc/copyright"

mkdir -p "$root/dist"
zip_file=$root/dist/$name.zip
rm -f "$zip_file"
(cd "$build/package" && zip -q -X -r -9 "$zip_file" "$name")
echo "Wrote $zip_file ($(du -k "$zip_file" | cut -f1) KiB)" >&2

# The installer's file lists, from the staged folder: what it installs is what its uninstaller
# removes, and nothing else (setup.ini and the output folder are the user's).
command -v makensis >/dev/null || fail "makensis is missing; run scripts/install-deps.sh"
nsis=$build/package/nsis
mkdir -p "$nsis"
cp "$root/packaging/windows/vintrel.nsi" "$root/packaging/windows/folder_guard.nsh" "$nsis/"
winpath() { local p=${1#./}; echo "${p//\//\\}"; }
(
  cd "$stage"
  find . -type d | sort | while read -r dir; do
    echo "SetOutPath \"\$INSTDIR\\$(winpath "$dir")\""
    find "$dir" -maxdepth 1 -type f | sort | while read -r file; do
      echo "File \"$stage/${file#./}\""
      echo "\${RecordInstalledFile} \"$(winpath "$file")\""
    done
  done | sed 's|\\\.\"|"|' >"$nsis/install_files.nsh"
  find . -type f | sort | while read -r file; do echo "\${RemoveInstalledFile} \"$(winpath "$file")\""; done \
    >"$nsis/uninstall_files.nsh"
  find . -mindepth 1 -type d | sort -r | while read -r dir; do echo "\${RemoveInstalledFolder} \"$(winpath "$dir")\""; done \
    >>"$nsis/uninstall_files.nsh"
)
setup_file=$root/dist/Vintrel-$version-setup.exe
rm -f "$setup_file"
makensis -V2 -DVERSION="$version" -DVERSION4="$version.0" -DSTAGE="$stage" -DOUTFILE="$setup_file" \
  -DICON="$build/src/win/vintrel.ico" "$nsis/vintrel.nsi" >"$nsis/makensis.log" 2>&1 || {
  cat "$nsis/makensis.log" >&2
  fail "makensis failed"
}
echo "Wrote $setup_file ($(du -k "$setup_file" | cut -f1) KiB)" >&2
echo "$setup_file"
echo "$zip_file"
