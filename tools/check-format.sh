#!/usr/bin/env bash
# Fails, naming the files, when a C++ file that git tracks is not laid out
# as .clang-format says. `clang-format -i FILE...` fixes them.
#   tools/check-format.sh
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror 2>/dev/null || {
  echo "check-format: these files differ from .clang-format's layout:" >&2
  git ls-files -z '*.cpp' '*.h' | xargs -0 -n1 sh -c 'clang-format --dry-run --Werror "$0" 2>/dev/null || echo "  $0"' >&2
  exit 1
}
echo "check-format: every C++ file is laid out as .clang-format says"
