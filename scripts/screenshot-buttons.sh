#!/usr/bin/env bash
# Builds the Windows program, opens it under Wine inside Xvfb and photographs
# the command bar in both button styles (with the desktop's visual styles on,
# then off) and in each look (normal, pointer over "Paramètres", "Paramètres"
# pressed, "Paramètres" disabled), and the preferences window:
#
#   docs/buttons-themed.png   the four looks, top to bottom, visual styles on
#   docs/buttons-classic.png  the same with visual styles off
#   docs/preferences.png      the preferences window
#
#   scripts/screenshot-buttons.sh [OUTPUT-FOLDER]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
output="$(realpath -m "${1:-$root/docs}")"
build="${RAVELUND_BUILD_DIR:-$root/build/windows}"
program="$build/ravelund.exe"
pose_program="$build/tests/ravelund_pose.exe"
theme_key='HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager'

say() {
  echo "screenshot-buttons: $*" >&2
}

if [[ "${RAVELUND_SCREENSHOT_INSIDE:-}" != 1 ]]; then
  "$root/scripts/install-deps.sh"
  "$root/scripts/build.sh" windows
  export RAVELUND_SCREENSHOT_INSIDE=1
  exec "$root/scripts/with-xvfb.sh" --timeout 400 "$root/scripts/screenshot-buttons.sh" "$output"
fi

# ---- inside Xvfb --------------------------------------------------------------
# The title carries the version the build was made with.
title="Ostrevak Tessune $(sed -n 's/^#define RAVELUND_VERSION_TITLE "\(.*\)"$/\1/p' \
  "$build/generated/version.h")"
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
scratch="$(mktemp -d)"
runner=""
# shellcheck disable=SC2317  # called by the EXIT trap
cleanup() {
  if [[ -n "$runner" ]] && kill -0 "$runner" 2>/dev/null; then
    kill -TERM "$runner" 2>/dev/null || true
  fi
  ravelund_wine_quiet wine reg add "$theme_key" /v ThemeActive /t REG_SZ /d 1 /f || true
  rm -rf "$scratch"
}
trap cleanup EXIT

pose() {
  RAVELUND_WINE_TIMEOUT=30 "$root/scripts/wine-run.sh" "$pose_program" "$@" 2>/dev/null | tr -d '\r'
}

# Crops the screen to "X Y WIDTH HEIGHT" into the given file.
shoot() {
  local x y width height
  read -r x y width height <<<"$1"
  import -window root "$scratch/screen.png"
  convert "$scratch/screen.png" -crop "${width}x${height}+${x}+${y}" +repage "$2"
}

start_program() {
  RAVELUND_WINE_TIMEOUT=240 "$root/scripts/wine-run.sh" "$program" &
  runner=$!
  local pattern="^${title//./\\.}\$"
  for _ in {1..120}; do
    if xdotool search --onlyvisible --name "$pattern" >/dev/null 2>&1; then
      sleep 1
      return 0
    fi
    kill -0 "$runner" 2>/dev/null || break
    sleep 0.5
  done
  say "the main window did not appear"
  exit 1
}

stop_program() {
  pose quit || true
  for _ in {1..40}; do
    kill -0 "$runner" 2>/dev/null || return 0
    sleep 0.25
  done
  say "ravelund.exe did not close; stopping it"
  kill -TERM "$runner" 2>/dev/null || true
}

# The four looks of the command bar, appended top to bottom.
shoot_bar() {
  local style="$1" bar
  bar="$(pose rect bar)"
  [[ -n "$bar" ]] || { say "no command bar"; exit 1; }
  xdotool mousemove 5 5
  pose reset
  sleep 0.3
  shoot "$bar" "$scratch/$style-1.png"
  local x y
  read -r x y <<<"$(pose centre 17)"
  xdotool mousemove "$x" "$y"
  sleep 0.3
  shoot "$bar" "$scratch/$style-2.png"
  xdotool mousemove 5 5
  sleep 0.3
  pose reset
  pose press 17
  sleep 0.3
  shoot "$bar" "$scratch/$style-3.png"
  pose reset
  pose disable 17
  sleep 0.3
  shoot "$bar" "$scratch/$style-4.png"
  pose reset
  convert "$scratch/$style-1.png" "$scratch/$style-2.png" "$scratch/$style-3.png" \
    "$scratch/$style-4.png" -background white -splice 0x6 -append -chop 0x6 \
    "$output/buttons-$style.png"
  say "wrote $output/buttons-$style.png"
}

mkdir -p "$output"

# Visual styles on (Wine's default theme).
ravelund_wine_quiet wine reg add "$theme_key" /v ThemeActive /t REG_SZ /d 1 /f
start_program
shoot_bar themed
pose open-preferences
pose tick 34 36 >/dev/null
sleep 0.5
shoot "$(pose rect preferences)" "$output/preferences.png"
say "wrote $output/preferences.png"
pose close-preferences
sleep 0.5
stop_program

# Visual styles off: the program starts with the classic frames.
ravelund_wine_quiet wine reg add "$theme_key" /v ThemeActive /t REG_SZ /d 0 /f
start_program
shoot_bar classic
stop_program

# A picture that never painted is a single colour.
for picture in "$output/buttons-themed.png" "$output/buttons-classic.png" "$output/preferences.png"; do
  spread="$(convert "$picture" -format '%[fx:standard_deviation]' info:)"
  if awk -v s="$spread" 'BEGIN { exit !(s < 0.01) }'; then
    say "$picture is blank"
    exit 1
  fi
done
exit 0
