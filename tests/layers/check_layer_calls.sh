#!/bin/sh
# Reads the symbols that each platform layer's objects define and use, and
# fails on any call into a layer that the caller does not use (see
# plat_layer in platform/CMakeLists.txt): a call upward or sideways.
#
#   check_layer_calls.sh NM CXXFILT MANIFEST
#
# MANIFEST has one line per layer: name, the layers it uses (comma separated,
# may be empty) and its object files, separated by tabs.
set -eu

nm_tool=$1
cxxfilt=$2
manifest=$3

# Calls the layering allows although they go up, as "caller callee symbol":
# the core makes its default backend through the factory (a function the core
# declares and the factory defines), so that a program that never chooses a
# backend still gets the headless one. The factory is the one place that
# knows the backends; the core includes none of their headers.
allowed="plat_core plat_backends _ZN4plat6detail20make_default_backendEv"

[ -r "$manifest" ] || { echo "check_layer_calls: cannot read $manifest" >&2; exit 2; }

symbols=$(mktemp)
trap 'rm -f "$symbols"' EXIT

# One line per symbol: layer, object, D (defined) or U (undefined), symbol.
# Weak definitions (inline functions, templates) are made in every layer that
# uses them and say nothing about who owns them.
tab=$(printf '\t')
while IFS="$tab" read -r layer uses objects; do
    [ -n "$layer" ] || continue
    set -f
    old_ifs=$IFS
    IFS=$tab
    # shellcheck disable=SC2086
    set -- $objects
    IFS=$old_ifs
    set +f
    [ $# -gt 0 ] || continue
    "$nm_tool" -P -A "$@" | awk -v layer="$layer" '
        { obj = $1; sub(/:$/, "", obj); n = split(obj, parts, "/"); obj = parts[n] }
        $3 == "U" { print layer "\t" obj "\tU\t" $2; next }
        $3 ~ /^[TDBRG]$/ { print layer "\t" obj "\tD\t" $2 }'
done < "$manifest" > "$symbols"

violations=$(awk -F '\t' -v allowed="$allowed" '
    FNR == NR {
        uses[$1] = "," $2 ","
        next
    }
    $3 == "D" { if (!($4 in owner)) owner[$4] = $1; next }
    { calls[++n] = $0 }
    END {
        for (i = 1; i <= n; ++i) {
            split(calls[i], f, "\t")
            caller = f[1]; callee = owner[f[4]]
            if (callee == "" || callee == caller || index(uses[caller], "," callee ",")) continue
            if (allowed == caller " " callee " " f[4]) continue
            print caller "\t" f[2] "\t" f[4] "\t" callee
        }
    }' "$manifest" "$symbols")

[ -z "$violations" ] && { echo "No layer calls a layer it does not use."; exit 0; }

echo "Calls into layers that are not below the caller:"
echo "$violations" | sort -u | while IFS="$tab" read -r caller object symbol callee; do
    name=$("$cxxfilt" "$symbol" 2>/dev/null || echo "$symbol")
    echo "  $caller ($object) calls $name, defined by $callee"
done
exit 1
