#!/usr/bin/env bash
# Builds the project with JUCE and everything else under the sanitizers and
# runs the tests, each sanitizer in its own build folder:
#   asan  AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer over
#         the whole test suite (build-asan)
#   tsan  ThreadSanitizer over the test programs that use threads (build-tsan)
# Usage: scripts/sanitize.sh [asan|tsan|all]   (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-all}
suppressions=$PWD/scripts/sanitizers

scripts/install-dependencies.sh test

# Configures and builds one sanitizer build from its CMake preset (asan:
# build-asan, tsan: build-tsan); the rest of the arguments are the targets
# (none: all of them).
build() {
  local preset=$1
  shift
  cmake --preset "$preset" >/dev/null
  if (($#)); then
    cmake --build --preset "$preset" --target "$@"
  else
    cmake --build --preset "$preset"
  fi
}

# Window tests need an X display: start a virtual one when there is none.
with_display() {
  if [[ -z "${DISPLAY:-}" ]]; then
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
  else
    "$@"
  fi
}

# UndefinedBehaviorSanitizer reports stay recoverable in the build, so that the
# suppressions can apply; halt_on_error ends the run at any other report.
run_asan() {
  build asan
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1
  export LSAN_OPTIONS=suppressions=$suppressions/lsan.supp:print_suppressions=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:suppressions=$suppressions/ubsan.supp
  # The asan test preset leaves out the tests labelled "uninstrumented": the
  # Windows plug-in and its installer (they run under Wine, outside the
  # sanitizers' reach), the Debian package (it installs the plain build), and
  # jalv (Debian's uninstrumented program cannot load an instrumented plug-in);
  # the README's test command covers them.
  local log
  log=$(mktemp)
  if with_display ctest --preset asan --output-log "$log"; then
    rm -f "$log"
    return 0
  fi
  # LeakSanitizer stops the process's threads with a tracer of its own before
  # it looks for leaks. Once, on a clean CI machine, that tracer crashed in four
  # tests that had passed ("Tracer caught signal 11"), which says nothing about
  # the code under test. When every failure is such a crash, the failed tests
  # run once more, leak checking still on; any other failure stands.
  local failures crashes
  failures=$(sed -n '/The following tests FAILED:/,$p' "$log" | grep -cE '^[[:space:]]+[0-9]+ - ' || true)
  crashes=$(grep -c 'LeakSanitizer has encountered a fatal error' "$log" || true)
  rm -f "$log"
  if ((crashes == 0 || crashes < failures)); then
    return 1
  fi
  echo "LeakSanitizer's tracer crashed in $crashes test(s); running the failed tests once more" >&2
  with_display ctest --preset asan --rerun-failed
}

run_tsan() {
  local programs=(varnoke_boundary_tests varnoke_editor_tests varnoke_host_tests varnoke_stress_tests
    varnoke_render_tests)
  build tsan "${programs[@]}"
  export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$suppressions/tsan.supp
  local status=0
  # The stress program's other tests repeat single-threaded work a thousand
  # times; the AddressSanitizer run covers them.
  with_display build-tsan/tests/plugin/varnoke_boundary_tests || status=1
  with_display build-tsan/tests/editor/varnoke_editor_tests || status=1
  with_display build-tsan/tests/host/varnoke_host_tests || status=1
  with_display build-tsan/tests/stress/varnoke_stress_tests --gtest_filter='ConcurrencyStress.*' || status=1
  # varnoke-render's batches render on worker threads; a report ends the tool
  # with a failing status, which the tests see.
  build-tsan/tests/tools/varnoke_render_tests --gtest_filter='RenderToolTest.Batch*' || status=1
  return $status
}

case $mode in
  asan) run_asan ;;
  tsan) run_tsan ;;
  all) run_asan && run_tsan ;;
  *) echo "usage: $0 [asan|tsan|all]" >&2; exit 2 ;;
esac
