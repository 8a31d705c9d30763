# shellcheck shell=bash
# Sourced by the scripts that run the real program: what each of them needs around it, once.
source "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"

readonly kTitle="Tonvela......"
# The first tick comes one minute after load.
readonly kFirstTickS=60

# --- scratch, processes and failure ---------------------------------------------------------------

# e2e_scratch: a scratch folder $work; every process passed to `track` is ended, and every command
# passed to `on_exit` run, when the script (or the subshell that called it) exits, however it exits.
e2e_scratch() {
  work=$(mktemp -d)
  started_in=$PWD
  pids=()
  exit_commands=()
  trap e2e_cleanup EXIT
}

track() { pids+=("$@"); }
on_exit() { exit_commands+=("$1"); }

end_pids() {
  local pid
  for pid in "${pids[@]}"; do
    kill -CONT "$pid" 2>/dev/null || true # a test may have left it stopped
    kill "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
}

e2e_cleanup() {
  end_pids
  local command
  for command in "${exit_commands[@]}"; do eval "$command"; done
  rm -rf "$work"
}

# fail <message>: ends the script, with what the programs it ran wrote to their *.err files in
# $work (or $err_dir). A script that runs scenarios names the one in $scenario. The scratch folder,
# with a picture of the program's window if there is one, is kept for a look.
fail() {
  echo "FAIL${scenario:+ ($scenario)}: $*" >&2
  local err scratch=${err_dir:-$work}
  for err in "$scratch"/*.err; do
    [[ -s $err ]] && sed "s|^|  $(basename "$err" .err): |" "$err" >&2
  done
  keep_scratch "$scratch"
  exit 1
}

# keep_scratch <folder>: its files copied to failed-e2e/<script>[-<scenario>]-<pid> in the folder
# the test ran in, with what the display and the processes were doing at the failure.
keep_scratch() {
  local kept
  kept=${started_in:-$PWD}/failed-e2e/$(basename "$0" .sh)${scenario:+-$scenario}-$BASHPID
  mkdir -p "$kept" || return 0
  cp -r "$1/." "$kept/" 2>/dev/null # sockets and FIFOs are passed by
  [[ -n ${window:-} ]] && import -window "$window" "$kept/window-at-failure.png" 2>/dev/null
  if [[ -n ${DISPLAY:-} ]]; then
    import -window root "$kept/screen-at-failure.png" 2>/dev/null
    { xprop -root; xwininfo -root -tree; } >"$kept/windows-at-failure.txt" 2>&1
  fi
  ps -eo pid,ppid,stat,wchan:32,etimes,args --forest >"$kept/processes-at-failure.txt" 2>&1
  [[ -n ${tonvela_pid:-} ]] && thread_stacks "$tonvela_pid" >"$kept/program-threads.txt" 2>&1
  echo "kept: $kept" >&2
}

# thread_stacks <pid>: where each thread of the process waits, as the kernel sees it.
thread_stacks() {
  local task
  for task in /proc/"$1"/task/*; do
    echo "thread ${task##*/} $(cut -d' ' -f3 "$task/stat"), waits in $(cat "$task/wchan")"
    cat "$task/stack" 2>/dev/null
  done
}

# wait_until <seconds> <command...>: runs the command until it succeeds, for at most <seconds>.
# The waits of these scripts are ten times or more what they take on a loaded two-core machine:
# they only tell "happened" from "never happened".
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}

# still_running <pid>...: those of the processes that still run, one a line.
still_running() {
  local pid
  for pid; do kill -0 "$pid" 2>/dev/null && echo "$pid"; done
  return 0
}

# expect_one_runs_on <what> <pid>...: of starts made at the same moment, the script's children,
# one runs on and every other has ended with status 0.
expect_one_runs_on() {
  local what=$1 survivor pid status
  shift
  survivor=$(still_running "$@")
  [[ -n $survivor && $survivor != *$'\n'* ]] || fail "$what: $(grep -c . <<<"$survivor") still run"
  for pid; do
    [[ $pid == "$survivor" ]] && continue
    status=0
    wait "$pid" || status=$?
    ((status == 0)) || fail "$what: one ended with status $status"
  done
}

# await_exit <pid> <limit s>: waits for the process, a child of the script, to end, at most the
# limit; sets ended (now then) and status. Uses the script's fail.
await_exit() {
  local pid=$1 deadline
  deadline=$(awk -v s="$SECONDS" -v l="$2" 'BEGIN { print s + int(l) + 1 }')
  while kill -0 "$pid" 2>/dev/null && ((SECONDS < deadline)); do sleep 0.01; done
  ended=$(now)
  kill -0 "$pid" 2>/dev/null && fail "still running $2 s after the close"
  status=0
  wait "$pid" || status=$?
}

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
less_than() { awk -v v="$1" -v limit="$2" 'BEGIN { exit !(v < limit) }'; }

# --- display and windows --------------------------------------------------------------------------

wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
# The window of the other program the scripts start ("xmessage -name other"), once it shows.
other_window() { xdotool search --onlyvisible --classname '^other$' 2>/dev/null | head -n1; }
# The id of the window that has the focus, in decimal as xdotool gives it.
active_window() { printf '%d' "$(xprop -root _NET_ACTIVE_WINDOW | grep -o '0x[0-9a-f]*')"; }

# start_display [--wm]: an X server (Xvfb) of the script's own in DISPLAY; with --wm a window
# manager (openbox) too, as on any desktop: it brings a window forward when the program asks,
# delivers Alt+F4 and shows the attention mark.
start_display() {
  xvfb_pid=""
  start_xvfb || fail "Xvfb did not start"
  track "$xvfb_pid"
  if [[ ${1:-} == --wm ]]; then
    start_window_manager
  fi
}

# start_window_manager [--no-keys]: openbox on DISPLAY for the script's run. With --no-keys it
# binds no key, so Alt+F4 reaches the focused window, as on Windows, where the window closes
# itself on it.
start_window_manager() {
  local config=()
  if [[ ${1:-} == --no-keys ]]; then
    cat >"$work/openbox-rc.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc"><keyboard/><mouse/></openbox_config>
EOF
    config=(--config-file "$work/openbox-rc.xml")
  fi
  HOME=$work openbox --sm-disable "${config[@]}" >/dev/null 2>&1 &
  track $!
  wait_until 30 wm_running || fail "openbox did not start"
  await_window_manager_ready
}

# await_window_manager_ready: openbox claims the screen before it has finished starting, and a
# window that asks to be shown in between is never shown: it stays unmapped, and keys typed at it
# go nowhere. A probe window is asked to be shown until the window manager shows it.
await_window_manager_ready() {
  xmessage -name wm-probe -timeout 60 probe >/dev/null 2>&1 &
  local probe_pid=$!
  wait_until 30 probe_shown || fail "the window manager never showed a window"
  kill "$probe_pid"
  wait "$probe_pid" 2>/dev/null || true
}
probe_shown() {
  local probe
  probe=$(xdotool search --classname '^wm-probe$' 2>/dev/null | head -n1)
  [[ -n $probe ]] || return 1
  [[ $(xwininfo -id "$probe" 2>/dev/null | awk '/Map State/ {print $3}') == IsViewable ]] && return 0
  xdotool windowmap "$probe" 2>/dev/null # asked again, once the window manager listens
  return 1
}

# find_window [--onlyvisible]: prints the id of the program's window once it exists; fails if none
# appears within 120 s, ten times the slowest start seen on a loaded two-core machine (12 s, the
# Windows program under Wine).
find_window() {
  local window deadline=$((SECONDS + 120))
  while ((SECONDS < deadline)); do
    window=$(xdotool search "$@" --name "^${kTitle//./\\.}\$" 2>/dev/null | head -n1)
    [[ -n $window ]] && { echo "$window"; return 0; }
    sleep 0.05
  done
  return 1
}

# The program's windows on screen, one id a line.
program_windows() { xdotool search --onlyvisible --name "^${kTitle//./\\.}\$" 2>/dev/null || true; }

# --- typing into the program's boxes (X11) ---------------------------------------------------------

# focused_box_text: what the box with the keyboard focus holds, read back as a user's Ctrl+A offers
# it to other programs on X11 (the PRIMARY selection). A mark of ours is offered first, so a
# selection left from before is never taken for the box's. Fails if no answer came within 10 s.
focused_box_text() {
  local mark="(no answer)" text=""
  printf '%s' "$mark" | xclip -selection primary -i >/dev/null 2>&1
  xdotool key ctrl+a
  box_answered() { text=$(xclip -o -selection primary 2>/dev/null) && [[ $text != "$mark" ]]; }
  wait_until 10 box_answered || return 1
  printf '%s' "$text"
}

# type_over_focused_box <shown> <typed>: the focused box must show <shown>; <typed> replaces it
# (Ctrl+A left it selected) and must be read back.
type_over_focused_box() {
  local text
  text=$(focused_box_text) || fail "the box with the focus did not answer Ctrl+A"
  [[ $text == "$1" ]] || fail "the box with the focus shows '$text', not $1"
  xdotool type "$2"
  text=$(focused_box_text) || fail "the box did not answer Ctrl+A after $2 was typed"
  [[ $text == "$2" ]] || fail "the box shows '$text' after $2 was typed over $1"
}

# give_focus: the keyboard focus to the program's $window, through the window manager if one runs.
give_focus() {
  timeout 20 xdotool windowactivate --sync "$window" 2>/dev/null ||
    timeout 20 xdotool windowfocus --sync "$window"
}

# type_ones_x11: 1 typed into both boxes of the program's $window, given the focus in the day box,
# each box read back before and after. Keys that come before the window takes them are lost, so
# until the window answers a first Ctrl+A, the focus is given again and the key sent again, three
# times at most; the boxes start at 15 and 25 minutes.
type_ones_x11() {
  local try
  for try in 1 2 3; do
    focused_box_text >/dev/null && break
    echo "${scenario:+$scenario: }the window did not answer Ctrl+A at try $try" >&2
    give_focus || true
  done
  type_over_focused_box 15 1
  xdotool key Tab
  type_over_focused_box 25 1
  xdotool key End # no selection left: a selection looks different once the window loses the focus
}

# --- Wine -----------------------------------------------------------------------------------------

# use_wine_display: the X display of the prefix in WINEPREFIX, the one its desktop process is
# bound to (tests/support/wine_env.sh).
use_wine_display() {
  DISPLAY=$("$(dirname "${BASH_SOURCE[0]}")/wine_env.sh" display "$WINEPREFIX") ||
    fail "the Wine prefix has no display"
  export DISPLAY
}

# type_ones_wine: 1 typed into both boxes of the focused window, the focus in the day box. Wine's
# edit box does not select all on Ctrl+A: each box is cleared from its end.
type_ones_wine() {
  xdotool key End BackSpace BackSpace BackSpace type 1
  xdotool key Tab End BackSpace BackSpace BackSpace type 1
}

# --- the sink -------------------------------------------------------------------------------------

# Whether a stream plays on the server in PULSE_SERVER.
playing() { [[ -n $(pactl list sink-inputs short 2>/dev/null) ]]; }

# start_recording <sink> <file.wav>: records the sink's monitor, mono at 16 kHz, from now
# ($recording_started) until stop_recording.
start_recording() {
  recording_started=$(now)
  parecord --device="$1.monitor" --file-format=wav --channels=1 --rate=16000 "$2" &
  recording_pid=$!
  track "$recording_pid"
}

stop_recording() {
  kill -INT "$recording_pid" 2>/dev/null || true # parecord finishes its file on SIGINT
  wait "$recording_pid" 2>/dev/null || true
}

# await_voice_start <pid> <shown>: waits for the first tick's voice to appear on the sink, as
# await_first_voice below; sets voice_began (now then).
await_voice_start() {
  local pid=$1 shown=$2
  until playing; do
    kill -0 "$pid" 2>/dev/null || fail "the program ended before the first tick"
    ((SECONDS - shown < kFirstTickS + 30)) || fail "no voice $((kFirstTickS + 30)) s after load"
    sleep 0.1
  done
  voice_began=$(now)
  echo "${scenario:+$scenario: }the voice began $((SECONDS - shown)) s after the window was shown"
}

# await_first_voice <pid> <shown>: waits for the first tick's voice to come and go on the sink of
# the server in PULSE_SERVER, where only the program plays. The tick is due kFirstTickS after the
# window was loaded, just before it was shown at SECONDS <shown>; the voice must come within 30 s
# more, ten times its lateness on a loaded two-core machine (up to 3 s, under Wine), and long
# before a second tick. Uses the script's fail.
await_first_voice() {
  local began
  await_voice_start "$@"
  began=$SECONDS
  while playing && ((SECONDS - began < 30)); do sleep 0.2; done
  sleep 1 # the end of the voice reaches the recording
}

# expect_voice_at_first_tick <recording.wav>: the recording of the sink, begun with the program,
# is silent until shortly before the first tick and holds the voice after it. Uses the script's
# fail.
expect_voice_at_first_tick() {
  local recording=$1 before after
  peak() { sox "$recording" -n trim "$@" stat 2>&1 | awk '/Maximum amplitude/ {print $3}'; }
  before=$(peak 0 $((kFirstTickS - 5)))
  after=$(peak $((kFirstTickS - 2)))
  echo "peak before the first tick: $before, after: $after"
  less_than "$before" 0.01 || fail "sound before the first tick (peak $before)"
  less_than 0.05 "$after" || fail "no voice at the first tick (peak $after)"
}
