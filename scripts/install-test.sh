#!/usr/bin/env bash
# Installs a build into a temporary DESTDIR and checks it as the desktop
# would use it: the files, the desktop entry, the document type and, with
# `package`, the Debian package built from the same install.
# Usage: install-test.sh BUILD_DIR [package]
set -euo pipefail
build=$1 mode=${2:-files}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
share=$root/usr/share
fail() { echo "FAIL: $*"; exit 1; }

DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log" ||
  { cat "$work/install.log"; fail "cmake --install"; }

installed_files() { (cd "$1" && find . -type f -o -type l | sed 's|^\./|/|' | sort); }

check_files() {
  local sizes=(16 22 24 32 48 64 128 256) expected=(
    /usr/bin/quillmora /usr/bin/quillmora-cli
    /usr/share/applications/quillmora.desktop
    /usr/share/mime/packages/quillmora.xml
    /usr/share/icons/hicolor/scalable/apps/quillmora.svg
    /usr/share/man/man1/quillmora.1 /usr/share/man/man1/quillmora-cli.1
  )
  for size in "${sizes[@]}"; do expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/quillmora.png"); done
  # Exactly what belongs to the program: no caches of the system's.
  diff <(printf '%s\n' "${expected[@]}" | sort) <(installed_files "$root") ||
    fail "the installed files differ from the expected ones (< missing, > unexpected)"
  for f in /usr/bin/quillmora /usr/bin/quillmora-cli; do [[ -x $root$f ]] || fail "$f not executable"; done
  for size in "${sizes[@]}"; do
    local png=$share/icons/hicolor/${size}x${size}/apps/quillmora.png
    [[ $(file -b "$png") == "PNG image data, $size x $size, 8-bit/color RGBA"* ]] ||
      fail "icon $png: $(file -b "$png" 2>&1)"
  done
  desktop-file-validate "$share/applications/quillmora.desktop" || fail "desktop-file-validate"
  echo "files and desktop entry: ok"
}

# The document type as a desktop without its own database sees it: the
# installed tree is the user's data directory.
check_file_type() {
  local env=(env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION
             -u GNOME_DESKTOP_SESSION_ID -u XDG_SESSION_DESKTOP XDG_DATA_HOME="$share"
             XDG_DATA_DIRS=/usr/share XDG_CONFIG_HOME="$work/config" HOME="$work")
  "${env[@]}" update-mime-database "$share/mime" || fail "update-mime-database"
  grep -q '<comment xml:lang="de">Quillmora-Formeldokument</comment>' \
    "$share/mime/application/x-quillmora.xml" || fail "no German comment in the database"
  ASAN_OPTIONS=detect_leaks=0 QT_QPA_PLATFORM=offscreen "$root/usr/bin/quillmora-cli" sample "$work/x.qmt" ||
    fail "the installed quillmora-cli did not write a document"
  local type
  type=$(cd "$work" && "${env[@]}" xdg-mime query filetype x.qmt)
  [[ $type == application/x-quillmora* ]] || fail "xdg-mime says x.qmt is '$type'"
  "${env[@]}" update-desktop-database "$share/applications" || fail "update-desktop-database"
  local handler
  handler=$("${env[@]}" xdg-mime query default application/x-quillmora)
  [[ $handler == quillmora.desktop ]] || fail "the handler of the type is '$handler'"
  echo "file type: ok ($type, opened by $handler)"
}

# The package holds exactly the installed files and names what they need.
check_package() {
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" \
    -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
  local deb
  deb=$(ls "$work"/package/quillmora_*.deb)
  diff <(installed_files "$root") \
       <(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./|/|' | sort) ||
    fail "the package's files differ from the install"
  local depends
  depends=$(dpkg-deb -f "$deb" Depends)
  for needed in libqt6widgets6 libqt6svg6 qt6-qpa-plugins fonts-dejavu-core; do
    [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
  done
  echo "package $(basename "$deb"): ok; Depends: $depends"
}

if [[ $mode == package ]]; then
  check_package
else
  check_files
  check_file_type
fi
