#!/usr/bin/env bash
# The main job on the bundled samples: render the sample stereo pair, then
# let pitchtest chart it and save the chart. Without a display everything
# runs headless and a screenshot shows what the screen would; with one, the
# program opens with the pair loaded and Start pressed.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
mkdir -p out
cd out
"$build/samples/make_stereo_pair" stereo_pair.png
if [ -n "${DISPLAY:-}" ] && [ -z "${MAV_DEMO_HEADLESS:-}" ]; then
  exec "$build/apps/pitchtest/pitchtest" --pair stereo_pair.png --do "start"
fi
rm -f lenti_chart.png pitchtest-screen.png
start=$(date +%s.%N)
"$build/apps/pitchtest/pitchtest" --headless --pair stereo_pair.png \
  --do "start; idle; button cap; idle; screenshot pitchtest-screen.png; exit"
# The live compositor on two virtual cameras that show the pair's halves.
rm -f parallax-lenti.png parallax-screen.png
"$build/apps/parallax/parallax" --headless --camera-source stereo_pair.png \
  --do "idle; wait 1500; save-image 3 parallax-lenti.png; screenshot parallax-screen.png; exit"
end=$(date +%s.%N)
for f in lenti_chart.png pitchtest-screen.png parallax-lenti.png parallax-screen.png; do
  [ -s "$f" ] || { echo "demo: $f was not written" >&2; exit 1; }
done
awk -v s="$start" -v e="$end" 'BEGIN { printf "demo: wrote out/lenti_chart.png, out/pitchtest-screen.png, out/parallax-lenti.png and out/parallax-screen.png in %.1f s\n", e - s }'
