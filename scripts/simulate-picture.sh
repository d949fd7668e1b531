#!/usr/bin/env bash
# Remakes the README's pictures of lenti simulate from the bundled sample
# pair: the pair interleaved for a sheet of pitch 23.006 (docs/images/
# simulate-lenti.png) and what the left eye sees through that sheet
# (docs/images/simulate-eye1.png).
#   scripts/simulate-picture.sh [BUILD_DIR]   (default: build)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
images=$(cd "$(dirname "$0")/.." && pwd)/docs/images
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$images"
"$build/samples/make_stereo_pair" "$work/pair.png" 320 200
"$build/apps/lenti/lenti" render --pair "$work/pair.png" --pitch 23.006 --size 320x200 --out "$work/lenti.png"
"$build/apps/lenti/lenti" simulate --picture "$work/lenti.png" --pitch 23.006 --eyes 2 --out "$work/eyes"
cp "$work/lenti.png" "$images/simulate-lenti.png"
cp "$work/eyes/eye_1.png" "$images/simulate-eye1.png"
echo "wrote $images/simulate-lenti.png and $images/simulate-eye1.png"
