#!/usr/bin/env bash
# The mutation check: does the suite catch the faults it is meant to catch?
#
#   tests/mutants/run.sh [PATCH...]     (default: every tests/mutants/*.patch)
#
# Each patch puts one small fault into the program. Its header names the
# fault ("Fault:") and the tests that should catch it ("Caught-by:"). For
# each patch the script applies it to a clean copy of the committed tree,
# builds what those tests need (incrementally), runs them and reports
#
#   caught      at least one of the tests failed
#   SURVIVED    they all passed (or skipped): nothing catches the fault
#   NO-APPLY    the patch no longer fits the code: re-make it
#   NO-BUILD    the fault does not compile: re-make it
#
# then takes the patch out again. Before the first patch it runs every named
# test on the clean copy: a test that fails there makes its results
# meaningless, and is reported as such.
#
# SOURCE and BUILD check a checkout in place, in its own (configured) build
# folder, instead of a copy: faster, and each patch is taken out again; the
# checkout must have no uncommitted changes to the program.
# REV (default HEAD) chooses the commit to check in a copy. WORK (default
# /tmp/vaultrane-mutants) holds the copy, its build folder and a
# log per patch; JOBS (default 2) is the build's parallelism. Slow (a build
# and a test run per patch) and run as root for the ordinary-account tests:
# not part of CI. Exit status 1 when a patch survived or no longer applies.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
top=$(git -C "$here" rev-parse --show-toplevel)
work=${WORK:-/tmp/vaultrane-mutants}
jobs=${JOBS:-2}
rev=${REV:-HEAD}
src=${SOURCE:-$work/src}
build=${BUILD:-$work/build}
logs=$work/logs
mkdir -p "$src" "$logs"

if [ $# -eq 0 ]; then
  set -- "$here"/*.patch
fi

if [ -z "${SOURCE:-}" ]; then
  # The clean copy: the committed tree. Files that did not change keep their
  # time stamps, so the build stays incremental from one run to the next.
  fresh=$(mktemp -d "$work/fresh.XXXXXX")
  git -C "$top" archive --format=tar "$rev" | tar -x -C "$fresh"
  (cd "$fresh" && find . -type f) | while read -r file; do
    if ! cmp -s "$fresh/$file" "$src/$file"; then
      mkdir -p "$(dirname "$src/$file")"
      cp -p "$fresh/$file" "$src/$file"
    fi
  done
  (cd "$src" && find . -type f) | while read -r file; do
    [ -e "$fresh/$file" ] || rm -f "$src/$file"
  done
  rm -rf "$fresh"
  cmake -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$logs/configure.log" 2>&1 || {
    echo "configure failed: $logs/configure.log"; exit 2; }
fi

echo "building the clean tree in $build"
cmake --build "$build" -j"$jobs" > "$logs/build.log" 2>&1 || {
  echo "the clean tree does not build: $logs/build.log"; exit 2; }

testsOf() { sed -n 's/^Caught-by: *//p' "$1" | head -1; }
faultOf() { sed -n 's/^Fault: *//p' "$1" | head -1; }
# ctest's name filter for a list of test names.
filterOf() { echo "^($(echo "$*" | tr -s ' ' '|'))\$"; }
# The build targets behind test names: an _ordinary run uses its test's binary.
targetsOf() { for name in "$@"; do echo "${name%_ordinary}"; done | sort -u; }

all_tests=$(for patch in "$@"; do testsOf "$patch"; done | tr ' ' '\n' | grep . | sort -u)
echo "running the named tests on the clean copy"
broken=""
for name in $all_tests; do
  if ! ctest --test-dir "$build" -R "$(filterOf "$name")" --output-on-failure > "$logs/clean-$name.log" 2>&1; then
    broken="$broken $name"
    echo "  $name FAILS on the clean copy: $logs/clean-$name.log"
  fi
done

caught=0
survived=0
unusable=0
for patch in "$@"; do
  id=$(basename "$patch" .patch)
  tests=$(testsOf "$patch")
  log=$logs/$id.log
  : > "$log"
  if ! patch -d "$src" -p1 -s --dry-run < "$patch" >> "$log" 2>&1; then
    printf '%-10s %-42s %s\n' NO-APPLY "$id" "$(faultOf "$patch")"
    unusable=$((unusable + 1))
    continue
  fi
  patch -d "$src" -p1 -s --no-backup-if-mismatch < "$patch" >> "$log" 2>&1
  # shellcheck disable=SC2046
  if ! cmake --build "$build" -j"$jobs" --target $(targetsOf $tests) >> "$log" 2>&1; then
    result=NO-BUILD
    unusable=$((unusable + 1))
  elif ctest --test-dir "$build" -R "$(filterOf "$tests")" --output-on-failure >> "$log" 2>&1; then
    result=SURVIVED
    survived=$((survived + 1))
  else
    result=caught
    caught=$((caught + 1))
  fi
  patch -d "$src" -p1 -R -s --no-backup-if-mismatch < "$patch" >> "$log" 2>&1
  failing=$(grep -oE '[0-9]+ - [A-Za-z0-9_]+ \(Failed|[0-9]+ - [A-Za-z0-9_]+ \(Timeout' "$log" |
            sed -E 's/^[0-9]+ - //; s/ \(.*//' | tr '\n' ' ')
  printf '%-10s %-42s %s%s\n' "$result" "$id" "$(faultOf "$patch")" "${failing:+ [by: $failing]}"
done

# Rebuild the clean tree, so that the next run starts from it.
cmake --build "$build" -j"$jobs" > "$logs/build.log" 2>&1
echo "caught $caught, survived $survived, unusable $unusable of $# faults${broken:+; failing on the clean copy:$broken}"
[ "$survived" -eq 0 ] && [ "$unusable" -eq 0 ]
