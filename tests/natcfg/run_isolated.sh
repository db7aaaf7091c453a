#!/bin/sh
# Runs the Wine UPnPNAT probe inside a fresh network namespace that has only loopback,
# with a prefix and a wineserver of its own started in there, so the router search
# Wine sends can never reach the machine's network.
# Usage: run_isolated.sh WINE_RUN PROBE_EXE PREFIX. Exits 77 (skipped) without namespaces.
wine_run=$1 probe=$2 prefix=$3

if [ "$(id -u)" -ne 0 ] || ! unshare --net true 2>/dev/null; then
  echo "skipped: no network namespace can be made here (needs root and unshare)"
  exit 77
fi

exec unshare --net -- sh -c '
  wine_run=$1 probe=$2
  export WINEPREFIX=$3
  ip link set lo up 2>/dev/null
  # Refuse to run unless loopback is the only interface.
  if [ -r /proc/net/dev ] && [ "$(tail -n +3 /proc/net/dev | grep -vc "^ *lo:")" -ne 0 ]; then
    echo "network namespace has more than loopback; not running"
    exit 1
  fi
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
  fi
  start=$(date +%s%N)
  "$wine_run" "$probe"
  rc=$?
  end=$(date +%s%N)
  echo "probe process took $(( (end - start) / 1000000 )) ms"
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  exit $rc' sh "$wine_run" "$probe" "$prefix"
