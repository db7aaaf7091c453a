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
# The lab's router in network namespaces (scripts/lab).
GK_LAB_PACKAGES=(miniupnpd-nftables nftables miniupnpc iproute2)

gk_build() {
  local werror=OFF
  [ -n "${CI:-}" ] && werror=ON
  # The mingw preset, in a build tree of the caller's choice (GK_BUILD).
  cmake --preset mingw -B "$GK_BUILD" -DGATEKEEL_WERROR=$werror >/dev/null
  cmake --build "$GK_BUILD" -j2 ${GK_TARGETS:+--target $GK_TARGETS}
}

# A private X server on the first free display.
gk_start_xvfb() {
  local n=90
  while [ -e /tmp/.X$n-lock ] || [ -e /tmp/.X11-unix/X$n ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  GK_XVFB_PID=$!
  GK_PIDS+=("$GK_XVFB_PID")
  export DISPLAY=":$n"
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$n ] && return 0; sleep 0.1; done
  gk_log "Xvfb did not come up on $DISPLAY"
  return 1
}

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

# One persistent wineserver for the run, so each test process starts quickly.
gk_start_wineserver() {
  wineserver -f -p >/dev/null 2>&1 &
  GK_WINESERVER_PID=$!
  GK_PIDS+=("$GK_WINESERVER_PID")
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
