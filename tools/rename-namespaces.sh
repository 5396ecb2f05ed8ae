#!/bin/sh
# Spells the project's own sub-namespaces in snake_case. Namespaces of
# static functions that keep the names the design gives them
# (AXTextExtractor, ToneTheme, SurfaceTagResolver, …) stay as they are.
# Safe to run again, also after merging branches that still use the old
# spellings: it renames only `Old::` and `namespace Old` (with or without
# `mivo::`), so test suites and types that share a word keep theirs.
set -eu
cd "$(dirname "$0")/.."

renames="
ToneMessages tone_messages
FieldWrites field_writes
FieldFocus field_focus
ShortcutCapture shortcut_capture
"

files=$(git ls-files -- src tests bench tools | grep -E '\.(cpp|hpp|h|inc|ipp)$' || true)
[ -n "$files" ] || exit 0

changed=""
echo "$renames" | while read -r old new; do
    [ -n "$old" ] || continue
    for f in $(grep -lE "\\b$old(::|\\b)" $files || true); do
        sed -i -E "s/\\b$old::/$new::/g; s/(namespace (mivo::)?)$old\\b/\\1$new/g" "$f"
    done
done

# Longer names may break a line past the column limit.
if command -v clang-format >/dev/null 2>&1; then
    for f in $(git diff --name-only -- $files); do
        clang-format -i "$f"
    done
fi
