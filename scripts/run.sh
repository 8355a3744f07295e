#!/usr/bin/env bash
# Renders a few Nivora Glade pictures as PNG files (installing and building
# what it needs first) and says where they are.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh native
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target nivora-render >/dev/null

out=${1:-out}
mkdir -p "$out"
build/src/tools/nivora-render --size 1920x1080 --count 4 --out "$out/picture.png"
echo "Pictures written to $(cd "$out" && pwd)/picture-001.png ... picture-004.png"
