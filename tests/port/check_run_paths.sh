#!/usr/bin/env bash
# No program or library built in the build tree looks for libraries in the
# working folder: every RUNPATH or RPATH entry is an absolute folder or one
# relative to $ORIGIN. An empty entry (CMake pads a run path with them, to
# make room for the installed one) or a relative one is taken from the
# working folder, where whoever may write it could plant a libinpout32.so
# that a program started there would load, running its constructor.
#
# usage: check_run_paths.sh BUILD_DIR PROGRAM...
#   (each PROGRAM must be among the files checked: the programs that look
#   for the port library by name)
set -u
build=$1
shift
command -v readelf >/dev/null || { echo "SKIP: readelf (binutils) is not installed"; exit 77; }

declare -A seen=()
failures=0 checked=0
while IFS= read -r -d '' file; do
  [[ $(head -c 4 "$file" 2>/dev/null | od -An -c | tr -d ' ') == 177ELF ]] || continue
  checked=$((checked + 1))
  seen[$(realpath "$file")]=1
  while IFS= read -r line; do
    kind=$(sed -n 's/.*(\(RUNPATH\|RPATH\)).*/\1/p' <<<"$line")
    path=$(sed -n 's/.*\[\(.*\)\]$/\1/p' <<<"$line")
    bad=
    [[ -z $path || $path == :* || $path == *: || $path == *::* ]] && bad="an empty entry (the working folder)"
    IFS=: read -ra entries <<<"$path"
    for entry in "${entries[@]}"; do
      [[ -z $entry || $entry == /* || $entry == '$ORIGIN'* || $entry == '${ORIGIN}'* ]] ||
        bad="the relative entry $entry"
    done
    if [[ -n $bad ]]; then
      echo "FAIL: ${file#"$build"/}: $kind [$path] holds $bad"
      failures=$((failures + 1))
    fi
  done < <(readelf -d "$file" 2>/dev/null | grep -E '\((RUNPATH|RPATH)\)')
done < <(find "$build" -type f \( -perm -u+x -o -name '*.so' -o -name '*.so.*' \) -print0)

for program in "$@"; do
  if [[ -z ${seen[$(realpath "$program")]:-} ]]; then
    echo "FAIL: $program was not among the files checked (not built?)"
    failures=$((failures + 1))
  fi
done
echo "checked the run paths of $checked ELF files"
echo "$((checked - failures < 0 ? 0 : checked - failures)) passed, $failures failed"
((failures == 0))
