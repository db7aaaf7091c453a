# What every lab scenario uses, sourced by lab_test.sh: the driver process and its
# batches of steps, the expectations on what it reads, starting and closing
# gatekeel.exe, and what a failure prints. Needs work, GK_BIN's programs and the lab.

# The lab's processes: every one in its namespaces, as ps sees them.
lab_processes() {
  local ns pids
  for ns in "$GK_NS_HOST" "$GK_NS_ROUTER" "$GK_NS_WAN"; do
    pids=$(ip netns pids "$ns" 2>/dev/null | paste -sd, -)
    echo "-- processes in $ns:"
    [ -z "$pids" ] || ps -o pid,ppid,stat,etime,time,args -p "$pids" | cut -c1-200
  done
}

# The top-level windows, asked of the driver when it still answers.
driver_windows() {
  [ -n "${DRIVER_PID:-}" ] || { echo "(no driver)"; return; }
  if DRV_BACKSTOP_S=60 drv_batch windows; then printf '%s' "$DRV_OUT"; else echo "(the driver did not answer)"; fi
}

# What a failure leaves to look at, printed once whichever process of the scenario failed.
diagnose() {
  [ -e "$work/diagnosed" ] && return 0
  : >"$work/diagnosed"
  {
    echo "---- what the scenario saw (load: $(cat /proc/loadavg)) ----"
    echo "-- the driver's log, last lines:"
    tail -n 120 "$work/driver.log" 2>/dev/null || true
    echo "-- top-level windows:"
    driver_windows
    echo "-- gatekeel.exe's output:"
    cat "$work/gatekeel.log" 2>/dev/null || true
    if [ -d "${GK_LAB_DIR:-/nonexistent}" ]; then
      gk_lab_router_report 40 2>&1
      lab_processes
    fi
    echo "---- end of what the scenario saw ----"
  } >&2
}

die() {
  echo "FAILED: $*" >&2
  diagnose
  [ "$BASH_SUBSHELL" -eq 0 ] || kill -USR1 $$
  exit 1
}

# One driver process for the whole scenario, fed a batch of steps per line. Now and
# then a Wine process ends at its start, before its main: such a start gets one more try.
start_driver() {
  gk_lab_wine_env
  local try
  for try in 1 2; do
    coproc DRIVER_PROC { ip netns exec "$GK_NS_HOST" env WINEPREFIX="$GK_LAB_PREFIX" wine "$DRIVER" serve 2>/dev/null; }
    DRIVER_PID=$DRIVER_PROC_PID
    gk_lab_track "$DRIVER_PID"
    exec {drv_in}>&"${DRIVER_PROC[1]}" {drv_out}<&"${DRIVER_PROC[0]}"
    drv_batch sysmsg 0 && return 0
    gk_pid_alive "$DRIVER_PID" && drv_silent "the first batch"
    [ "$try" -eq 1 ] || drv_silent "the first batch"
    echo "the driver ended at its start; starting it once more" >&2
    exec {drv_in}>&- {drv_out}<&-
  done
}

# Runs one batch of driver steps, with its output in DRV_OUT: 0 when every step
# passed, 1 when one failed, 2 when the driver gave no answer. Each step has its own
# deadline inside the driver; this one only catches a driver that hangs or has ended.
drv_batch() {
  local line="" part answered="" deadline=$((SECONDS + ${DRV_BACKSTOP_S:-1200}))
  DRV_OUT=""
  gk_pid_alive "$DRIVER_PID" || return 2
  (IFS=$'\t'; printf '%s\n' "$*") >&"$drv_in"
  for (( ; ; )); do
    if IFS= read -r -t 5 part <&"$drv_out"; then
      line+=$part
      [ "$line" = DONE ] && { answered=1; break; }
      DRV_OUT+=$line$'\n'
      line=""
    else
      (($? > 128)) || break  # end of output
      line+=$part
      gk_pid_alive "$DRIVER_PID" || break
      [ "$SECONDS" -lt "$deadline" ] || break
    fi
  done
  printf '> %s\n%s' "$*" "$DRV_OUT" >>"$work/driver.log"
  [ -n "$answered" ] || return 2
  ! grep -q '^FAIL' <<<"$DRV_OUT"
}

drv_silent() {
  gk_pid_alive "$DRIVER_PID" && die "the driver stopped answering at: $*"
  die "the driver has ended, at: $*"
}

# Runs driver steps; a failing step or a silent driver ends the scenario.
drv() {
  local rc=0
  drv_batch "$@" || rc=$?
  case $rc in
    0) printf '%s' "$DRV_OUT" ;;
    1) die "driver $*: $(grep '^FAIL' <<<"$DRV_OUT")" ;;
    *) drv_silent "$@" ;;
  esac
}

# Text as the driver escapes it.
esc() {
  local s=${1//\\/\\\\}
  s=${s//$'\t'/\\t}
  s=${s//$'\r'/\\r}
  s=${s//$'\n'/\\n}
  printf '%s' "$s"
}

# The driver's escaped text back as it is.
unesc() { printf '%b' "$1"; }

expect_eq() {
  [ "$2" = "$3" ] || die "$1"$'\n'"  expected: [$3]"$'\n'"  actual:   [$2]"
}

# The next box must have this caption and text; it is answered with the button.
expect_box() {
  local caption=$1 text=$2 button=${3:-1} got
  got=$(drv box -- press "$button" -- gone | grep '^BOX')
  expect_eq "message box" "$got" "BOX	$(esc "$caption")	$(esc "$text")"
}

# The tree line of each mapping the router holds, in its order: ITEM<TAB>check<TAB>data<TAB>line.
# miniupnpd holds only enabled mappings, and Wine delivers the external address empty.
router_items() {
  local i=0 proto eport client iport desc line
  gk_lab_list | while IFS=$'\t' read -r proto eport client iport desc; do
    line=$(printf '%5s %s:%u => %s:%u :: %s ' "$proto" "" "$eport" "$client" "$iport" "$desc")
    printf 'ITEM\t1\t%d\t%s\n' "$i" "$(esc "$line")"
    i=$((i + 1))
  done
}

# The tip over a control or tree line ("item:N") holds each of the texts.
expect_tip() {
  local target=$1 tip part
  shift
  tip=$(drv tip "$target" | grep '^TIP' | cut -f2-)
  for part in "$@"; do
    [[ $tip == *"$(esc "$part")"* ]] || die "the tip over $target lacks [$part]: [$tip]"
  done
}

tree_items() { drv tree | grep '^ITEM' || true; }

expect_tree_is_router() {
  local expected actual
  expected=$(router_items)
  actual=$(tree_items || true)
  [ "$actual" = "$expected" ] || die "$1: the tree is not what the router holds"$'\n'"$(diff <(echo "$expected") <(echo "$actual") || true)"
}

# A Wine process may take minutes to show its window on a busy machine; one that
# has ended will never show it.
GK_LAB_START_WAIT_S=${GK_LAB_START_WAIT_S:-300}

# Waits for the main window of the program just started: 0 once the driver has it,
# 1 when the program ended first.
wait_for_main() {
  local deadline=$((SECONDS + GK_LAB_START_WAIT_S)) rc
  for (( ; ; )); do
    rc=0
    drv_batch main 2000 || rc=$?
    [ "$rc" -eq 0 ] && return 0
    [ "$rc" -eq 1 ] || drv_silent main
    gk_pid_alive "$GATEKEEL_PID" || return 1
    [ "$SECONDS" -lt "$deadline" ] || die "driver main: $(grep '^FAIL' <<<"$DRV_OUT") within ${GK_LAB_START_WAIT_S}s"
  done
}

# A start that ends silently before the window gets one more try, as the driver's does.
start_gatekeel() {
  local try code
  for try in 1 2; do
    gk_lab_wine_start "$work/gatekeel.log" "$GATEKEEL"
    GATEKEEL_PID=$GK_LAB_LAST_PID
    if wait_for_main; then
      drv idle >/dev/null
      return 0
    fi
    code=0
    wait "$GATEKEEL_PID" || code=$?
    if [ "$try" -eq 2 ] || [ -s "$work/gatekeel.log" ]; then
      die "gatekeel.exe ended with exit code $code before its main window showed"
    fi
    echo "gatekeel.exe ended with exit code $code at its start, without a word; starting it once more" >&2
  done
}

close_gatekeel() {
  drv close >/dev/null
  wait "$GATEKEEL_PID" 2>/dev/null || true
}

# The click is posted; idle waits until the program has handled it and everything it posted.
refresh() {
  drv click 1000 -- idle "${1:-300000}" >/dev/null
}
