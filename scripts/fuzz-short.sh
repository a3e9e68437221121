#!/bin/sh
# A short, bounded fuzz run of the interpreter, the thumbnail composition and
# the KDE plugin's byte source: builds the fuzz preset (clang, libFuzzer,
# ASan + UBSan) into build/fuzz and runs each fuzz target for SECONDS
# (default 30) from the seed corpus in fuzz/corpus. Exits non-zero when a
# target finds a crash, a hang (over 5 s for one input), a leak, undefined
# behaviour or a broken check.
#
#   scripts/fuzz-short.sh [SECONDS]
#
# Whatever the fuzzer finds or learns stays in build/fuzz: findings in
# build/fuzz/artifacts, the grown corpus in build/fuzz/corpus/<target>.
set -u

seconds=${1:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"
targets="fuzz_toolpath fuzz_stream fuzz_file_source"
cd "$root"

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset fuzz -B "$build" >/dev/null || exit 1
fi
# shellcheck disable=SC2086
cmake --build "$build" --target $targets || exit 1

mkdir -p "$build/artifacts"
status=0
for target in $targets; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  log="$build/$target.log"
  echo "fuzz-short: $target for ${seconds}s (log: $log)"
  # The grown corpus comes first: new inputs are written there, never into
  # the seed corpus in the tree. A run's memory grows with what libFuzzer
  # keeps of its corpus (about 400 MB after 150 s here), so the limit that
  # catches runaway memory sits well above that.
  if "$build/fuzz/$target" "$corpus" "$root/fuzz/corpus" \
       -dict="$root/fuzz/nc.dict" \
       -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -max_len=8192 \
       -artifact_prefix="$build/artifacts/$target-" -print_final_stats=1 \
       >"$log" 2>&1; then
    grep -E '^#[0-9]+' "$log" | tail -n 1 | sed 's/^/  /'
  else
    status=1
    echo "fuzz-short: $target FOUND A PROBLEM; the end of its log:" >&2
    tail -n 40 "$log" >&2
    ls -1 "$build/artifacts" | sed "s|^|  $build/artifacts/|" >&2
  fi
done
exit $status
