#!/usr/bin/env bash
# deps.sh [--package | --test]: installs the Debian packages needed to build
# Zentrim Screen; with --package also the tools that make and check its Debian
# package; with --test those and everything the tests use (virtual X server,
# window manager, input and clipboard tools, ImageMagick, a PDF printer, a
# headless Wayland desktop with the screenshot portal). Only missing packages
# are installed; as a normal user it prints the command to run instead and
# exits non-zero.
#
# One package or a small group a line, each with its reason, so that lists
# edited side by side merge cleanly.
set -euo pipefail

BUILD_PACKAGES=(
  cmake ninja-build g++
  # CMake's FindPkgConfig, which locates the XCB libraries.
  pkg-config
  # Qt 6 widgets and printing; its CMake files look for OpenGL (GL, GLX)
  # and the Vulkan headers.
  qt6-base-dev qt6-base-dev-tools libgl-dev libglx-dev libvulkan-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libturbojpeg0-dev
  # ISA-L's deflate for the clipboard's PNG files.
  libisal-dev
  # The clipboard helper's Wayland side (data-control, through wayland-scanner).
  libwayland-bin
  # Screen grabs through XCB, with shared memory; the capture latency
  # benchmark clicks through XTest, the soak benchmark counts the program's
  # X resources (X-Resource).
  libxcb1-dev libxcb-shm0-dev libx11-xcb-dev libx11-dev libxcb-xtest0-dev libxcb-res0-dev
  fonts-dejavu-core fonts-liberation
  # Qt's wayland platform, to run on Wayland desktops.
  qt6-wayland
  # The Wayland client library, for the tests' pointer helper and the
  # clipboard helper.
  libwayland-dev
)
PACKAGE_PACKAGES=(
  # CPack's DEB generator: dpkg-shlibdeps computes Depends, file picks the
  # binaries it reads.
  dpkg-dev file
  # Checks of the package's menu entry, AppStream metadata and the whole .deb.
  desktop-file-utils
  appstream
  lintian
  # man --warnings renders the manual pages.
  man-db
)
TEST_PACKAGES=(
  xvfb xauth openbox xdotool xclip x11-utils
  # Monitors, resources and wallpaper of the other desktops the capture is
  # checked on.
  x11-xserver-utils feh
  imagemagick
  cups printer-driver-cups-pdf poppler-utils
  # The Wayland desktop (e2e/wayland.sh): headless sway with a wallpaper,
  # screenshots and the clipboard from outside, a D-Bus session, PipeWire
  # (the wlr portal backend will not start without it) and the screenshot
  # portal (the gtk backend provides the access check the portal needs).
  sway swaybg grim wl-clipboard jq
  # The KDE Plasma desktop (e2e/kwin.sh): KWin alone, headless; its own
  # screenshot interface needs no portal.
  kwin-wayland
  dbus-daemon dbus-bin pipewire
  xdg-desktop-portal xdg-desktop-portal-wlr xdg-desktop-portal-gtk
  # The GNOME desktop (e2e/gnome.sh): headless GNOME Shell and GNOME's
  # portal backend (screenshots; the gtk one above answers its access check).
  gnome-shell xdg-desktop-portal-gnome
  # The sanitized build and the fuzz targets (clang, its sanitizer and
  # libFuzzer runtimes) and the static checks.
  clang-14 libclang-rt-14-dev clang-tidy-14
)

usage() { echo "usage: $0 [--package | --test]" >&2; exit 2; }

packages=("${BUILD_PACKAGES[@]}")
case ${1:-} in
  "") ;;
  --package) packages+=("${PACKAGE_PACKAGES[@]}") ;;
  --test) packages+=("${PACKAGE_PACKAGES[@]}" "${TEST_PACKAGES[@]}") ;;
  *) usage ;;
esac

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [[ $status == installed ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  echo "deps: all ${#packages[@]} packages installed"
  exit 0
fi

install=(apt-get install -y --no-install-recommends "${missing[@]}")
if ((EUID != 0)); then
  echo "deps: missing packages: ${missing[*]}" >&2
  echo "deps: install them with:" >&2
  echo "  sudo apt-get update && sudo DEBIAN_FRONTEND=noninteractive ${install[*]}" >&2
  exit 1
fi

echo "deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
"${install[@]}" </dev/null
