#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on, JUCE included) in build-fuzz and runs each
# for a bounded time, starting from the committed seed corpus.
#   scripts/fuzz.sh [SECONDS] [TARGET...]   (default: 90 s each; state_chunk host_calls)
# CI runs the bounded default; for a long run, e.g. scripts/fuzz.sh 3600.
# New inputs go to build-fuzz/corpus/TARGET; an input that crashes is saved in
# build-fuzz/artifacts/ and belongs, minimised, in tests/fuzz/corpus/TARGET/
# with a regression test.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-90}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(state_chunk host_calls)

scripts/install-dependencies.sh test

cmake --preset fuzz >/dev/null
cmake --build build-fuzz --target "${targets[@]/#/varnoke_fuzz_}"

suppressions=$PWD/scripts/sanitizers
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$suppressions/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:suppressions=$suppressions/ubsan.supp

# The host-call target opens the editor when there is a display.
run() {
  if [[ -z "${DISPLAY:-}" ]]; then
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
  else
    "$@"
  fi
}

mkdir -p build-fuzz/artifacts
status=0
for target in "${targets[@]}"; do
  work=build-fuzz/corpus/$target
  mkdir -p "$work"
  dictionary=()
  [[ -f tests/fuzz/$target.dict ]] && dictionary=(-dict="tests/fuzz/$target.dict")
  # State chunks may grow past the state reader's 64 KiB limit; host-call
  # scripts build large chunks from repeated pieces and stay short.
  max_len=4096
  [[ $target == state_chunk ]] && max_len=80000
  echo "== fuzzing $target for ${seconds} s"
  rc=0
  run "build-fuzz/tests/fuzz/varnoke_fuzz_$target" -max_total_time="$seconds" -timeout=30 -max_len="$max_len" \
    -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="build-fuzz/artifacts/$target-" \
    "${dictionary[@]}" "$work" "tests/fuzz/corpus/$target" >"build-fuzz/$target.log" 2>&1 || rc=$?
  grep -E 'INFO: seed corpus|#[0-9]+ +DONE|^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)|^SUMMARY' \
    "build-fuzz/$target.log" || true
  if ((rc != 0)); then
    status=1
    echo "== $target FAILED (exit $rc); see build-fuzz/$target.log"
    tail -60 "build-fuzz/$target.log"
  fi
done
exit $status
