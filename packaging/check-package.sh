#!/usr/bin/env bash
# check-package.sh STEP BUILD_DIR VERSION: builds or checks the Debian package
# zentrim-screen_VERSION_ARCH.deb in BUILD_DIR. Each STEP is one ctest test:
#
#   build     makes the package with CPack from the build tree's install rules
#   contents  every file in its place with sound modes; nothing elsewhere (no
#             /usr/local, no build-tree path); Depends from dpkg-shlibdeps;
#             the version the same in control, changelog, metadata and manual
#   metadata  desktop-file-validate, appstreamcli and man on the installed
#             files, and the references between them
#   lintian   lintian finds neither errors nor warnings
#   run       the installed binary, unpacked into a scratch root, opens its
#             window on a private X desktop and keeps a crop on the clipboard
#             after Exit through the installed helper (the e2e scenarios
#             window_opens and clipboard_kept_after_exit)
#
# Prints "FAIL: ..." for each problem found and exits non-zero if any.
set -euo pipefail

if (($# != 3)); then
  echo "usage: $0 build|contents|metadata|lintian|run BUILD_DIR VERSION" >&2
  exit 2
fi
STEP=$1
BUILD_DIR=$(realpath "$2")
VERSION=$3
SOURCE_DIR=$(realpath "$(dirname "${BASH_SOURCE[0]}")/..")
ARCH=$(dpkg --print-architecture)
DEB=$BUILD_DIR/zentrim-screen_${VERSION}_${ARCH}.deb
NAME=zentrim-screen

failures=0
problem() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
ok() { echo "ok: $*"; }

ROOT=
cleanup() { [[ -z $ROOT ]] || rm -rf "$ROOT"; }
trap cleanup EXIT

# unpack: the package's files into a scratch root, $ROOT.
unpack() {
  [[ -s $DEB ]] || { echo "FAIL: no package at $DEB (the build step makes it)" >&2; exit 1; }
  ROOT=$(mktemp -d "${TMPDIR:-/tmp}/zentrim-deb.XXXXXX")
  dpkg-deb -x "$DEB" "$ROOT"
}

# The files every package holds, relative to the root.
DESKTOP=usr/share/applications/$NAME.desktop
MANPAGE=usr/share/man/man1/$NAME.1.gz
# The clipboard helper: the program starts it from its own folder.
HELPER=$NAME-clipboard
HELPER_MANPAGE=usr/share/man/man1/$HELPER.1.gz
REQUIRED=(
  "usr/bin/$NAME"
  "usr/bin/$HELPER"
  "$DESKTOP"
  "$MANPAGE"
  "$HELPER_MANPAGE"
  "usr/share/doc/$NAME/copyright"
  "usr/share/doc/$NAME/changelog.gz"
)
# Where files may go; their parent folders are allowed as entries too.
ALLOWED_PREFIXES=(
  usr/bin/
  "usr/libexec/$NAME/"
  usr/share/applications/
  usr/share/icons/hicolor/
  usr/share/metainfo/
  usr/share/man/man1/
  "usr/share/doc/$NAME/"
)

# metainfo_file: the one AppStream file in the package (relative path).
metainfo_file() {
  local found=("$ROOT"/usr/share/metainfo/*.metainfo.xml)
  if ((${#found[@]} != 1)) || [[ ! -f ${found[0]} ]]; then
    problem "expected exactly one usr/share/metainfo/*.metainfo.xml, found: ${found[*]##*/}"
    return 1
  fi
  echo "${found[0]#"$ROOT"/}"
}

# xml_value FILE ELEMENT: the text of the first <ELEMENT ...>text</ELEMENT>
# on one line (the metadata file is ours and written that way).
xml_value() { sed -n "s|.*<$2[^>]*>\\([^<]*\\)</$2>.*|\\1|p" "$1" | head -n 1; }

# desktop_value KEY: the value of KEY in the installed menu entry.
desktop_value() { sed -n "s/^$1=//p" "$ROOT/$DESKTOP" | head -n 1; }

allowed_path() { # PATH without ./ (a folder ends in /)
  local p=$1 prefix
  [[ -z $p ]] && return 0
  for prefix in "${ALLOWED_PREFIXES[@]}"; do
    [[ $p == "$prefix"* || $prefix == "$p"* ]] && return 0
  done
  return 1
}

step_build() {
  local cpack=${CPACK_COMMAND:-cpack}
  rm -f "$DEB"
  "$cpack" -G DEB --config "$BUILD_DIR/CPackConfig.cmake" -B "$BUILD_DIR"
  [[ -s $DEB ]] || problem "cpack did not make $DEB"
}

step_contents() {
  unpack
  # Control fields.
  local field want got
  for field in "Package $NAME" "Version $VERSION" "Architecture $ARCH" "Section graphics"; do
    read -r field want <<<"$field"
    got=$(dpkg-deb -f "$DEB" "$field")
    [[ $got == "$want" ]] || problem "control field $field is '$got', expected '$want'"
  done
  # Recommends: what a Wayland session needs (any portal backend will do).
  local recommends wanted_rec
  recommends=$(dpkg-deb -f "$DEB" Recommends)
  for wanted_rec in qt6-wayland xdg-desktop-portal xdg-desktop-portal-backend; do
    [[ ",$recommends," =~ [,\|][[:space:]]*${wanted_rec}[[:space:]]*[,\|] ]] ||
      problem "Recommends lacks $wanted_rec: '$recommends'"
  done

  # Depends holds every dependency dpkg-shlibdeps finds in the binaries.
  local depends shlibs work elf dep
  depends=$(dpkg-deb -f "$DEB" Depends)
  work=$(mktemp -d "$ROOT/.shlibs.XXXXXX")
  mkdir -p "$work/debian"
  printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$NAME" "$NAME" >"$work/debian/control"
  mapfile -t elves < <(find "$ROOT/usr" -type f -exec sh -c 'file -b "$1" | grep -q "^ELF"' _ {} \; -print)
  ((${#elves[@]} > 0)) || problem "no ELF binary in the package"
  shlibs=$(cd "$work" && dpkg-shlibdeps -O "${elves[@]}" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
  rm -rf "$work"
  [[ -n $shlibs ]] || problem "dpkg-shlibdeps found no dependencies"
  IFS=',' read -ra wanted <<<"$shlibs"
  for dep in "${wanted[@]}"; do
    dep=$(echo "$dep" | sed 's/^ *//; s/ *$//')
    [[ ", $depends," == *", $dep,"* ]] || problem "Depends lacks '$dep' (Depends: $depends)"
  done
  ok "Depends holds the ${#wanted[@]} dependencies dpkg-shlibdeps finds"

  # Required files, and the application icon at every size assets/ draws.
  local path icon size
  for path in "${REQUIRED[@]}"; do
    [[ -f $ROOT/$path ]] || problem "missing /$path"
  done
  local drawn=0
  for icon in "$SOURCE_DIR"/assets/icons/app-*.png; do
    size=${icon##*/app-}
    size=${size%.png}
    path=usr/share/icons/hicolor/${size}x${size}/apps/$NAME.png
    drawn=$((drawn + 1))
    if [[ ! -f $ROOT/$path ]]; then
      problem "missing /$path"
    elif ! file -b "$ROOT/$path" | grep -q "^PNG image data, $size x $size,"; then
      problem "/$path is not a $size x $size PNG: $(file -b "$ROOT/$path")"
    fi
  done
  local installed
  installed=$(find "$ROOT/usr/share/icons/hicolor" -type f 2>/dev/null | wc -l)
  ((installed == drawn)) || problem "$installed icons installed, $drawn drawn in assets/icons"
  metainfo_file >/dev/null || true
  ok "${#REQUIRED[@]} files and $drawn icon sizes checked"

  # Every entry: under an allowed folder, owned by root, with sound modes.
  local perms owner rest entry
  while read -r perms owner _ _ _ rest; do
    entry=${rest#./}
    allowed_path "$entry" || problem "/$entry is outside the folders a package of ours installs to"
    [[ $entry == usr/local/* ]] && problem "/$entry is under /usr/local"
    [[ $owner == root/root ]] || problem "/$entry is owned by $owner"
    case $perms in
      d*) [[ $perms == drwxr-xr-x ]] || problem "folder /$entry has mode $perms" ;;
      -rwxr-xr-x) [[ $entry == usr/bin/* || $entry == usr/libexec/* ]] ||
        problem "/$entry is executable outside bin and libexec" ;;
      -rw-r--r--) ;;
      *) problem "/$entry has mode $perms" ;;
    esac
  done < <(dpkg-deb -c "$DEB")

  # Binaries: stripped, and no library search path of their own.
  for elf in "${elves[@]}"; do
    file -b "$elf" | grep -q ', stripped' || problem "/${elf#"$ROOT"/} is not stripped"
    if readelf -d "$elf" | grep -qE '\((RPATH|RUNPATH)\)'; then
      problem "/${elf#"$ROOT"/} has a library search path: $(readelf -d "$elf" | grep -E 'R(UN)?PATH')"
    fi
  done

  # No file names the build or source tree.
  local f
  while IFS= read -r -d '' f; do
    if { [[ $f == *.gz ]] && zcat "$f" || cat "$f"; } | grep -qF -e "$BUILD_DIR" -e "$SOURCE_DIR"; then
      problem "/${f#"$ROOT"/} names the build or source folder"
    fi
  done < <(find "$ROOT/usr" -type f -print0)

  # One version everywhere: control, changelog, metadata, manual page.
  local changelog metainfo
  changelog=$(zcat "$ROOT/usr/share/doc/$NAME/changelog.gz" | dpkg-parsechangelog -l - -S Version 2>/dev/null || true)
  [[ $changelog == "$VERSION" ]] || problem "the changelog's newest entry is '$changelog', the package $VERSION"
  if metainfo=$(metainfo_file); then
    got=$(grep -o '<release version="[^"]*"' "$ROOT/$metainfo" | head -n 1 | cut -d'"' -f2)
    [[ $got == "$VERSION" ]] || problem "the metadata's newest release is '$got', the package $VERSION"
  fi
  local page
  for page in "$MANPAGE" "$HELPER_MANPAGE"; do
    zcat "$ROOT/$page" | grep -q "^\\.TH .*\"Zentrim Screen $VERSION\"" ||
      problem "/$page: the title line does not name version $VERSION"
  done
  ok "contents of ${DEB##*/}"
}

step_metadata() {
  unpack
  local out
  # The menu entry: valid without even a hint, and pointing at our files.
  out=$(desktop-file-validate "$ROOT/$DESKTOP" 2>&1) || problem "desktop-file-validate failed"
  [[ -z $out ]] || problem "desktop-file-validate: $out"
  local key
  for key in Type Name GenericName Comment Exec Icon Categories Keywords; do
    [[ -n $(desktop_value "$key") ]] || problem "the menu entry has no $key"
  done
  local exec program icon
  exec=$(desktop_value Exec)
  # The installed entry names the program by its full path (KWin lends its
  # screenshot only to the binary the entry names).
  program=${exec%% *}
  [[ $program == /* && -x $ROOT$program ]] || problem "Exec=$exec names no installed program by its path"
  icon=$(desktop_value Icon)
  [[ -n $(find "$ROOT/usr/share/icons/hicolor" -name "$icon.png") ]] || problem "Icon=$icon names no installed icon"
  local word
  for word in screenshot crop clipboard; do
    [[ ";$(desktop_value Keywords)" == *";$word;"* ]] || problem "Keywords lack '$word'"
  done

  # AppStream: strict validation of the file and of the installed tree (which
  # also follows the launchable to the menu entry).
  local metainfo
  if metainfo=$(metainfo_file); then
    out=$(appstreamcli validate --no-net --strict "$ROOT/$metainfo" 2>&1) || problem "appstreamcli validate: $out"
    out=$(appstreamcli validate-tree --no-net --strict "$ROOT" 2>&1) || problem "appstreamcli validate-tree: $out"
    local id
    id=$(xml_value "$ROOT/$metainfo" id)
    [[ ${metainfo##*/} == "$id.metainfo.xml" ]] || problem "$metainfo does not carry its id '$id'"
    [[ $(xml_value "$ROOT/$metainfo" launchable) == "${DESKTOP##*/}" ]] ||
      problem "the metadata's launchable is not ${DESKTOP##*/}"
    [[ $(xml_value "$ROOT/$metainfo" binary) == "${program##*/}" ]] || problem "the metadata provides no binary '${program##*/}'"
    [[ $(xml_value "$ROOT/$metainfo" image) == https://*.png ]] || problem "the screenshot is not an https URL of a PNG"
    grep -q '<content_rating type="oars-1.1"' "$ROOT/$metainfo" || problem "no OARS content rating"
    grep -q '<description>' "$ROOT/$metainfo" || problem "no description"
  fi

  # The manual pages: render without warnings; the program's has the usual
  # sections.
  local page
  for page in "$MANPAGE" "$HELPER_MANPAGE"; do
    out=$(man --warnings -E UTF-8 -l "$ROOT/$page" 2>&1 >/dev/null) || problem "man /$page failed: $out"
    [[ -z $out ]] || problem "man warns on /$page: $out"
  done
  local section
  for section in NAME SYNOPSIS DESCRIPTION OPTIONS DESKTOPS CLIPBOARD FILES "EXIT STATUS"; do
    zcat "$ROOT/$MANPAGE" | grep -qx "\\.SH \"\\?$section\"\\?" || problem "the manual page has no $section section"
  done
  ok "metadata of ${DEB##*/}"
}

step_lintian() {
  [[ -s $DEB ]] || { echo "FAIL: no package at $DEB (the build step makes it)" >&2; exit 1; }
  local out status=0
  out=$(lintian --fail-on error,warning "$DEB" 2>&1) || status=$?
  # Lintian also notes that it runs as root: about the checking machine, not
  # the package.
  grep -v 'running with root privileges' <<<"$out" || true
  ((status == 0)) || problem "lintian reports errors or warnings (status $status)"
}

step_run() {
  unpack
  local app=$ROOT/usr/bin/$NAME scenario
  # The window opens; and after a crop and Exit the crop stays on the
  # clipboard, which needs the installed helper where the program looks for
  # it. Each scenario's own output says PASS or FAIL with the reason.
  for scenario in window_opens clipboard_kept_after_exit; do
    (cd "$BUILD_DIR" && bash "$SOURCE_DIR/e2e/run-scenario.sh" "$SOURCE_DIR/e2e/scenarios/$scenario.sh" "$app") ||
      problem "the installed program failed $scenario"
  done
}

case $STEP in
  build | contents | metadata | lintian | run) "step_$STEP" ;;
  *)
    echo "unknown step '$STEP'" >&2
    exit 2
    ;;
esac
((failures == 0)) || { echo "$failures problem(s) found" >&2; exit 1; }
