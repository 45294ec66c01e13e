#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Ringvale needs.
# Safe to run again; uses sudo when not already root.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkgconf
    qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev
    libsoxr-dev
    clang-format         # the layout check of the C++ files
    xdg-utils            # the desktop opener behind TShell
    xvfb xauth           # a display for the demo and screenshots on a headless machine
    espeak-ng sox        # regenerating the shipped sounds
    libbenchmark-dev     # the benchmarks in bench/
    dbus                 # a private session bus for the notification test (dbus-run-session)
    desktop-file-utils appstream   # validating the desktop entry and the metainfo
    libcurl4-openssl-dev qtkeychain-qt6-dev   # mailing messages; the mail password in the keyring
    python3-aiosmtpd openssl       # a loopback mail server and its certificate for the mail tests
    liblinphone-dev sip-tester     # SIP lines; an independent SIP peer for their tests
)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

export DEBIAN_FRONTEND=noninteractive
as_root apt-get update -q
as_root apt-get install -y -q --no-install-recommends "${packages[@]}"
