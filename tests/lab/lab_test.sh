#!/usr/bin/env bash
# One end-to-end scenario against the lab's real UPnP router:
#   lab_test.sh bare_enum|refresh|commands|router_gone|no_router|ssdp|list_file
# GK_BIN is the build tree, GK_LAB_PREFIX the lab's Wine prefix.
# Exits 77 (skipped) where the machine cannot make network namespaces.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$root/scripts/common.sh"
source "$root/scripts/lab"

scenario=${1:?scenario}
why=$(gk_lab_unavailable)
if [ -n "$why" ]; then
  echo "SKIPPED: the lab needs network namespaces: $why"
  exit 77
fi

GK_BIN=${GK_BIN:-$GK_BUILD}
export GK_LAB_ID="t$$" GK_LAB_OWNER=$$
GATEKEEL=$GK_BIN/app/gatekeel.exe
DRIVER=$GK_BIN/tests/lab/driver.exe
BARE=$GK_BIN/tests/lab/bare_enum.exe
work=$(mktemp -d)

teardown() {
  local rc=$?
  [ "$rc" -eq 0 ] || [ "$rc" -eq 77 ] || diagnose
  stop_listener || true
  unregister_ssdpsrv
  gk_lab_stop_wineserver
  gk_lab_down
  gk_cleanup
  rm -rf "$work"
  exit $rc
}
trap teardown EXIT
trap 'exit 143' TERM INT
# A failure inside a command substitution ends the scenario, not only the subshell.
trap 'exit 1' USR1

source "$here/harness.sh"

scenario_bare_enum() {
  # Empty router, then three mappings: our own enumeration against upnpc's.
  local out
  out=$(gk_lab_wine "$BARE" 2>/dev/null)
  expect_eq "bare enumeration of an empty router" "$out" ""
  gk_lab_seed 3
  out=$(gk_lab_wine "$BARE" 2>/dev/null)
  local listed
  listed=$(awk -F'\t' '$1 == "MAPPING" {print $5 "\t" $7 "\t" $3 "\t" $8 "\t" $2}' <<<"$out")
  expect_eq "bare enumeration against upnpc -l" "$listed" "$(gk_lab_list)"
  [ "$(wc -l <<<"$listed")" -eq 3 ] || die "three mappings expected"
  # Facts of Wine's platform the other scenarios rely on.
  expect_eq "external addresses" "$(awk -F'\t' '{print "[" $4 "]"}' <<<"$out" | sort -u)" "[]"
  expect_eq "enabled flags" "$(awk -F'\t' '{print $6}' <<<"$out" | sort -u)" "-1"
}

# A native program listening on TCP on the host's address, at a port the system picks (LISTENER_PORT).
start_listener() {
  ip netns exec "$GK_NS_HOST" python3 -c 'import signal, socket, sys
s = socket.create_server((sys.argv[1], 0))
print(s.getsockname()[1], flush=True)
signal.pause()' "$GK_LAB_HOST_IP" >"$work/listener.port" 2>&1 &
  LISTENER_PID=$!
  gk_lab_track "$LISTENER_PID"
  gk_wait_until 120 listener_listens || die "the listener does not listen: [$(cat "$work/listener.port")]"
}

listener_listens() {
  LISTENER_PORT=$(cat "$work/listener.port" 2>/dev/null)
  [[ $LISTENER_PORT =~ ^[0-9]+$ ]] && [ -n "$(ip netns exec "$GK_NS_HOST" ss -Hltn "sport = :$LISTENER_PORT")" ]
}

# Ends and reaps the listener; fails while its port still listens.
stop_listener() {
  [ -n "${LISTENER_PID:-}" ] || return 0
  gk_stop_pid "$LISTENER_PID" "$GK_LAB_GRACE_S" || true
  wait "$LISTENER_PID" 2>/dev/null || true
  LISTENER_PID=
  gk_wait_until 120 eval '! listener_listens'
}

scenario_refresh() {
  # A refresh costs a full table read per process, so each count gets one program run.
  start_gatekeel
  refresh
  drv nobox >/dev/null
  expect_eq "tree of an empty router" "$(drv tree)" "TREE	0"
  close_gatekeel

  gk_lab_seed 3
  start_gatekeel
  expect_eq "tree before the first refresh" "$(drv tree)" "TREE	0"
  refresh
  expect_tree_is_router "three mappings"
  refresh
  expect_tree_is_router "three mappings, second refresh"
  # Another program adds one mapping and deletes another: the next refresh shows the router as it is now.
  gk_lab_upnpc -e "another program" -a 192.0.2.20 4444 4444 TCP >/dev/null
  gk_lab_upnpc -d 20002 TCP >/dev/null
  expect_eq "the router after another program's changes" "$(gk_lab_list | cut -f1,2 | LC_ALL=C sort)" \
    "TCP	20001"$'\n'"TCP	4444"$'\n'"UDP	20003"
  refresh
  expect_tree_is_router "after another program's add and delete"
  # Tips under the real pointer: each status line's; the DHCP line's names the host's address
  # and the router as its gateway; a mapping line's shows its record, and follows the pointer.
  expect_tip 1007 "The SSDP Discovery service (SSDPSRV) lets Windows find UPnP devices"
  expect_tip 1019 "Windows reports version "
  expect_tip 1008 "Address $GK_LAB_HOST_IP, mask 255.255.255.0" "Gateway $GK_LAB_ROUTER_IP"
  local i proto eport client iport desc
  for i in 1 2; do
    IFS=$'\t' read -r proto eport client iport desc <<<"$(gk_lab_list | sed -n "${i}p")"
    expect_tip "item:$((i - 1))" "Description: $desc" "External port: $eport" "Internal client: $client, port $iport"
  done
  # A mapping to this computer: its tip says a program listens on the port (Wine reads the
  # namespace's tables, a native program's socket included); once it has ended, that none does.
  start_listener
  gk_lab_upnpc -e "lab listener" -a "$GK_LAB_HOST_IP" "$LISTENER_PORT" "$LISTENER_PORT" TCP >/dev/null
  refresh
  local line
  line=$(tree_items | grep -nF "=> $GK_LAB_HOST_IP:$LISTENER_PORT :: lab listener ") || die "no line for the listener"
  line=$((${line%%:*} - 1))
  expect_tip "item:$line" " listens on TCP port $LISTENER_PORT here."
  stop_listener || die "port $LISTENER_PORT still listens after its program ended"
  # Another line's tip first, so that the listener's line asks for its text anew.
  expect_tip "item:$((line == 0 ? 1 : 0))" "Description: "
  expect_tip "item:$line" "No program on this computer listens on TCP port $LISTENER_PORT now"
  close_gatekeel
  gk_lab_upnpc -d "$LISTENER_PORT" TCP >/dev/null

  gk_lab_seed_leases 97 4
  start_gatekeel
  refresh 600000
  expect_tree_is_router "one hundred mappings"
  expect_eq "lines for one hundred mappings" "$(drv tree | head -n1)" "TREE	100"
  close_gatekeel
}

# Fills the Add/Edit dialog as a user would and presses OK.
add_through_dialog() {
  local desc=$1 client=$2 eport=$3 iport=$4 proto=${5:-TCP}
  drv click 1010 -- dialog "Add Or Edit Server/Service" -- set 1013 "$desc" -- set 1015 "$client" \
    -- set 1014 "$eport" -- set 1016 "$iport" -- nobox >/dev/null
  [ "$proto" = UDP ] && drv dialog "Add Or Edit Server/Service" -- press 1018 -- sync >/dev/null
  drv dialog "Add Or Edit Server/Service" -- press 1 -- gone >/dev/null
}

selected_line() {
  tree_items | sed -n "$(($1 + 1))p" | cut -f4-
}

# The external port and protocol of a tree line, as upnpc -d takes them.
line_port_proto() { unesc "$1" | sed -E 's/^ *([^ ]+) [^:]*:([0-9]+) => .*/\2 \1/'; }

# The Delete question quotes the line whole; it is answered with the button.
expect_delete_question() {
  expect_box "Careful!" "Are you sure that you want to delete this port mapping?"$'\r\n\r\n'"[$(unesc "$1")]"$'\r\n' "$2"
}

scenario_commands() {
  # A description in another script, added by another program, comes back whole.
  local wide="游戏服务器"
  gk_lab_upnpc -e "$wide" -a 192.0.2.20 4000 4000 TCP >/dev/null
  gk_lab_seed 3
  start_gatekeel
  refresh
  expect_tree_is_router "after the refresh"

  # Add: the router holds the new mapping, and the tree shows it as the router reports it.
  add_through_dialog "lab web" 192.0.2.10 8080 80
  drv nobox -- idle >/dev/null
  gk_lab_list | grep -qx $'TCP\t8080\t192.0.2.10\t80\tlab web' || die "the router does not hold the added mapping"
  local before after
  before=$(router_items)
  after=$(tree_items)
  expect_eq "tree lines after the add" "$(cut -f4 <<<"$after" | sort)" "$(cut -f4 <<<"$before" | sort)"
  # Appended at the end; Wine's new object reports the requested state (disabled),
  # while the router holds every mapping enabled.
  expect_eq "the added line" "$(tail -n1 <<<"$after" | cut -f2,4)" "0	$(esc "  TCP :8080 => 192.0.2.10:80 :: lab web ")"
  refresh
  expect_tree_is_router "refresh after the add"

  # A duplicate of a listed mapping: refused before the router is asked.
  before=$(gk_lab_list)
  local tree_before
  tree_before=$(tree_items)
  add_through_dialog "again" 192.0.2.10 8080 80
  expect_box "Look Closer!" "The  mapping is already set or busy."
  drv idle >/dev/null
  expect_eq "router after the duplicate add" "$(gk_lab_list)" "$before"
  expect_eq "tree after the duplicate add" "$(tree_items)" "$tree_before"

  # Delete answered with Cancel changes nothing; the question quotes the line in another script whole.
  local found line
  found=$(tree_items | grep -nF ":: $wide ") || die "no tree line holds [$wide]"
  line=$(cut -f4- <<<"${found#*:}")
  drv select "$((${found%%:*} - 1))" -- click 1012 >/dev/null
  expect_delete_question "$line" 2
  drv idle >/dev/null
  expect_eq "router after a cancelled delete" "$(gk_lab_list)" "$before"
  expect_eq "tree after a cancelled delete" "$(tree_items)" "$tree_before"

  # Delete confirmed: gone from the router and from the tree.
  line=$(selected_line 1)
  drv select 1 -- click 1012 >/dev/null
  expect_delete_question "$line" 1
  drv nobox -- idle >/dev/null
  expect_eq "router after the delete" "$(gk_lab_list | wc -l)" "$(($(wc -l <<<"$before") - 1))"
  local proto eport
  read -r eport proto <<<"$(line_port_proto "$line")"
  gk_lab_list | cut -f1,2 | grep -qx "$proto"$'\t'"$eport" && die "the router still holds the deleted $proto $eport"
  local expected
  expected=$(sed -n '1p;3,$p' <<<"$tree_before" | cut -f2,4)
  expect_eq "tree after the delete" "$(tree_items | cut -f2,4)" "$expected"

  # Edit: Wine answers both changes with "not implemented"; the router keeps its mapping.
  local notimpl
  notimpl=$(drv sysmsg 80004001 | cut -f2-)
  before=$(gk_lab_list)
  tree_before=$(tree_items)
  drv select 0 -- click 1011 -- dialog "Add Or Edit Server/Service" -- set 1015 192.0.2.99 -- set 1016 4242 \
    -- nobox -- press 1 -- gone >/dev/null
  local com_error="::-2147467263::::$(printf '%b' "$notimpl")"
  expect_box "COM ERROR!" "$com_error"
  expect_box "!@#@#\$#\$^" "Could not change internal target!"
  expect_box "COM ERROR!" "$com_error"
  expect_box "!@#@#\$#\$^" "Could not change internal port!"
  drv nobox -- idle >/dev/null
  expect_eq "router after the edit" "$(gk_lab_list)" "$before"
  expect_eq "tree after the edit" "$(tree_items)" "$tree_before"

  # Toggle: a click, a double click on the check box and Space each ask the platform once;
  # it refuses, so each shows one box and the mark stays what the router holds.
  local how
  for how in click double space; do
    drv toggle 0 "$how" >/dev/null
    expect_box "DARN!" "Failure in changing state. :("
    drv nobox -- idle >/dev/null
    expect_eq "tree after a refused toggle by $how" "$(tree_items)" "$tree_before"
  done
  expect_eq "router after the toggles" "$(gk_lab_list)" "$before"
  refresh
  expect_eq "tree after the toggle and a refresh" "$(tree_items)" "$tree_before"

  # A line the router no longer holds: another program deleted its mapping. Wine's Remove
  # answers success for a mapping the router does not hold, so the line goes without a box.
  line=$(selected_line 1)
  read -r eport proto <<<"$(line_port_proto "$line")"
  gk_lab_upnpc -d "$eport" "$proto" >/dev/null
  before=$(gk_lab_list)
  drv select 1 -- click 1012 >/dev/null
  expect_delete_question "$line" 1
  drv nobox -- idle >/dev/null
  expect_eq "router after deleting a line it no longer held" "$(gk_lab_list)" "$before"
  expect_tree_is_router "after deleting a line the router no longer held"
  refresh
  expect_tree_is_router "refresh after deleting a line the router no longer held"
  close_gatekeel
}

scenario_router_gone() {
  gk_lab_seed 3
  start_gatekeel
  refresh
  expect_tree_is_router "after the refresh"
  local tree_before
  tree_before=$(tree_items)
  gk_lab_kill_router

  add_through_dialog "too late" 192.0.2.10 8081 81
  local got
  got=$(drv box -- press 1 -- gone | grep '^BOX')
  # The composed error: no description, the code, no source, the system's text for the code.
  local code
  code=$(sed -nE $'s/^BOX\tERROR!\t::(-[0-9]+)::::.*/\\1/p' <<<"$got")
  [ -n "$code" ] || die "add without a router: $got"
  expect_eq "add without a router" "$got" \
    "BOX	ERROR!	::$code::::$(drv sysmsg "$(printf '%08X' $((code & 0xFFFFFFFF)))" | cut -f2-)"
  expect_box "!@##@\$\$%" "Could not add the requested mapping!"
  drv idle -- alive >/dev/null

  local line
  line=$(selected_line 0)
  drv select 0 -- click 1012 >/dev/null
  expect_delete_question "$line" 1
  expect_box "AARGH!" "Could not delete port mapping!"
  drv idle -- alive >/dev/null
  expect_eq "tree after the failed changes" "$(tree_items)" "$tree_before"
  close_gatekeel
}

scenario_no_router() {
  gk_lab_kill_router
  start_gatekeel
  drv click 1000 >/dev/null
  expect_box "ERROR!" "Portolan::get_StaticPortMappingCollection returned a NULL ptr"
  expect_box "Oh well..." "There were no services listed by IUPnPNAT."
  drv idle >/dev/null
  # Still no router: a later refresh only says so.
  drv click 1000 >/dev/null
  expect_box "Oh well..." "There were no services listed by IUPnPNAT."
  drv idle -- alive >/dev/null
  expect_eq "tree without a router" "$(drv tree)" "TREE	0"
  # The empty list says why no router may have answered, a cause a line, and what to do next.
  expect_tip 1002 $'Gatekeel found no router that answers over UPnP. The likely causes:\r\n- ' \
    $'\r\nChange the one that applies, then press "Refresh Settings List".'
  # The router starts again, with the same configuration, and gets mappings: the next refresh finds it.
  gk_lab_start_router
  gk_lab_seed 3
  refresh
  expect_eq "lines of the router found late" "$(drv tree | head -n1)" "TREE	3"
  expect_tree_is_router "the router found late"
  close_gatekeel
}

# The file dialog's name field (cmb13), and the list's commands.
FILE_NAME_FIELD=1148
EXPORT_LIST=32774
IMPORT_LIST=32775

# Imports the file through the open dialog; its one box (the summary, or the file's faults) says the text.
import_list() {
  drv command "$IMPORT_LIST" -- dialog "Import Mapping List" -- set "$FILE_NAME_FIELD" "$1" -- press 1 -- gone >/dev/null
  expect_box "Import Mapping List" "$2"
  drv nobox -- idle >/dev/null
}

# The summary's lines for the router's mappings, line 2 on, each left alone with the reason.
summary_lines() {
  local n=2 proto eport client iport desc
  while IFS=$'\t' read -r proto eport client iport desc; do
    printf 'Line %d: %s %s to %s:%s: %s.\r\n' "$n" "$proto" "$eport" "$client" "$iport" "$1"
    n=$((n + 1))
  done
}

scenario_list_file() {
  # Five mappings, one whose description needs quotes and the formula guard in a spreadsheet.
  local special='=1+1, "quoted"'
  gk_lab_seed 4
  gk_lab_upnpc -e "$special" -a 192.0.2.24 30005 20005 UDP >/dev/null
  local saved
  saved=$(gk_lab_list)
  [ "$(wc -l <<<"$saved")" -eq 5 ] || die "five mappings expected: $saved"
  start_gatekeel
  refresh
  expect_tree_is_router "before the export"

  # Export: the file byte for byte: BOM, header, the router's mappings in its order, the quoting.
  local file=$work/router-mappings.csv winfile proto eport client iport desc
  winfile=$(gk_lab_wine winepath -w "$file" 2>/dev/null)
  drv command "$EXPORT_LIST" -- dialog "Export Mapping List" -- set "$FILE_NAME_FIELD" "$winfile" -- press 1 -- gone \
    -- nobox >/dev/null
  {
    printf '\xEF\xBB\xBFProtocol,External port,Internal client,Internal port,Enabled,Description\r\n'
    while IFS=$'\t' read -r proto eport client iport desc; do
      [ "$desc" = "$special" ] && desc="\"'=1+1, \"\"quoted\"\"\""
      printf '%s,%s,%s,%s,yes,%s\r\n' "$proto" "$eport" "$client" "$iport" "$desc"
    done <<<"$saved"
  } >"$work/expected.csv"
  cmp -s "$file" "$work/expected.csv" ||
    die "the exported file differs:"$'\n'"$(diff <(od -c "$work/expected.csv") <(od -c "$file") || true)"

  # A router reset: every mapping is gone. Import puts all five back.
  while IFS=$'\t' read -r proto eport client iport desc; do gk_lab_upnpc -d "$eport" "$proto" >/dev/null; done <<<"$saved"
  expect_eq "the router after its reset" "$(gk_lab_list)" ""
  import_list "$winfile" $'5 added, 0 already on the router, 0 in conflict, 0 failed, 0 not tried.\r\n'
  # The router lists its mappings in its own order, the list after the import in the file's, a refresh in the router's.
  expect_eq "the router after the import" "$(gk_lab_list | LC_ALL=C sort)" "$(LC_ALL=C sort <<<"$saved")"
  local held
  held=$(gk_lab_list)
  expect_eq "the list after the import" "$(tree_items | cut -f2,4 | LC_ALL=C sort)" "$(router_items | cut -f2,4 | LC_ALL=C sort)"
  refresh
  expect_tree_is_router "after the import and a refresh"

  # The same file again adds nothing.
  import_list "$winfile" "0 added, 5 already on the router, 0 in conflict, 0 failed, 0 not tried."$'\r\n\r\n'"$(summary_lines "already on the router" <<<"$saved")"$'\n'
  expect_eq "the router after the second import" "$(gk_lab_list)" "$held"

  # A file with one bad line changes nothing and names the line.
  local bad=$work/bad.csv winbad
  winbad=$(gk_lab_wine winepath -w "$bad" 2>/dev/null)
  printf 'Protocol,External port,Internal client,Internal port\r\nTCP,4444,192.0.2.30,4444\r\nTCP,70000,192.0.2.30,80\r\n' >"$bad"
  import_list "$winbad" "$winbad cannot be imported, so nothing on the router has changed:"$'\r\n\r\n'"Line 3: the external port \"70000\" is not a number from 1 to 65535."$'\r\n'
  expect_eq "the router after the bad file" "$(gk_lab_list)" "$held"

  # A line for a port the router holds for another target: left as it is, and reported.
  IFS=$'\t' read -r proto eport client iport desc <<<"$(head -n1 <<<"$saved")"
  printf 'Protocol,External port,Internal client,Internal port\r\n%s,%s,192.0.2.99,%s\r\n' "$proto" "$eport" "$iport" >"$bad"
  import_list "$winbad" "0 added, 0 already on the router, 1 in conflict, 0 failed, 0 not tried."$'\r\n\r\n'"Line 2: $proto $eport to 192.0.2.99:$iport: the router holds $proto $eport for $client:$iport, left as it is."$'\r\n'
  expect_eq "the router after the conflicting line" "$(gk_lab_list)" "$held"
  expect_tree_is_router "after the conflicting line"
  close_gatekeel
}

# Our test service under the name "SSDPSRV" in the lab's prefix.
register_ssdpsrv() {
  local exe
  exe=$(gk_lab_wine winepath -w "$GK_BIN/tests/diag/gk_test_service.exe" 2>/dev/null)
  gk_lab_wine sc delete SSDPSRV >/dev/null 2>&1 || true
  gk_lab_wine sc create SSDPSRV binpath= "$exe immediate" start= demand >/dev/null 2>&1 ||
    die "could not register the test service as SSDPSRV"
  SSDPSRV_REGISTERED=1
}

unregister_ssdpsrv() {
  [ -n "${SSDPSRV_REGISTERED:-}" ] || return 0
  gk_lab_wine sc stop SSDPSRV >/dev/null 2>&1 || true
  gk_lab_wine sc delete SSDPSRV >/dev/null 2>&1 || true
  SSDPSRV_REGISTERED=
}

scenario_ssdp() {
  register_ssdpsrv
  local stopped="SSDP (UPnP) Discovery Service is stopped/stopping. SSDP must be running to detect your UPnP router."
  local running="SSDP (UPnP) Discovery Service is running/starting. Good!"
  gk_lab_seed 3
  start_gatekeel
  drv waittext 1005 "Start SSDP" -- waittext 1007 "$stopped" >/dev/null
  # Start: the service runs, and the next status tick shows it.
  drv click 1005 -- idle -- waittext 1005 "Stop SSDP" -- waittext 1007 "$running" >/dev/null
  expect_eq "service state after Start SSDP" "$(gk_lab_wine sc query SSDPSRV 2>/dev/null | grep -o 'RUNNING' || true)" "RUNNING"
  # With the service running, the router is found as before.
  refresh
  expect_tree_is_router "refresh with SSDPSRV running"
  drv click 1005 -- idle -- waittext 1005 "Start SSDP" -- waittext 1007 "$stopped" >/dev/null
  expect_eq "service state after Stop SSDP" "$(gk_lab_wine sc query SSDPSRV 2>/dev/null | grep -o 'STOPPED' || true)" "STOPPED"
  close_gatekeel
  unregister_ssdpsrv
}

[ -n "${DISPLAY:-}" ] || gk_start_xvfb
gk_lab_up
gk_lab_start_wineserver
start_driver
"scenario_$scenario"
echo "PASSED: lab.$scenario"
