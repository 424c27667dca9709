#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/) and runs each for SECONDS (default 60),
# one after the other, starting from the seed inputs in tests/fuzz/corpus/<target>. New inputs
# are kept in build-fuzz/corpus/<target>; a crash or broken check leaves its input in
# build-fuzz/findings/<target>/ and makes the script fail.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_json fuzz_appcast fuzz_install_output)
"$root/scripts/install-deps.sh" --fuzz
build="${CORVANE_FUZZ_BUILD_DIR:-$root/build-fuzz}"
if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCORVANE_FUZZ=ON >/dev/null
fi
ninja -C "$build" "${targets[@]}"

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  findings="$build/findings/$t"
  mkdir -p "$corpus" "$findings"
  dict=()
  [ -f "$root/tests/fuzz/$t.dict" ] && dict=(-dict="$root/tests/fuzz/$t.dict")
  echo "== $t: ${seconds}s"
  if "$build/tests/fuzz/$t" "$corpus" "$root/tests/fuzz/corpus/$t" "${dict[@]}" \
      -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -timeout=10 \
      -artifact_prefix="$findings/" -print_final_stats=1 >"$build/$t.log" 2>&1; then
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^#[0-9]+.*DONE' "$build/$t.log" | tail -3 || true
    echo "   corpus: $(ls "$corpus" | wc -l) inputs, no findings"
  else
    status=1
    echo "   FINDING (log: $build/$t.log, input in $findings/)"
    grep -E 'ERROR|fuzz check failed|SUMMARY' "$build/$t.log" | head -5 || true
  fi
done
exit $status
