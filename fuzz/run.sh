#!/usr/bin/env bash
# Builds every fuzz target with clang's libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for a bounded time (seconds,
# default 60). Fails on any crash, leak, sanitizer report or model mismatch;
# the input that caused it is saved in fuzz/crashes/<target>/, where the
# ordinary test build replays it from then on.
#
#   fuzz/run.sh [SECONDS]
#
# FUZZ_SEED=N fixes libFuzzer's random seed (CI does, so that its runs repeat).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
build=build/fuzz
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOMBRIX_FUZZ=ON >/dev/null
cmake --build "$build" -j 2 >/dev/null

status=0
for source in fuzz/fuzz_*.cc; do
  target=$(basename "$source" .cc)
  name=${target#fuzz_}
  work=$(mktemp -d)
  mkdir -p "fuzz/crashes/$name"
  echo "== $target: ${seconds}s"
  # New inputs go to a scratch corpus; the shipped seeds are only read.
  seed=()
  [ -n "${FUZZ_SEED:-}" ] && seed=(-seed="$FUZZ_SEED")
  if "$build/fuzz/$target" "${seed[@]}" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
      -print_final_stats=1 -artifact_prefix="fuzz/crashes/$name/" \
      "$work" "fuzz/corpus/$name" >"$work.log" 2>&1; then
    grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb)' "$work.log" || true
  else
    status=1
    echo "!! $target failed:"
    tail -n 40 "$work.log"
  fi
  rm -rf "$work" "$work.log"
done
exit "$status"
