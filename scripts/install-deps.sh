#!/usr/bin/env bash
# Installs whatever the build, the tests and the demo need from Debian's archive.
# Quick when everything is already there; needs root only when something is missing.
# Usage: scripts/install-deps.sh [fuzz]   (fuzz: also what make fuzz needs)
set -euo pipefail

packages=(
    # build
    cmake make g++ pkg-config ccache
    qt6-base-dev qt6-base-dev-tools libqt6test6 qt6-httpserver-dev qt6-websockets-dev
    libpugixml-dev libsqlite3-dev sqlite3 libbenchmark-dev
    # house rules: the format check of make test, make tidy
    clang-format clang-tidy
    # tests and demo on a real X display with a window manager and a system tray
    xvfb xauth x11-utils xdotool openbox trayer imagemagick fonts-noto-cjk dbus
    # install and package: Qt's Chinese standard texts, the .deb and its checks
    qt6-translations-l10n qt6-qpa-plugins dpkg-dev file lintian desktop-file-utils appstream
    # tests on real desktops (ctest -L desktops): Qt on Wayland, GNOME's compositor
    # with XWayland, sway with swaybar, Xfce's panel and window manager; gdbus plays the tray host
    qt6-wayland mutter xwayland sway grim xfce4-panel xfwm4 xfconf libglib2.0-bin dbus-bin util-linux
    # the pop-up's X11 moves and the benchmark's X event watcher (bench/xwatch)
    libxcb1-dev
)

# make fuzz only: clang with libFuzzer and the sanitizer runtimes
fuzz_packages=(clang-14 libclang-rt-14-dev)
if [ "${1:-}" = fuzz ]; then
    packages+=("${fuzz_packages[@]}")
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "install-deps: missing packages: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    # Never ask for a password behind the user's back: say what to run instead.
    echo "install-deps: installing packages needs root; run:" >&2
    echo "    sudo $0${1:+ $1}" >&2
    echo "then run make again." >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
