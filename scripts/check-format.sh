#!/bin/sh
# Fails when a C++ file of the tree differs from what .clang-format makes of
# it: one style, kept by the formatter rather than by review.
#   scripts/check-format.sh        check (CI)
#   scripts/check-format.sh --fix  rewrite the files in place
set -eu
cd "$(dirname "$0")/.."
format=clang-format-14
files=$(git ls-files '*.cpp' '*.h' '*.hpp')
if [ "${1:-}" = "--fix" ]; then
    # shellcheck disable=SC2086
    $format -i $files
    exit 0
fi
# shellcheck disable=SC2086
if ! $format --dry-run --Werror $files; then
    echo "check-format: run scripts/check-format.sh --fix" >&2
    exit 1
fi
