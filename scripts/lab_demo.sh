# The demonstration lab of scripts/run, sourced by scripts/lab: a router with a handful
# of mappings, and Gatekeel started beside it.

# For scripts/run: a lab with a handful of demonstration mappings and a wineserver
# in its host namespace. Fails with the reason in GK_LAB_WHY where it cannot be built.
gk_lab_demo_up() {
  GK_LAB_WHY=$(gk_lab_unavailable)
  [ -z "$GK_LAB_WHY" ] || return 1
  export GK_LAB_ID=${GK_LAB_ID:-run$$} GK_LAB_OWNER=${GK_LAB_OWNER:-$$}
  gk_lab_up || { GK_LAB_WHY="the lab did not come up"; return 1; }
  local proto eport client iport desc
  while read -r proto eport client iport desc; do
    gk_lab_upnpc -e "$desc" -a "$client" "$iport" "$eport" "$proto" >/dev/null 2>&1
  done <<'DEMO'
TCP 8080 192.0.2.10 80 web server
UDP 3074 192.0.2.10 3074 game
TCP 2222 192.0.2.20 22 ssh
TCP 32400 192.0.2.21 32400 media
UDP 9987 192.0.2.22 9987 voice chat
DEMO
  gk_lab_start_wineserver
}

# With the demo lab up and DISPLAY set: starts EXE in the host namespace, and has
# DRIVER press "Refresh Settings List" and wait until the router's list is shown.
gk_lab_demo_start_refreshed() {
  local exe=$1 driver=$2
  gk_lab_wine_start "${TMPDIR:-/tmp}/gk-demo-$$.log" "$exe"
  gk_lab_wine "$driver" main 300000 -- idle -- click 1000 -- idle 300000 >/dev/null 2>&1
}

gk_lab_demo_down() {
  gk_lab_stop_wineserver
  gk_lab_down
}
