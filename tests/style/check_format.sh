#!/usr/bin/env bash
# Every source is laid out as .clang-format says; prints what differs.
#   check_format.sh SOURCE_DIR
set -euo pipefail
root=$1
source "$(dirname "$0")/sources.sh"
if ! command -v clang-format >/dev/null; then
  echo "SKIP: clang-format is not installed (scripts/install-deps.sh installs it)"
  exit 77
fi
mapfile -t files < <(project_sources "$root")
cd "$root"
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "Sources differ from .clang-format's layout: run clang-format -i on the files named above."
  exit 1
fi
echo "${#files[@]} sources match .clang-format."
