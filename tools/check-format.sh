#!/usr/bin/env bash
# Fails, naming the files, when a C++ file of the sources is not laid out
# as .clang-format says. `clang-format -i FILE...` fixes them.
#   tools/check-format.sh
set -euo pipefail
cd "$(dirname "$0")/.."

# The files git tracks; in sources that are not a git work tree of their
# own (an archive of them), every C++ file outside the build folders.
sources() {
  if [[ $(git rev-parse --show-toplevel 2>/dev/null) == "$(pwd -P)" ]]; then
    git ls-files -z '*.cpp' '*.h'
  else
    find . -path './build*' -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print0
  fi
}

sources | xargs -0 clang-format --dry-run --Werror 2>/dev/null || {
  echo "check-format: these files differ from .clang-format's layout:" >&2
  sources | xargs -0 -n1 sh -c 'clang-format --dry-run --Werror "$0" 2>/dev/null || echo "  $0"' >&2
  exit 1
}
echo "check-format: every C++ file is laid out as .clang-format says"
