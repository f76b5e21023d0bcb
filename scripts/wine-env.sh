# shellcheck shell=bash
# The Wine environment shared by the scripts that run the Windows build.
# Source it; it defines functions and exports the variables Wine reads.
#
# Layout under build/wine (RAVELUND_WINE_DIR overrides it):
#   template/     a pristine prefix, made once by wineboot and never run in
#   prefix/       the prefix the programs run in, a `cp -a` copy of template/
#   server.key    the display the running wineserver was started for
#   session.lock  held by one Xvfb session (or one stand-alone run) at a time
#   init.lock     held while the prefix is made or the wineserver started
#
# Environment a caller may set:
#   RAVELUND_WINE_DIR         where the prefixes live (default build/wine)
#   RAVELUND_WINE_LOCALE      the locale Wine runs in (default C.UTF-8: English
#                             texts, ANSI code page 1252); e.g. fr_FR.UTF-8 for
#                             French message-box buttons. Generated when missing.
#   RAVELUND_WINE_LOCK_WAIT   seconds to wait for another session (default 1200)
#   RAVELUND_WINE_PERSIST     seconds an idle wineserver stays (default 600)
#   RAVELUND_WINEDEBUG        replaces WINEDEBUG=-all when hunting a Wine problem

# The template is made in subshells that point WINEPREFIX elsewhere on purpose.
# shellcheck disable=SC2030,SC2031
RAVELUND_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
RAVELUND_WINE_DIR="${RAVELUND_WINE_DIR:-$RAVELUND_ROOT/build/wine}"
export RAVELUND_ROOT RAVELUND_WINE_DIR

export WINEPREFIX="$RAVELUND_WINE_DIR/prefix"
export WINEARCH=win64
export WINEDEBUG="${RAVELUND_WINEDEBUG:--all}"
# No Mono or Gecko install prompts.
export WINEDLLOVERRIDES="mscoree,mshtml="

# The locale decides Wine's code pages and its own texts (message-box buttons),
# so a run never inherits it by accident. It also decides how Wine spells file
# names on Linux: with no locale, or one that is not installed, the Linux side
# is ASCII and any name outside Windows-1252 cannot be created. C.UTF-8 keeps
# code page 1252 and English texts, and stores every name.
unset LANG LANGUAGE LC_ALL LC_CTYPE LC_MESSAGES LC_COLLATE LC_NUMERIC LC_TIME \
  LC_MONETARY LC_PAPER LC_NAME LC_ADDRESS LC_TELEPHONE LC_MEASUREMENT LC_IDENTIFICATION
ravelund_wine_locale="${RAVELUND_WINE_LOCALE:-C.UTF-8}"
if [[ "$(env LC_ALL="$ravelund_wine_locale" locale charmap 2>/dev/null)" != "UTF-8" &&
  "$ravelund_wine_locale" =~ ^([a-z]{2,3}_[A-Z]{2})\.(UTF-8|utf8)$ ]]; then
  # Not installed yet: make it (the `locales` package holds the definitions).
  if [[ $(id -u) -ne 0 ]] ||
    ! localedef -i "${BASH_REMATCH[1]}" -f UTF-8 "$ravelund_wine_locale" >/dev/null 2>&1; then
    echo "wine-env: the locale $ravelund_wine_locale is not installed;" \
      "Wine falls back to ASCII file names" >&2
  fi
fi
export LANG="$ravelund_wine_locale" LC_ALL="$ravelund_wine_locale"

ravelund_wine_say() {
  echo "wine-env: $*" >&2
}

# Runs a command with its standard streams on /dev/null and without the lock
# descriptors. Wine's background processes (wineserver, services, explorer)
# inherit both from whoever starts them: an inherited output pipe keeps CTest
# or a `| tee` waiting for ever, an inherited lock is never released.
ravelund_wine_quiet() {
  "$@" </dev/null >/dev/null 2>&1 8>&- 9>&-
}

ravelund_wine_in_session() {
  [[ "${RAVELUND_WINE_SESSION:-}" == "$RAVELUND_WINE_DIR" ]]
}

# Takes the session lock on descriptor 8 for the rest of the calling shell.
# One session at a time may use the prefix: its wineserver and desktop belong
# to one display, and the session ends by killing them.
ravelund_wine_lock_session() {
  mkdir -p "$RAVELUND_WINE_DIR" || return 1
  exec 8>"$RAVELUND_WINE_DIR/session.lock" || return 1
  local wait="${RAVELUND_WINE_LOCK_WAIT:-1200}"
  if ! flock -n 8; then
    ravelund_wine_say "another Wine session uses $RAVELUND_WINE_DIR; waiting up to ${wait} s" \
      "(set RAVELUND_WINE_DIR to use a prefix of your own)"
    if ! flock -w "$wait" 8; then
      ravelund_wine_say "gave up waiting for $RAVELUND_WINE_DIR/session.lock"
      exec 8>&-
      return 1
    fi
  fi
  export RAVELUND_WINE_SESSION="$RAVELUND_WINE_DIR"
}

# Runs "$@" in a subshell holding the init lock (descriptor 9).
ravelund_wine_with_init_lock() {
  mkdir -p "$RAVELUND_WINE_DIR" || return 1
  (
    if ! flock -w 600 9; then
      ravelund_wine_say "gave up waiting for $RAVELUND_WINE_DIR/init.lock"
      exit 1
    fi
    "$@"
  ) 9>"$RAVELUND_WINE_DIR/init.lock"
}

ravelund_wine_make_template() {
  local template="$RAVELUND_WINE_DIR/template"
  local started=$SECONDS
  ravelund_wine_say "creating the Wine prefix template in $template"
  rm -rf "$template" || return 1
  mkdir -p "$RAVELUND_WINE_DIR" || return 1
  (
    export WINEPREFIX="$template"
    unset DISPLAY
    ravelund_wine_quiet timeout -k 10 300 wine wineboot --init || exit 1
    # Without a window manager, Wine's managed windows take about two seconds
    # each to close; unmanaged ones close at once.
    ravelund_wine_quiet timeout -k 10 60 wine reg add 'HKCU\Software\Wine\X11 Driver' \
      /v Managed /t REG_SZ /d N /f || exit 1
    # A crashing program prints its backtrace instead of opening a dialog that
    # nobody under Xvfb will ever close.
    ravelund_wine_quiet timeout -k 10 60 wine reg add 'HKCU\Software\Wine\WineDbg' \
      /v ShowCrashDialog /t REG_DWORD /d 0 /f || exit 1
    # The registry reaches the disk when the wineserver exits.
    ravelund_wine_quiet timeout -k 10 120 wineserver -w || exit 1
    [[ -f "$template/system.reg" && -f "$template/user.reg" ]] || exit 1
    grep -q '"Managed"="N"' "$template/user.reg" || exit 1
  ) || {
    ravelund_wine_say "could not create the Wine prefix template"
    (export WINEPREFIX="$template" && ravelund_wine_quiet timeout 30 wineserver -k)
    return 1
  }
  touch "$template/.ravelund-ready"
  ravelund_wine_say "template ready in $((SECONDS - started)) s"
}

# Makes sure template/ and prefix/ exist. Call it holding the init lock.
ravelund_wine_prepare_locked() {
  if [[ ! -f "$RAVELUND_WINE_DIR/template/.ravelund-ready" ]]; then
    ravelund_wine_make_template || return 1
  fi
  if [[ ! -f "$WINEPREFIX/.ravelund-ready" ]]; then
    ravelund_wine_stop_server_locked
    rm -rf "$WINEPREFIX" || return 1
    cp -a "$RAVELUND_WINE_DIR/template" "$WINEPREFIX" || return 1
  fi
}

# Replaces prefix/ by a fresh copy of the template, so that nothing an earlier
# run left in the registry or on drive C: survives.
ravelund_wine_fresh_prefix_locked() {
  ravelund_wine_stop_server_locked
  rm -rf "$WINEPREFIX" || return 1
  ravelund_wine_prepare_locked
}

ravelund_wine_stop_server_locked() {
  if [[ -d "$WINEPREFIX" ]]; then
    ravelund_wine_quiet timeout -k 5 30 wineserver -k
    ravelund_wine_quiet timeout -k 5 30 wineserver -w
  fi
  rm -f "$RAVELUND_WINE_DIR/server.key"
  local keeper_file="$RAVELUND_WINE_DIR/keeper.pgid" keeper
  if [[ -f "$keeper_file" ]]; then
    keeper="$(<"$keeper_file")"
    [[ "$keeper" =~ ^[0-9]+$ ]] && kill -TERM -- "-$keeper" 2>/dev/null
    rm -f "$keeper_file"
  fi
  return 0
}

# Starts a persistent wineserver and Wine's background processes for the
# current display, all on /dev/null. A server left running for another display
# is replaced: its desktop process stays bound to the display it started with.
# (The locale needs no new server: each program reads its own.)
ravelund_wine_start_server_locked() {
  ravelund_wine_prepare_locked || return 1
  local key_file="$RAVELUND_WINE_DIR/server.key"
  local wanted="display=${DISPLAY:-}"
  local current=""
  [[ -f "$key_file" ]] && current="$(<"$key_file")"
  local status=0
  # Long enough that it never ends between two tests, short enough that a
  # stand-alone run does not leave it for good. Sessions stop it themselves.
  local persist="${RAVELUND_WINE_PERSIST:-600}"
  # Exit status 2: a server for this prefix is already running.
  ravelund_wine_quiet timeout -k 5 30 wineserver -p"$persist" || status=$?
  if [[ $status -eq 2 && "$current" != "$wanted" ]]; then
    ravelund_wine_stop_server_locked
    status=0
    ravelund_wine_quiet timeout -k 5 30 wineserver -p"$persist" || status=$?
  fi
  case $status in
    0)
      printf '%s\n' "$wanted" >"$key_file"
      if ! ravelund_wine_quiet timeout -k 10 120 wine cmd /c exit; then
        ravelund_wine_say "Wine's background processes did not start"
        ravelund_wine_stop_server_locked
        return 1
      fi
      ;;
    2) ;;
    *)
      ravelund_wine_say "wineserver did not start (status $status)"
      return 1
      ;;
  esac
}

# Starts Wine's desktop process for the current display with its streams on
# /dev/null, and a console process that keeps it alive until the wineserver
# stops (the desktop closes a second or two after its last program). Otherwise
# each program that opens a window starts a desktop process with that program's
# standard error, which then holds CTest's pipe well after the program ends.
ravelund_wine_keep_desktop() {
  local limit="$1"
  [[ -n "${DISPLAY:-}" ]] || return 0
  # shellcheck disable=SC2016  # the keeper expands its own argument
  setsid bash -c 'sleep "$1" | wine cmd' keeper "$limit" </dev/null >/dev/null 2>&1 8>&- 9>&- &
  echo "$!" >"$RAVELUND_WINE_DIR/keeper.pgid"
  ravelund_wine_quiet timeout -k 5 60 wine rundll32.exe user32.dll,GetDesktopWindow
}

ravelund_wine_start_server() {
  ravelund_wine_with_init_lock ravelund_wine_start_server_locked
}

ravelund_wine_stop_server() {
  ravelund_wine_with_init_lock ravelund_wine_stop_server_locked
}

ravelund_wine_fresh_prefix() {
  ravelund_wine_with_init_lock ravelund_wine_fresh_prefix_locked
}

# Waits for a child started in the background, passing an interrupt or a TERM
# on to it (it runs in a process group of its own); its exit code lands in
# `status`. A signal ends the first wait early, so the wait is repeated until
# the child is gone.
ravelund_wait_forwarding() {
  local child="$1"
  # shellcheck disable=SC2064  # the child's number is fixed now
  trap "kill -TERM $child 2>/dev/null" INT TERM HUP
  status=0
  wait "$child" || status=$?
  while kill -0 "$child" 2>/dev/null; do
    status=0
    wait "$child" || status=$?
  done
}
