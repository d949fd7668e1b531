#!/usr/bin/env bash
# Writes the programs' man pages from their --help (and, for lenti, each
# command's --help): make-man-pages.sh [BUILD [OUT]], by default build and
# docs/man. Run it after changing a program's options and commit the pages.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-docs/man}
mkdir -p "$out"

# name, where the build puts it, what it does (the NAME line)
programs=(
  "pitchtest|apps/pitchtest/pitchtest|draw a pitch chart of a stereo pair for a lenticular sheet"
  "reelmix|apps/reelmix/reelmix|interleave a movie of nine views into lenticular frames"
  "parallax|apps/parallax/parallax|interleave two live cameras into a lenticular picture"
  "lenti|apps/lenti/lenti|lenticular pictures from the command line, without windows"
)

# Text as roff shows it verbatim: backslashes and minus signs escaped, and a
# line that starts with a dot or a quote kept from being a request.
roff_text() {
  sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"
}

all_names=()
for entry in "${programs[@]}"; do all_names+=("${entry%%|*}"); done

for entry in "${programs[@]}"; do
  IFS='|' read -r name path summary <<<"$entry"
  program="$build/$path"
  [ -x "$program" ] || { echo "make-man-pages: $program is not built" >&2; exit 1; }
  version=$("$program" --version | awk '{ print $NF }')
  help=$("$program" --help)
  see_also=()
  for other in "${all_names[@]}"; do [ "$other" = "$name" ] || see_also+=("$other (1)"); done
  {
    echo ".\\\" Written by scripts/make-man-pages.sh from $name --help: run it again instead of editing."
    echo ".TH ${name^^} 1 \"\" \"mavlib $version\" \"User Commands\""
    echo ".SH NAME"
    echo "$name \\- $summary"
    echo ".SH DESCRIPTION"
    echo ".nf"
    printf '%s\n' "$help" | roff_text
    echo ".fi"
    # Commands with options of their own: the lines under "Commands:".
    commands=$(printf '%s\n' "$help" | awk '/^Commands:/ { on = 1; next } on && /^  [a-z]/ { print $1 } on && !/^  / { on = 0 }')
    for command in $commands; do
      echo ".SS $name $command"
      echo ".nf"
      "$program" "$command" --help | roff_text
      echo ".fi"
    done
    if ! printf '%s\n' "$help" | grep -q -- '--version'; then
      echo ".SH OPTIONS"
      echo ".TP"
      echo ".B \\-\\-version"
      echo "show the program's name and version"
    fi
    echo ".SH SEE ALSO"
    (IFS=,; echo "${see_also[*]}" | sed -e 's/ (1)/(1)/g' -e 's/,/, /g')
  } >"$out/$name.1"
done
echo "make-man-pages: wrote ${all_names[*]/%/.1} in $out"
