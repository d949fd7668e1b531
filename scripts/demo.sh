#!/usr/bin/env bash
# The main job on the bundled samples. Until the lenticular programs are in,
# it runs the small demo program headlessly: start, let it run, stop, and a
# screenshot of its screen.
set -euo pipefail
build=${1:-build}
out=out
mkdir -p "$out"
"$build/tools/mavdemo/mavdemo" --headless --screen 1280x720 \
  --do "start; wait 300; stop; idle; screenshot $out/demo-screen.png; exit"
echo "demo: wrote $out/demo-screen.png"
