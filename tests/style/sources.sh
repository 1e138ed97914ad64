# The project's own C and C++ sources, one per line, relative to the source
# folder given: what git tracks where it is a clone, else what find sees
# outside the build folders.
project_sources() {
  local root=$1
  if git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git -C "$root" ls-files -- '*.c' '*.cpp' '*.h'
  else
    (cd "$root" && find . \( -path './build*' -o -path './.git' \) -prune -o \
      -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) -print | sed 's|^\./||' | sort)
  fi
}
