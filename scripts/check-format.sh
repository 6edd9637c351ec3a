#!/usr/bin/env bash
# Fails, naming the files, when a C++ source of the project does not follow
# its .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
if git rev-parse --git-dir >/dev/null 2>&1; then
  list() { git ls-files -z --cached --others --exclude-standard -- '*.cpp' '*.h'; }
else
  list() { find src tests bench tools \( -name '*.cpp' -o -name '*.h' \) -print0; }
fi
report=$(list | xargs -0 -r -n 64 clang-format --dry-run 2>&1 | grep -E '^[^ ]+:[0-9]+:[0-9]+: (warning|error):' |
  cut -d: -f1 | sort -u || true)
if [ -n "$report" ]; then
  echo "These files do not follow .clang-format (run clang-format -i on them):" >&2
  printf '  %s\n' $report >&2
  exit 1
fi
