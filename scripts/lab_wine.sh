# Wine in the lab, sourced by scripts/lab: the lab's own prefix, its wineserver in the
# host namespace, and Windows programs run there.

# Wine for the lab: its own prefix (GK_LAB_PREFIX), whose wineserver runs in the
# host namespace, since Wine makes its sockets in the wineserver.
gk_lab_wine_env() {
  gk_lab_names
  GK_LAB_PREFIX=${GK_LAB_PREFIX:-${GK_BUILD:-$(pwd)/build}/wineprefix-lab}
  export GK_LAB_PREFIX
}

# Runs a program of the lab's prefix in the host namespace and waits for it.
gk_lab_host_wine() {
  gk_lab_wine_env
  ip netns exec "$GK_NS_HOST" env WINEPREFIX="$GK_LAB_PREFIX" wine "$@"
}

gk_lab_prepare_prefix() {
  gk_lab_wine_env
  if [ ! -f "$GK_LAB_PREFIX/system.reg" ]; then
    gk_lab_log "creating the lab's Wine prefix $GK_LAB_PREFIX"
    mkdir -p "$GK_LAB_PREFIX"
    gk_lab_exec_host env WINEPREFIX="$GK_LAB_PREFIX" wineboot -i >/dev/null 2>&1 || true
    # Not a first run, so no About box stands before the main window.
    gk_lab_exec_host env WINEPREFIX="$GK_LAB_PREFIX" wine reg add 'HKCU\Software\Quillon Systems\Gatekeel' \
      /v FirstRun /t REG_DWORD /d 1 /f >/dev/null 2>&1 || true
  fi
  GK_WINE_MANAGED=${GK_WINE_MANAGED:-N} gk_set_window_management gk_lab_exec_host env WINEPREFIX="$GK_LAB_PREFIX"
  gk_lab_exec_host env WINEPREFIX="$GK_LAB_PREFIX" wineserver -w
}

gk_lab_start_wineserver() {
  gk_lab_wine_env
  gk_lab_prepare_prefix
  ip netns exec "$GK_NS_HOST" env WINEPREFIX="$GK_LAB_PREFIX" wineserver -f -p >/dev/null 2>&1 &
  GK_LAB_WINESERVER_PID=$!
  gk_lab_track "$GK_LAB_WINESERVER_PID"
  if ! gk_wait_until "$GK_WINESERVER_WAIT_S" gk_wineserver_settled "$GK_LAB_WINESERVER_PID"; then
    gk_lab_log "the lab's wineserver did not take $GK_LAB_PREFIX within ${GK_WINESERVER_WAIT_S}s"
    return 1
  fi
  # A wineserver of this prefix in another lab would take our programs into its namespace.
  if ! gk_wineserver_holds "$GK_LAB_WINESERVER_PID"; then
    gk_lab_log "another lab's wineserver holds $GK_LAB_PREFIX; stop that lab first"
    GK_LAB_WINESERVER_PID=
    return 1
  fi
}

# Waits until the wineserver is gone: until then it holds the prefix, and the next
# lab's wineserver would end at once.
gk_lab_stop_wineserver() {
  [ -n "${GK_LAB_WINESERVER_PID:-}" ] || return 0
  gk_stop_pid "$GK_LAB_WINESERVER_PID" "$GK_LAB_GRACE_S" ||
    gk_lab_log "the lab's wineserver ($GK_LAB_WINESERVER_PID) did not end, not even on KILL"
  GK_LAB_WINESERVER_PID=
}

# Runs a Windows program in the host namespace under the lab's prefix. Output
# goes through files: Wine's helpers inherit descriptors and outlive the program.
# A run that failed without a byte of output never reached its main (now and then a
# Wine process ends at its start): it gets one more start, as under ctest's runner.
gk_lab_wine() {
  local out err rc=0
  out=$(mktemp) err=$(mktemp)
  gk_lab_host_wine "$@" >"$out" 2>"$err" </dev/null || rc=$?
  if [ "$rc" -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
    gk_lab_log "'$1' ended with $rc before writing anything; starting it once more"
    rc=0
    gk_lab_host_wine "$@" >"$out" 2>"$err" </dev/null || rc=$?
  fi
  cat "$out"
  cat "$err" >&2
  rm -f "$out" "$err"
  return $rc
}

# Starts a Windows program in the host namespace without waiting; its pid in GK_LAB_LAST_PID.
gk_lab_wine_start() {
  gk_lab_wine_env
  local log=$1
  shift
  ip netns exec "$GK_NS_HOST" env WINEPREFIX="$GK_LAB_PREFIX" wine "$@" >"$log" 2>&1 </dev/null &
  GK_LAB_LAST_PID=$!
  gk_lab_track "$GK_LAB_LAST_PID"
}
