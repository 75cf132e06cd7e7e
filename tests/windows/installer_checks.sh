# Sourced by zip_test.sh: the installer beside the zip, under wine. Uses the caller's zip, work,
# fail and expect_equal, and conv_checks.sh's clips in $work/conv.
setup=${zip%-win64.zip}-setup.exe
reg_query() { { wine reg query "$@" 2>/dev/null </dev/null || true; } | tr -d '\r'; }
# wine's reg prints its "Unable to find" on stdout: only the status tells.
has_key() { wine reg query "$1" >/dev/null 2>&1 </dev/null; }
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vintrel'
classes='HKCU\Software\Classes'
install_silently() {  # setup.exe's arguments after /S...: sets rc
  set +e
  wine "$setup" /S "$@" </dev/null >/dev/null 2>&1
  rc=$?
  set -e
}
uninstall_silently() {  # the installed folder (a Unix path)
  wine "$1/uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "uninstall.exe /S in $1 failed"
  # The uninstaller runs on from a copy of itself: wait for it to finish.
  for _ in $(seq 300); do
    [ -e "$1/uninstall.exe" ] || has_key "$uninstall_key" || break
    sleep 0.1
  done
  sleep 1
}
listing() { (cd "$1" && find . -mindepth 1 | sort | paste -sd ' '); }

# A silent per-user install whose CLI converts; "Open with" beside someone else's default; a
# silent uninstall that leaves only the user's settings and videos.
wine reg add "$classes\.mp4" /ve /d Other.mp4 /f >/dev/null 2>&1 </dev/null
install_silently
expect_equal "setup.exe /S status" "$rc" 0
local_app_data=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null </dev/null | tr -d '\r')
installed=$(winepath -u "$local_app_data\Programs\Vintrel" 2>/dev/null)
for file in vintrel.exe vintrel-cli.exe data/conv.exe sound.wav uninstall.exe; do
  [ -f "$installed/$file" ] || fail "the installer did not install $file"
done
start_menu=$(winepath -u "$(wine cmd /c echo %APPDATA% 2>/dev/null </dev/null | tr -d '\r')\Microsoft\Windows\Start Menu\Programs" 2>/dev/null)
[ -f "$start_menu/Vintrel.lnk" ] || fail "no Start-menu shortcut"
before=$(reg_query "$uninstall_key")
echo "installer: wine reg query after install:"$'\n'"$before"
for value in DisplayName DisplayVersion Publisher InstallLocation UninstallString EstimatedSize; do
  grep -q "^ *$value " <<<"$before" || fail "the uninstall key has no $value"
done
reg_query "$classes\.avi\OpenWithProgids" | grep -q "Vintrel.Video" || fail "no Open with entry for .avi"
reg_query "$classes\.mp4" /ve | grep -q "Other.mp4" || fail "the installer took over the default for .mp4"
(cd "$work/conv" && wine "$installed/vintrel-cli.exe" --output "$work/installed-out" "Vidéo 映像 avi.avi" \
  </dev/null >/dev/null 2>&1) || fail "the installed vintrel-cli.exe did not convert"
[ -s "$work/installed-out/Vidéo 映像 avi.3gp" ] || fail "no output from the installed vintrel-cli.exe"

printf '"2"\r\n"2"\r\n"0"\r\n"1"\r\n""\r\n' >"$installed/setup.ini"
mkdir -p "$installed/output"
: >"$installed/output/kept.3gp"
uninstall_silently "$installed"
expect_equal "what the uninstaller left" "$(listing "$installed")" "./output ./output/kept.3gp ./setup.ini"
[ ! -e "$start_menu/Vintrel.lnk" ] || fail "the Start-menu shortcut is still there"
after=$(reg_query "$uninstall_key")
echo "installer: wine reg query after uninstall: [${after}]"
has_key "$uninstall_key" && fail "the uninstall key is still there"
has_key "$classes\Vintrel.Video" && fail "the Open with program id is still there"
has_key "$classes\.avi" && fail "the .avi key the installer made is still there"
reg_query "$classes\.mp4" /ve | grep -q "Other.mp4" || fail "the uninstaller took .mp4's default"
reg_query "$classes\.mp4" /s | grep -q "Vintrel" && fail "the uninstaller left .mp4's Open with entry"

# What an uninstall left is taken back silently. Links put in place of what was installed: symlinks
# made on the Unix side, which wine 8 reports as a reparse point for a folder (attributes 0x410)
# but not for a file. The uninstaller deletes nothing through either and leaves both: the folder's
# by its attributes, the file's by its time, which is not the one installed.
install_silently
expect_equal "setup.exe /S over what an uninstall left: status" "$rc" 0
mkdir -p "$work/elsewhere"
cp "$installed/data/conv.exe" "$work/elsewhere/conv.exe"
printf 'not Vintrel' >"$work/elsewhere/README.txt"
rm -r "$installed/data" "$installed/README.txt"
ln -s "$work/elsewhere" "$installed/data"
ln -s "$work/elsewhere/README.txt" "$installed/README.txt"
uninstall_silently "$installed"
[ -f "$work/elsewhere/conv.exe" ] || fail "the uninstaller deleted conv.exe through a link put in place of data"
expect_equal "a linked file's target after uninstalling" "$(cat "$work/elsewhere/README.txt")" "not Vintrel"
expect_equal "what the uninstaller left beside the links" "$(listing "$installed")" \
  "./README.txt ./data ./output ./output/kept.3gp ./setup.ini"
rm -r "$installed"

# A folder of the user's: a silent install refuses it whole and registers nothing.
mine_win="$local_app_data\Mine"
mine=$(winepath -u "$mine_win" 2>/dev/null)
mkdir -p "$mine"
printf 'my notes' >"$mine/README.txt"
printf 'my sound' >"$mine/sound.wav"
install_silently "/D=$mine_win"
expect_equal "setup.exe /S into a folder of the user's: status" "$rc" 2
expect_equal "the user's folder after a refused install" "$(listing "$mine")" "./README.txt ./sound.wav"
expect_equal "the user's README.txt" "$(cat "$mine/README.txt")" "my notes"
expect_equal "the user's sound.wav" "$(cat "$mine/sound.wav")" "my sound"
has_key "$uninstall_key" && fail "a refused install registered itself"

# The folder goes with the uninstall only when the installer made it; installing again over its
# own install keeps that knowledge. (/D= takes no quotes, and wine quotes an argument with blanks.)
for folder in MadeHere WasEmpty; do
  target=$(winepath -u "$local_app_data\\$folder" 2>/dev/null)
  [ "$folder" = WasEmpty ] && mkdir -p "$target"
  for round in first again; do
    install_silently "/D=$local_app_data\\$folder"
    expect_equal "setup.exe /S into \"$folder\" ($round): status" "$rc" 0
  done
  [ -f "$target/vintrel.exe" ] || fail "nothing installed into \"$folder\""
  uninstall_silently "$target"
done
[ ! -e "$(winepath -u "$local_app_data\MadeHere" 2>/dev/null)" ] || fail "the uninstaller left the folder it made"
expect_equal "the empty folder the installer was given, after uninstalling" \
  "$(listing "$(winepath -u "$local_app_data\WasEmpty" 2>/dev/null)" 2>&1)" ""
