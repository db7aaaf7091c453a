# Shared by the scripts: packages, build, Wine prefix, wineserver and Xvfb.
# Sourced, not run. Everything started here is stopped by gk_cleanup.

GK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
GK_BUILD=${GK_BUILD:-$GK_ROOT/build}
export WINEPREFIX=${WINEPREFIX:-$GK_BUILD/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer prompts in a throwaway prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

GK_PIDS=()

gk_log() { printf '[%s] %s\n' "$(basename "$0")" "$*" >&2; }

# apt packages, installed only when missing.
gk_install() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  gk_log "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

GK_BUILD_PACKAGES=(cmake make g++-mingw-w64-x86-64 mingw-w64-tools wine wine64 xvfb googletest xauth)
# The native fuzz target of the list's file: clang with its libFuzzer and sanitizer runtimes.
GK_BUILD_PACKAGES+=(clang libclang-rt-14-dev)
# The lab's router in network namespaces (scripts/lab), and a listener there for the tips.
GK_LAB_PACKAGES=(miniupnpd-nftables nftables miniupnpc iproute2 procps python3)
# LibreOffice Calc without its GUI, for the list's file through a real spreadsheet (tests/listfile).
GK_SPREADSHEET_PACKAGES=(libreoffice-calc-nogui)

gk_build() {
  local werror=OFF
  [ -n "${CI:-}" ] && werror=ON
  # The mingw preset, in a build tree of the caller's choice (GK_BUILD).
  cmake --preset mingw -B "$GK_BUILD" -DGATEKEEL_WERROR=$werror >/dev/null
  cmake --build "$GK_BUILD" -j2 ${GK_TARGETS:+--target $GK_TARGETS}
}

# Polls until the command succeeds (0), or gives up after the seconds (1). Deadlines
# are generous: on a busy 2-core machine a Wine start alone can take many seconds.
gk_wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# Whether the process runs: a zombie has ended, though kill -0 still finds it.
gk_pid_alive() {
  local state
  state=$(sed -E 's/^.*\) ([A-Za-z]).*$/\1/' "/proc/$1/stat" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "$state" != Z ] && [ "$state" != X ]
}

gk_pid_gone() { ! gk_pid_alive "$1"; }

# Ends a process we started: TERM, then KILL when it outlives the grace period.
# Fails only when even KILL does not end it.
gk_stop_pid() {
  local pid=$1 grace=${2:-60}
  gk_pid_alive "$pid" || return 0
  kill "$pid" 2>/dev/null || true
  gk_wait_until "$grace" gk_pid_gone "$pid" && return 0
  kill -9 "$pid" 2>/dev/null || true
  gk_wait_until 60 gk_pid_gone "$pid"
}

GK_XVFB_WAIT_S=${GK_XVFB_WAIT_S:-120}

# A private X server on the first free display. Another run may take the same
# display at the same moment; its server then exits, and the next one is tried.
gk_start_xvfb() {
  local n=90 log
  log=$(mktemp)
  for _ in $(seq 20); do
    while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >"$log" 2>&1 &
    GK_XVFB_PID=$!
    if gk_wait_until "$GK_XVFB_WAIT_S" gk_xvfb_settled "$n" "$GK_XVFB_PID" && gk_pid_alive "$GK_XVFB_PID"; then
      GK_PIDS+=("$GK_XVFB_PID")
      export DISPLAY=":$n"
      rm -f "$log"
      return 0
    fi
    gk_pid_alive "$GK_XVFB_PID" && break
    wait "$GK_XVFB_PID" 2>/dev/null || true
    n=$((n + 1))
  done
  gk_log "Xvfb did not come up on :$n within ${GK_XVFB_WAIT_S}s; its output:"
  cat "$log" >&2
  kill "$GK_XVFB_PID" 2>/dev/null || true
  rm -f "$log"
  return 1
}

# Xvfb listens once its socket is there; or it has ended.
gk_xvfb_settled() { [ -e "/tmp/.X11-unix/X$1" ] || gk_pid_gone "$2"; }

# Whether the X window manager manages Wine's windows. Test displays have none, and
# Wine then waits 2 s for one at every window's destruction; a user's desktop has one.
GK_WINE_MANAGED=${GK_WINE_MANAGED:-N}

# Sets it in the prefix of the environment; a command prefix (ip netns exec ..., env ...) may go first.
gk_set_window_management() {
  "$@" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$GK_WINE_MANAGED" /f >/dev/null 2>&1 || true
}

# The throwaway prefix, made once per build tree.
gk_prepare_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    gk_log "creating Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
  fi
  gk_set_window_management
  wineserver -w
}

# Whether the wineserver holds its prefix: it takes a POSIX lock there once it serves it.
gk_wineserver_holds() { grep -Eq "^[0-9]+: POSIX +ADVISORY +WRITE +$1 " /proc/locks; }

# The new wineserver holds its prefix, or has ended because another one does.
gk_wineserver_settled() { gk_wineserver_holds "$1" || gk_pid_gone "$1"; }

GK_WINESERVER_WAIT_S=${GK_WINESERVER_WAIT_S:-120}

# One persistent wineserver for the run, so each test process starts quickly.
gk_start_wineserver() {
  wineserver -f -p >/dev/null 2>&1 &
  local pid=$!
  if ! gk_wait_until "$GK_WINESERVER_WAIT_S" gk_wineserver_settled "$pid"; then
    gk_log "the wineserver for $WINEPREFIX did not take its prefix within ${GK_WINESERVER_WAIT_S}s"
    kill "$pid" 2>/dev/null || true
    return 1
  fi
  if gk_wineserver_holds "$pid"; then
    GK_WINESERVER_PID=$pid
    GK_PIDS+=("$pid")
  else
    # Not ours to stop at the end: the tests run with the one that serves the prefix.
    gk_log "another wineserver already serves $WINEPREFIX; the tests use that one"
  fi
}

gk_ctest() {
  ctest --test-dir "$GK_BUILD" --output-on-failure --no-tests=error --timeout 120 "$@"
}

gk_cleanup() {
  if [ -n "${GK_WINESERVER_PID:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
  for pid in "${GK_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${GK_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  GK_PIDS=()
}

# Stops what was started whatever the outcome, and keeps the script's own exit code.
gk_cleanup_on_exit() {
  trap 'rc=$?; gk_cleanup; exit $rc' EXIT
}
