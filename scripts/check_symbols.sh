#!/usr/bin/env bash
# Fails when a layer's library needs a symbol that only a higher layer defines, or when one
# class has members defined in the libraries of two layers: every library defines what its
# headers declare. The layers, top down: app, discovery, patch, fonttables, platform.
# Usage: check_symbols.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: check_symbols.sh BUILD_DIR}
layers=(platform fonttables patch discovery app)
declare -A libraries=(
  [platform]="platform/libfrplatform.a platform/libfrplatform_desktop.a"
  [fonttables]="fonttables/libfrfonttables.a"
  [patch]="patch/libfrpatch.a"
  [discovery]="discovery/libfrdiscovery.a"
  [app]="app/libfrwizard.a"
)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Per layer: the symbols its objects define, and those they use without defining; and the
# classes (the scopes named with a capital) whose members it defines outright, not as inline
# or template copies.
: >"$work/classes"
for layer in "${layers[@]}"; do
  : >"$work/$layer.defined"
  : >"$work/$layer.used"
  for library in ${libraries[$layer]}; do
    [[ -f $build/$library ]] || { echo "symbols: no $build/$library (build first)"; exit 1; }
    nm -g -P "$build/$library" 2>/dev/null | awk '$2 !~ /^[Uwv]$/ && NF >= 2 && $1 !~ /:$/ {print $1}' >>"$work/$layer.defined"
    nm -g -P -u "$build/$library" 2>/dev/null | awk 'NF >= 2 && $1 !~ /:$/ {print $1}' >>"$work/$layer.used"
    nm -g -P --defined-only "$build/$library" 2>/dev/null | awk '$2 ~ /^[TDRB]$/ {print $1}' | c++filt -p |
      sed -nE 's/^(.*)::[^:]+$/\1/p' | grep -E '(^|::)[A-Z][A-Za-z0-9_]*$' | sed "s/\$/\t$layer/" >>"$work/classes" || true
  done
  sort -u -o "$work/$layer.defined" "$work/$layer.defined"
  sort -u -o "$work/$layer.used" "$work/$layer.used"
done

status=0
for ((own = 0; own < ${#layers[@]}; ++own)); do
  layer=${layers[own]}
  # What this layer and those below it define, and what only the layers above define.
  : >"$work/below"
  for ((k = 0; k <= own; ++k)); do cat "$work/${layers[k]}.defined" >>"$work/below"; done
  : >"$work/above"
  for ((k = own + 1; k < ${#layers[@]}; ++k)); do cat "$work/${layers[k]}.defined" >>"$work/above"; done
  sort -u -o "$work/below" "$work/below"
  sort -u -o "$work/above" "$work/above"
  upward=$(comm -23 "$work/$layer.used" "$work/below" | comm -12 - "$work/above")
  if [[ -n $upward ]]; then
    echo "layer error: $layer needs symbols only a higher layer defines:"
    c++filt <<<"$upward" | sed 's/^/  /'
    status=1
  fi
done
split=$(sort -u "$work/classes" | awk -F'\t' '{layers[$1] = layers[$1] " " $2; n[$1]++} END {for (c in n) if (n[c] > 1) print c ":" layers[c]}')
if [[ -n $split ]]; then
  echo "layer error: classes defined in more than one layer's library:"
  sed 's/^/  /' <<<"$split"
  status=1
fi
if ((status == 0)); then
  echo "symbols: no layer's library needs a symbol of a layer above it, and each class is defined in one layer"
fi
exit "$status"
