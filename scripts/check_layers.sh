#!/usr/bin/env bash
# Fails when a source file includes from a layer above its own. The layers, top down:
# app, discovery, patch, fonttables, platform. Usage: check_layers.sh [SOURCE_DIR]
set -euo pipefail
top=${1:-$(cd "$(dirname "$0")/.." && pwd)}
rank() {
  case $1 in
    platform) echo 0 ;; fonttables) echo 1 ;; patch) echo 2 ;; discovery) echo 3 ;; app) echo 4 ;; *) echo -1 ;;
  esac
}
status=0
for layer in platform fonttables patch discovery app; do
  own=$(rank "$layer")
  while IFS= read -r line; do
    file=${line%%:*}
    included=$(sed -E 's/.*#include "([a-z]+)\/.*/\1/' <<<"$line")
    theirs=$(rank "$included")
    if (( theirs > own )); then
      echo "layer error: ${file#"$top"/} ($layer) includes from $included: ${line#*:}"
      status=1
    fi
  done < <(grep -HE '^#include "[a-z]+/' "$top/$layer"/*.h "$top/$layer"/*.cpp 2>/dev/null || true)
done
if ((status == 0)); then echo "layers: every include points down (app > discovery > patch > fonttables > platform)"; fi
exit "$status"
