#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Lists the source files of ours whose first lines lack the licence identifier, and fails if
# there are any. With --fix it inserts the line instead, as a comment in each file's syntax.
#   scripts/check-spdx.sh [--fix] [FILE...]
# Without FILE it looks at every file git knows of (tracked, or new and not ignored).
set -euo pipefail
cd "$(dirname "$0")/.."

identifier="SPDX-License-Identifier: GPL-3.0-or-later"
# Far enough down for a shebang or an XML declaration and a line of description.
head_lines=5

fix=false
if [ "${1:-}" = "--fix" ]; then
  fix=true
  shift
fi

# The comment that carries the line in the file's own syntax; nothing for files that are not
# ours to mark: corpora, pictures, documents, the licence texts, and the AppStream metadata,
# whose own licence (metadata_license) is a permissive one.
comment_for() {
  local file=$1
  case "$file" in
    fuzz/corpus/* | *.metainfo.xml | *.metainfo.xml.in) return ;;
    *.cpp | *.h | *.hpp | *.cc | *.cpp.in | *.h.in) echo "// $identifier" ;;
    CMakeLists.txt | */CMakeLists.txt | *.cmake | *.sh | *.desktop) echo "# $identifier" ;;
    *.svg | *.xml | *.xml.in) echo "<!-- $identifier -->" ;;
    *.[1-8] | *.[1-8].in) echo ".\\\" $identifier" ;;
    *)
      # Scripts without an extension, such as the CI entry point.
      if head -c 2 "$file" | grep -q '^#!'; then echo "# $identifier"; fi
      ;;
  esac
}

# A shebang or an XML declaration must stay the first line, so the comment goes after it.
insert_line() {
  local file=$1 comment=$2 after=0
  if head -n 1 "$file" | grep -q '^#!\|^<?xml'; then after=1; fi
  local temporary
  temporary=$(mktemp)
  { head -n "$after" "$file"; printf '%s\n' "$comment"; tail -n "+$((after + 1))" "$file"; } >"$temporary"
  # Keep the file's mode (scripts stay executable).
  cat "$temporary" >"$file"
  rm -f "$temporary"
}

if [ $# -gt 0 ]; then
  files=("$@")
else
  # Outside a checkout there is no list of our files, and a check of nothing would pass.
  if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    echo "check-spdx: not a git checkout; name the files to check" >&2
    exit 2
  fi
  mapfile -t files < <(git ls-files --cached --others --exclude-standard)
fi

missing=0
for file in "${files[@]}"; do
  [ -f "$file" ] || continue
  comment=$(comment_for "$file")
  [ -n "$comment" ] || continue
  if head -n "$head_lines" "$file" | grep -qF "$identifier"; then continue; fi
  if $fix; then
    insert_line "$file" "$comment"
    echo "added: $file"
  else
    echo "$file"
    missing=$((missing + 1))
  fi
done

if [ "$missing" -gt 0 ]; then
  echo "$missing file(s) lack \"$identifier\"; scripts/check-spdx.sh --fix adds it." >&2
  exit 1
fi
