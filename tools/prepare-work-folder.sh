#!/usr/bin/env bash
# Lays out the game's working folder: sounds, help, shipped data and the
# battle-record folder. Files the player already has there are kept.
set -euo pipefail
cd "$(dirname "$0")/.."
dest=${1:-work-folder}
mkdir -p "$dest/kbtfiles"
if [ -d assets/work ]; then
  for f in assets/work/*; do
    [ -e "$f" ] || continue
    name=$(basename "$f")
    case "$name" in
      oprec|zffile|statfile) [ -e "$dest/$name" ] || cp "$f" "$dest/$name" ;;
      *) cp "$f" "$dest/$name" ;;
    esac
  done
fi
if [ -d assets/images ]; then
  mkdir -p "$dest/images"
  cp assets/images/*.png "$dest/images/" 2>/dev/null || true
fi
