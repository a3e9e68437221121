#!/usr/bin/env bash
# compare-calls.sh BASE_REV [FILE ...]
# Tells whether the working tree draws what BASE_REV draws: builds
# vantrel-thumbnailer of both (BASE_REV in a throwaway worktree under
# build/), runs each on every file with --calls and compares the lists.
# Without FILE arguments the files are the bundled samples, the fuzz corpus
# and generated benchmark programs (contour, dense, spiral, arcs, facing).
# Prints one line per file whose calls differ and a closing count; exits 1
# when any differ. Lists that differ stay in build/compare-calls/ to diff.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
[ $# -ge 1 ] || { echo "usage: $0 BASE_REV [FILE ...]" >&2; exit 2; }
base_rev=$(git rev-parse --verify "$1^{commit}")
shift

work=$root/build/compare-calls
base_tree=$root/build/compare-calls-base
mkdir -p "$work"

# The base, built once per revision.
if [ "$(cat "$base_tree/.rev" 2>/dev/null || true)" != "$base_rev" ]; then
  git worktree remove --force "$base_tree" 2>/dev/null || rm -rf "$base_tree"
  git worktree prune
  git worktree add --detach -q "$base_tree" "$base_rev"
  echo "$base_rev" >"$base_tree/.rev"
fi
(cd "$base_tree" && cmake --preset native >/dev/null &&
  cmake --build --preset native --target vantrel-thumbnailer >/dev/null)
cmake --preset native >/dev/null
cmake --build --preset native --target vantrel-thumbnailer vantrel-bench >/dev/null
base_bin=$base_tree/build/native/linux/thumbnailer/vantrel-thumbnailer
new_bin=$root/build/native/linux/thumbnailer/vantrel-thumbnailer

files=("$@")
if [ ${#files[@]} -eq 0 ]; then
  bench=$root/build/native/bench/vantrel-bench
  data=$work/programs
  mkdir -p "$data"
  for program in "20000 contour" "20000 dense --dense" "200000 spiral --spiral" \
              "50000 arcs --arcs" "50000 facing --facing"; do
    set -- $program
    [ -f "$data/$2.nc" ] || "$bench" generate "$1" "$data/$2.nc" 7 ${3:-} >/dev/null
  done
  files=()
  for file in samples/* fuzz/corpus/* "$data"/*.nc; do
    [ "$(basename "$file")" = README.md ] || files+=("$file")
  done
fi

differ=0
for file in "${files[@]}"; do
  name=$(echo "$file" | tr / _)
  # A run that writes no list (binary input) counts as no calls.
  : >"$work/$name.base"
  : >"$work/$name.new"
  "$base_bin" --calls "$work/$name.base" "$file" "$work/out.png" >/dev/null 2>&1 || true
  "$new_bin" --calls "$work/$name.new" "$file" "$work/out.png" >/dev/null 2>&1 || true
  # A refused file leaves no list: it counts as no calls.
  [ -f "$work/$name.base" ] || : >"$work/$name.base"
  [ -f "$work/$name.new" ] || : >"$work/$name.new"
  if cmp -s "$work/$name.base" "$work/$name.new"; then
    rm -f "$work/$name.base" "$work/$name.new"
  else
    echo "differs: $file ($(wc -l <"$work/$name.base") calls before, $(wc -l <"$work/$name.new") now)"
    differ=$((differ + 1))
  fi
done
echo "compare-calls: ${#files[@]} files, $differ differ from ${base_rev:0:10}"
[ "$differ" -eq 0 ]
