#!/usr/bin/env bash
# Installs everything the build and the tests need on a fresh Debian machine.
# Idempotent: a second run finds everything in place and changes nothing.
# Run as root (CI runs as root).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
third="$here/third_party"
packages=(
  cmake ninja-build
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-tools binutils-mingw-w64-i686
  wine wine32:i386 wine64 libwine-dev
  xvfb xauth x11-utils imagemagick
  googletest
  librsvg2-bin fonts-dejavu-core
  dpkg-dev python3
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
)

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi

# pugixml's source comes from Debian's source package: add a deb-src entry
# matching the archive the machine already uses.
src_list=/etc/apt/sources.list.d/ovrix-src.sources
if [ ! -f "$src_list" ]; then
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -e 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > "$src_list"
  else
    grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' > /etc/apt/sources.list.d/ovrix-src.list
    touch "$src_list"
  fi
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ $need_update -eq 1 ]; then
  apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# pugixml 1.13 source, unpacked into an ignored folder.
if [ ! -f "$third/pugixml/src/pugixml.cpp" ]; then
  mkdir -p "$third"
  tmp=$(mktemp -d); chmod 755 "$tmp"
  (cd "$tmp" && apt-get source --download-only -qq pugixml >/dev/null)
  tarball=$(ls "$tmp"/pugixml_*.orig.tar.* | head -n 1)
  rm -rf "$third/pugixml"
  mkdir -p "$third/pugixml"
  tar -xf "$tarball" -C "$third/pugixml" --strip-components=1
  rm -rf "$tmp"
  grep -q 'PUGIXML_VERSION 1130' "$third/pugixml/src/pugixml.hpp" \
    || echo "setup: warning: pugixml source is not version 1.13" >&2
fi
echo "setup: done"
