#!/usr/bin/env bash
# tidy.sh [--program] [BUILD_DIR]: runs clang-tidy (checks in .clang-tidy)
# over every C++ file of the program, its clipboard helper, tests,
# benchmarks, fuzz targets and end-to-end tools that BUILD_DIR compiles, one
# file per core at a time, and fails on any warning. With --program, only the
# program's and the helper's own files (every program folder without the
# test fakes, and keeper): what the test run checks, in
# about half the time. Uses the compile database of BUILD_DIR (default
# build-asan, made by scripts/sanitized-build.sh; build it first, clang-tidy
# needs its generated moc files) and jq (scripts/deps.sh --test).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
dirs='app|capture|editor|files|form|formats|screen|clipboard|services|keeper|tests|fuzz|bench|sanitizers|e2e'
exclude='^$'
if [[ ${1:-} == --program ]]; then
  dirs='app|capture|editor|files|form|formats|screen|clipboard|services|keeper'
  exclude="^$root/services/fakes/"
  shift
fi
build=${1:-build-asan}
db=$build/compile_commands.json
[[ -f $db ]] || {
  echo "tidy: no $db; run scripts/sanitized-build.sh first" >&2
  exit 2
}

# The project's own sources, once each (the fuzz targets compile three of
# them again); generated files are left out.
mapfile -t files < <(sed -n 's/^ *"file": "\(.*\)",\{0,1\}$/\1/p' "$db" |
  grep -E "^$root/($dirs)/" | grep -v -E "$exclude" | sort -u)
((${#files[@]} > 0)) || { echo "tidy: no source files in $db" >&2; exit 2; }

# clang-tidy reads the files without the build's precompiled headers, as a
# build with -DZENTRIM_PCH=OFF would: a file that leans on them for an
# include it lacks fails here. It checks a file once for every command that
# compiles it, so the copy keeps one command a file.
tidy_db=$(mktemp -d)
log=$(mktemp)
trap 'rm -rf "$log" "$tidy_db"' EXIT
sed -E 's/ -Xclang -include-pch -Xclang [^ ]+ -Xclang -include -Xclang [^ ]+//g' "$db" |
  jq 'unique_by(.file)' >"$tidy_db/compile_commands.json"
start=$SECONDS
status=0
printf '%s\n' "${files[@]}" |
  xargs -P "$(nproc)" -n 1 clang-tidy-14 -p "$tidy_db" --quiet >"$log" 2>&1 || status=$?
warnings=$(grep -cE ': (warning|error): ' "$log" || true)
if ((status != 0 || warnings > 0)); then
  grep -E -A3 ': (warning|error): ' "$log" || tail -n 40 "$log"
  echo "tidy: $warnings warnings in ${#files[@]} files (status $status), $((SECONDS - start)) s" >&2
  exit 1
fi
echo "tidy: no warnings in ${#files[@]} files, $((SECONDS - start)) s"
