#!/usr/bin/env bash
# Installs the build into a temporary prefix and starts the installed program: every file is
# in its standard place, --version answers, and the program runs offscreen on a folder of its
# own until SIGTERM saves and ends it.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
home=$(mktemp -d)
trap 'rm -rf "$prefix" "$home"' EXIT

cmake --install "$build" --prefix "$prefix" > /dev/null
for file in bin/ringvale bin/ringvale-modemsim \
    share/applications/org.ringvale.Ringvale.desktop \
    share/metainfo/org.ringvale.Ringvale.metainfo.xml \
    share/icons/hicolor/scalable/apps/org.ringvale.Ringvale.svg \
    share/icons/hicolor/16x16/apps/org.ringvale.Ringvale.png \
    share/icons/hicolor/256x256/apps/org.ringvale.Ringvale.png \
    share/doc/ringvale/help/ringvale.html; do
    [ -f "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done

version=$("$prefix/bin/ringvale" --version)
[[ $version == "Ringvale "* ]] || { echo "unexpected --version: $version"; exit 1; }

export QT_QPA_PLATFORM=offscreen HOME=$home XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data
"$prefix/bin/ringvale" --folder "$home/calls" &
pid=$!
for _ in $(seq 100); do [ -f "$home/calls/RINGVALE.CNF" ] && break; sleep 0.1; done
[ -f "$home/calls/RINGVALE.CNF" ] || { echo "the installed program did not start"; kill $pid; exit 1; }
sleep 0.5
kill -TERM $pid
wait $pid || { echo "the installed program did not end cleanly on SIGTERM"; exit 1; }
echo "installed into $prefix and ran: $version"
