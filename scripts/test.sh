#!/usr/bin/env bash
# Builds both flavours and runs every test, installing what is missing first:
#
#   1. the Debian packages (scripts/install-deps.sh)
#   2. the native build with AddressSanitizer + UBSan, and its tests
#   3. the native build with ThreadSanitizer, and its tests
#   4. the fuzz targets, ten seconds each (scripts/fuzz.sh)
#   5. the Windows build, and its tests under Wine inside Xvfb
#   6. the release (scripts/release.sh): installed, started, given a job and
#      removed in a fresh Wine prefix, the portable zip started, and two builds
#      of the commit compared byte for byte
#   7. a screenshot of the real window (scripts/screenshot.sh)
#   8. screenshots of the command bar and the preferences window
#      (scripts/screenshot-buttons.sh)
#   9. the main and preferences windows at 100 % and 150 % display scale
#      (scripts/screenshot-scale.sh)
#
# The screenshots go to build/screenshots/: a test run changes no tracked
# file. scripts/refresh-pictures.sh puts new ones in docs/.
#
# Stops at the first failure. The last line counts the tests of every CTest
# run: "N passed, N failed". Each step has a time limit, and the whole run
# stays within RAVELUND_TEST_BUDGET seconds (default 85 minutes).
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root" || exit 1
logs="$root/build/logs"
mkdir -p "$logs" || exit 1

budget="${RAVELUND_TEST_BUDGET:-5100}"
passed=0
failed=0
skipped=0
step_number=0

finish() {
  local status=$?
  echo
  if [[ $status -eq 0 ]]; then
    echo "test.sh: all steps passed in $((SECONDS / 60)) min $((SECONDS % 60)) s"
  fi
  if [[ $skipped -gt 0 ]]; then
    echo "test.sh: $skipped tests skipped (not counted below)"
  fi
  echo "$passed passed, $failed failed"
}
trap finish EXIT

stop() {
  echo >&2
  echo "test.sh: FAILED at step $step_number: $*" >&2
  exit 1
}

# Seconds a step may take: its own limit, or what is left of the budget.
limit_for() {
  local wanted="$1" left=$((budget - SECONDS))
  if [[ $left -lt 10 ]]; then
    stop "the run used up its ${budget} s budget"
  fi
  echo $((wanted < left ? wanted : left))
}

banner() {
  step_number=$((step_number + 1))
  echo
  echo "==== $step_number. $* ($((SECONDS / 60)) min $((SECONDS % 60)) s)"
}

# Runs a step under its time limit; stops the run when it fails.
step() {
  local title="$1" wanted="$2"
  shift 2
  banner "$title"
  local limit status=0
  limit="$(limit_for "$wanted")" || exit 1
  timeout -k 30 "$limit" "$@" || status=$?
  if [[ $status -eq 124 ]]; then
    stop "$title: no result after ${limit} s"
  elif [[ $status -ne 0 ]]; then
    stop "$title (exit code $status)"
  fi
}

# Runs a CTest command (the arguments after the title and limit), adds its
# counts to the totals and stops the run when a test failed.
ctest_step() {
  local title="$1" wanted="$2"
  shift 2
  banner "$title"
  local limit status=0 log
  limit="$(limit_for "$wanted")" || exit 1
  log="$logs/$(tr -c 'a-z0-9\n' '-' <<<"${title,,}" | tr -s '-').log"
  timeout -k 30 "$limit" "$@" 2>&1 | tee "$log"
  status=${PIPESTATUS[0]}
  local counts
  counts="$(grep -Eo '[0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)"
  if [[ -n "$counts" ]]; then
    local bad total not_run
    read -r bad _ _ _ _ total <<<"$counts"
    # CTest counts a skipped test as passed; it is listed as "(Skipped)".
    not_run="$(grep -Ec '^[[:space:]]*[0-9]+ - .* \((Skipped|Disabled|Not Run)\)$' "$log" || true)"
    failed=$((failed + bad))
    passed=$((passed + total - bad - not_run))
    skipped=$((skipped + not_run))
  fi
  if [[ $status -eq 124 ]]; then
    stop "$title: no result after ${limit} s (log: $log)"
  elif [[ $status -ne 0 ]]; then
    stop "$title (exit code $status; log: $log)"
  elif [[ -z "$counts" ]]; then
    stop "$title: CTest reported no count (log: $log)"
  fi
}

ctest_options=(--output-on-failure --no-tests=error)

# Sanitizer reports end the test that triggered them, with the whole stack.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:check_initialization_order=1:strict_init_order=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}"

step "Debian packages" 1800 scripts/install-deps.sh

step "native build (AddressSanitizer, UBSan)" 1800 scripts/build.sh native
ctest_step "native tests (AddressSanitizer, UBSan)" 1200 \
  ctest --test-dir build/native -j 2 "${ctest_options[@]}"

step "native build (ThreadSanitizer)" 1800 scripts/build.sh tsan
ctest_step "native tests (ThreadSanitizer)" 1200 \
  ctest --test-dir build/tsan -j 2 "${ctest_options[@]}"

if [[ -f scripts/fuzz.sh ]]; then
  step "fuzzing, 10 s per target" 1200 bash scripts/fuzz.sh 10
fi

step "Windows build" 1800 scripts/build.sh windows
# One at a time: the tests open windows on one display and look them up by title.
ctest_step "Windows tests under Wine and Xvfb" 1800 \
  scripts/with-xvfb.sh --fresh-prefix --timeout 1750 \
  ctest --test-dir build/windows -LE release "${ctest_options[@]}"

# A prefix where nothing was ever installed, as on a new Windows machine.
ctest_step "the release installed, run and removed under Wine" 2400 \
  scripts/with-xvfb.sh --fresh-prefix --timeout 2350 \
  ctest --test-dir build/windows -L release "${ctest_options[@]}"

if [[ -f scripts/screenshot.sh ]]; then
  step "screenshot of the main window" 600 scripts/screenshot.sh build/screenshots/screenshot.png
fi

if [[ -f scripts/screenshot-buttons.sh ]]; then
  step "screenshots of the command bar and the preferences window" 600 \
    scripts/screenshot-buttons.sh build/screenshots
fi

if [[ -f scripts/screenshot-scale.sh ]]; then
  step "screenshots at 100 % and 150 % display scale" 600 \
    scripts/screenshot-scale.sh build/screenshots
fi
