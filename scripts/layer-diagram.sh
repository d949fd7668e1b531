#!/usr/bin/env bash
# Prints the product's link graph as a Mermaid diagram, read from the build
# itself (cmake --graphviz), so docs/architecture.md shows what the build
# declares rather than what someone remembers.
#   scripts/layer-diagram.sh BUILD_DIR            print the diagram
#   scripts/layer-diagram.sh BUILD_DIR --update F  replace the block between
#       the "layer-diagram" markers in F
# Tests, benches, fuzzers, sample generators and external libraries are left
# out; solid arrows are public links, dotted ones private.
set -euo pipefail
build=${1:?usage: layer-diagram.sh BUILD_DIR [--update FILE]}
[[ -f $build/CMakeCache.txt ]] || { echo "layer-diagram: $build is not a configured build folder" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build=$(cd "$build" && pwd)
# The options (which targets to leave out) are CMakeGraphVizOptions.cmake at
# the source root.
cmake --graphviz="$work/graph.dot" "$build" >/dev/null

awk '
  /^ *"node[0-9]+" \[ label = / {
    match($0, /"node[0-9]+"/); id = substr($0, RSTART + 1, RLENGTH - 2)
    match($0, /label = "[^"]*"/); name[id] = substr($0, RSTART + 9, RLENGTH - 10)
    next
  }
  /^ *"node[0-9]+" -> "node[0-9]+"/ {
    split($0, q, "\""); from = q[2]; to = q[4]
    if (from == to || !(from in name) || !(to in name)) next
    # External libraries the options could not leave out (imported targets,
    # plain library files).
    if (name[from] ~ /::|^\// || name[to] ~ /::|^\/|^dl$/) next
    style = ($0 ~ /dotted/) ? "-.->" : "-->"
    edges[++n] = from SUBSEP to SUBSEP style
  }
  END {
    print "```mermaid"
    print "graph TD"
    for (i = 1; i <= n; i++) {
      split(edges[i], e, SUBSEP)
      line = "  " name[e[1]] " " e[3] " " name[e[2]]
      if (!(line in seen)) { seen[line] = 1; out[++m] = line }
    }
    # A stable order, so the document only changes when the build does.
    for (i = 1; i <= m; i++) for (j = i + 1; j <= m; j++) if (out[j] < out[i]) { t = out[i]; out[i] = out[j]; out[j] = t }
    for (i = 1; i <= m; i++) print out[i]
    print "```"
  }' "$work/graph.dot" > "$work/diagram.md"

if [[ ${2:-} == --update ]]; then
  doc=${3:?--update needs a file}
  grep -q '<!-- layer-diagram begin -->' "$doc" || { echo "layer-diagram: no markers in $doc" >&2; exit 1; }
  awk -v diagram="$work/diagram.md" '
    /<!-- layer-diagram begin -->/ { print; while ((getline l < diagram) > 0) print l; skip = 1; next }
    /<!-- layer-diagram end -->/ { skip = 0 }
    !skip' "$doc" > "$work/doc.md"
  cat "$work/doc.md" > "$doc"
else
  cat "$work/diagram.md"
fi
