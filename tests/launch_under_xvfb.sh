#!/usr/bin/env bash
# The sample host's interactive mode as a person uses it: `beamcalc --launch` under Xvfb,
# cases picked with the mouse and the keyboard, normal runs started, every message
# answered with the keyboard; afterwards the pass markers, the version record and what the
# compare program and the file browser were given are checked. Five launches in a row: two
# cases; two more with the status window on, which completes the mandatory cases; one whose
# working folder cannot be made, which shows the error dialog; the failing case, after the
# compare program has been set in the options dialog, opened in the compare window, one
# file compared and the same file looked at in the built-in compare view; the case menu's
# reset, F5, and the definition file shown in the file browser.
# Last, BeamCalc's own unit tests in the unit-runner form.
#
#   tests/launch_under_xvfb.sh BEAMCALC DATA_DIR [SCREENSHOT_DIR]
#
# With a screenshot folder the windows are saved there as PNG files. Exits 77 (skipped)
# only where Xvfb cannot start.
set -euo pipefail

beamcalc=$1
data=$2
shots=${3:-}

skip() {
  echo "SKIPPED: $*"
  exit 77
}
fail() {
  echo "FAILED: $*" >&2
  exit 1
}

command -v Xvfb >/dev/null || skip "Xvfb is not installed (scripts/install-deps.sh installs it)"
command -v xdotool >/dev/null || fail "xdotool is not installed (scripts/install-deps.sh installs it)"

work=$(mktemp -d)
xvfb=
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display number itself and writes it to descriptor 3 once it is ready.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb" 2>/dev/null || break
  sleep 0.1
done
[ -s "$work/display" ] || skip "Xvfb could not start: $(tail -n 3 "$work/xvfb.log" | tr '\n' ' ')"
display=:$(tr -d '\n' <"$work/display")

# The host and its test data in a folder of their own; the settings and the registry too.
host="$work/beamcalc"
mkdir -p "$host" "$work/config" "$work/registry" "$work/runtime"
chmod 700 "$work/runtime"
cp "$beamcalc" "$host/beamcalc"
cp -r "$data"/. "$host/"
export XDG_CONFIG_HOME="$work/config" CORVALA4_REGISTRY_DIR="$work/registry" XDG_RUNTIME_DIR="$work/runtime"
unset WAYLAND_DISPLAY QT_QPA_PLATFORM DBUS_SESSION_BUS_ADDRESS

# The compare program and the file browser write down the arguments they were given.
mkdir -p "$work/bin"
tool="$work/compare tool"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >"%s.tmp"\nmv "%s.tmp" "%s.args"\n' "$tool" "$tool" "$tool" >"$tool"
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >"%s/xdg-open.args"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$tool" "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"

# A display that does not answer: the host is told so and goes on, nothing aborts.
for n in $(seq 90 200); do [ -e "/tmp/.X11-unix/X$n" ] || break; done
DISPLAY=:$n timeout 60 "$host/beamcalc" --launch >"$work/none.out" 2>"$work/none.err" ||
  fail "beamcalc --launch without an answering display exited with $?"
grep -q "测试窗口需要图形显示(DISPLAY),未能显示." "$work/none.err" ||
  fail "no word about the missing display: $(cat "$work/none.err")"

export DISPLAY=$display

launch() {
  timeout 120 "$host/beamcalc" --launch >"$work/launch.out" 2>"$work/launch.err" &
  pid=$!
}
finished() {
  local status=0
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || fail "beamcalc --launch exited with $status: $(cat "$work/launch.err")"
}
# Waits for a file that a program started without waiting writes.
written() {
  for _ in $(seq 100); do
    [ -f "$1" ] && return 0
    sleep 0.1
  done
  fail "$1 was not written"
}
# The id of the visible window whose title matches, once it is there.
window() {
  timeout 30 xdotool search --sync --onlyvisible --name "$1" | head -n 1 ||
    fail "no window '$1' came up: $(cat "$work/launch.err")"
}
gone() {
  for _ in $(seq 300); do
    xdotool search --onlyvisible --name "$2" 2>/dev/null | grep -qx "$1" || return 0
    sleep 0.05
  done
  fail "window '$2' did not close"
}
# Mouse click at a point of a window, given in pixels of its client area.
click() {
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove $((X + $2)) $((Y + $3)) click 1
  sleep 0.2
}
keys() {
  xdotool windowfocus --sync "$1"
  shift
  xdotool key --delay 50 "$@"
  sleep 0.2
}
shot() {
  if [ -n "$shots" ]; then
    sleep 0.3
    import -window "$1" "$shots/$2.png"
  fi
}
# The screen where a window lies, with whatever pops up over it (a menu).
screen_shot() {
  sleep 0.3
  eval "$(xdotool getwindowgeometry --shell "$1")"
  import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$2"
}
# Answers the next message boxes ("Veltrana") with Return, one after another.
answer() {
  for _ in $(seq "$1"); do
    local box
    box=$(window '^Veltrana$')
    keys "$box" Return
    gone "$box" '^Veltrana$'
  done
}
markers() {
  local passed=()
  for folder in Beam01 Beam02 Beam03 Sect01 Beam04 Beam05; do
    compgen -G "$host/TestData/$folder/*_Passed.txt" >/dev/null && passed+=("$folder")
  done
  echo "${passed[*]}"
}
record_lines() {
  [ -f "$host/beamcalc_Test_Ver.txt" ] || { echo 0; return; }
  grep -c . "$host/beamcalc_Test_Ver.txt"
}
test_window='^Veltrana [0-9.]+版'

# 1. The first two cases: a click on the first entry, Shift+Down, a click on 正常测试.
#    Each passes with its own message; two of four mandatory cases are not enough.
launch
w=$(window "$test_window")
click "$w" 40 40
keys "$w" shift+Down
click "$w" $((456 + 52)) $((448 + 12))
answer 2
finished
[ "$(markers)" = "Beam01 Beam02" ] || fail "after the first run the passed cases are: $(markers)"
[ "$(record_lines)" = 0 ] || fail "the build was recorded with mandatory cases still open"

# 2. With the status window on: the third and fourth entries (Down, Down, Shift+Down) and
#    Alt+T. Both pass, every mandatory case has passed: the congratulation, one record line.
mkdir -p "$XDG_CONFIG_HOME/corvala4"
printf '[Advanced]\nEnalbeStatWindow=True\n' >"$XDG_CONFIG_HOME/corvala4/libcorvala4.ini"
launch
w=$(window "$test_window")
click "$w" 40 40
keys "$w" Down Down shift+Down
if [ -n "$shots" ]; then
  # Taller, so that the details show every line: the list and the details grow with it.
  xdotool windowsize --sync "$w" 649 624
  shot "$w" test_window
fi
keys "$w" alt+t
window '^Veltrana$' >/dev/null
s=$(window '^自测试状态信息\[正常测试\]$')
shot "$s" status_window
answer 3
# The status window keeps the last lines until the user closes it (Esc); then the launch returns.
sleep 0.5
kill -0 "$pid" 2>/dev/null || fail "the launch returned while the status window was still open"
keys "$s" Escape
finished
[ "$(markers)" = "Beam01 Beam02 Beam03 Sect01" ] || fail "after the second run the passed cases are: $(markers)"
[ "$(record_lines)" = 1 ] || fail "the version record holds $(record_lines) lines, not 1"

# 3. The last case's working folder cannot be made: a plain file stands in its place. The
#    last entry (End) runs into the error dialog: it opens folded, unfolds and folds at
#    显示细节, closes at 确定; the run goes on to the congratulation and a second record line.
printf '[Advanced]\nEnalbeStatWindow=False\n' >"$XDG_CONFIG_HOME/corvala4/libcorvala4.ini"
rm -rf "$host/TestData_make/Beam05"
echo "not a folder" >"$host/TestData_make/Beam05"
launch
w=$(window "$test_window")
click "$w" 40 40
keys "$w" End
click "$w" $((456 + 52)) $((448 + 12))
e=$(window '^错误提示$')
eval "$(xdotool getwindowgeometry --shell "$e")"
# Folded below its buttons: 126 pixels, more where the summary needs more lines to show whole.
folded=$HEIGHT
grow=$((folded - 126))
[ "$grow" -ge 0 ] || fail "the error dialog opened $HEIGHT pixels high, not folded (126 or more)"
shot "$e" error_dialog_folded
click "$e" $((280 + 50)) $((96 + grow + 12))
eval "$(xdotool getwindowgeometry --shell "$e")"
[ "$HEIGHT" = $((folded + 132)) ] ||
  fail "the error dialog is $HEIGHT pixels high after 显示细节, not $((folded + 132))"
shot "$e" error_dialog_unfolded
click "$e" $((280 + 50)) $((96 + grow + 12))
eval "$(xdotool getwindowgeometry --shell "$e")"
[ "$HEIGHT" = "$folded" ] || fail "the error dialog is $HEIGHT pixels high after 隐藏细节, not folded ($folded)"
click "$e" $((200 + 36)) $((96 + grow + 12))
gone "$e" '^错误提示$'
answer 1
finished
[ "$(record_lines)" = 2 ] || fail "the version record holds $(record_lines) lines, not 2"

# 4. The compare program is set in the options dialog (Alt+P): a click in the path box,
#    the path typed over the old one, a look at the second tab, 确定. Then the failing case
#    (End, 正常测试): Yes opens the compare window; its one file is clicked and compared with
#    Enter, which hands the produced file first and the standard file second.
rm -f "$host/TestData_make/Beam05"
launch
w=$(window "$test_window")
keys "$w" alt+p
o=$(window '^选项$')
click "$o" 130 212
keys "$o" ctrl+a
xdotool type --delay 20 "$tool"
shot "$o" options_tool
keys "$o" ctrl+Tab
shot "$o" options_advanced
keys "$o" alt+o
gone "$o" '^选项$'
grep -qxF "Path=$tool" "$XDG_CONFIG_HOME/corvala4/libcorvala4.ini" ||
  fail "the options dialog stored: $(cat "$XDG_CONFIG_HOME/corvala4/libcorvala4.ini")"
click "$w" 40 40
keys "$w" End
click "$w" $((456 + 52)) $((448 + 12))
keys "$(window '^Veltrana$')" Return
c=$(window "^比较算例'组合荷载简支梁'的输出文件$")
click "$c" 60 30
shot "$c" compare_window
keys "$c" Return
written "$tool.args"
printf '%s\n' "$host/TestData_make/Beam05/forces.out" "$host/TestData/Beam05/forces.out" >"$work/args"
cmp -s "$tool.args" "$work/args" ||
  fail "the compare program was given: $(cat "$tool.args")"
# The built-in compare view (Alt+V): F7 jumps to the difference, Esc closes it.
keys "$c" alt+v
v=$(window "^对比输出文件'forces.out'$")
screen_shot "$v" "$work/before.png"
keys "$v" F7
screen_shot "$v" "$work/after.png"
differ=$(compare -metric AE "$work/before.png" "$work/after.png" null: 2>&1 || true)
[ "${differ%% *}" != 0 ] || fail "the compare view looks the same after F7"
shot "$v" compare_view
keys "$v" Escape
gone "$v" "^对比输出文件"
keys "$c" Escape
gone "$c" "^比较算例"
answer 1
finished

# 5. The case menu on the first entry (a right click), Up Up Enter: 重置算例的状态. The pass
#    marker goes; F5 refills the list, which now reads otherwise. A double click on the
#    definition-file panel, Enter: the file browser opens the file's folder.
launch
w=$(window "$test_window")
click "$w" 40 40
screen_shot "$w" "$work/before.png"
eval "$(xdotool getwindowgeometry --shell "$w")"
xdotool mousemove $((X + 40)) $((Y + 40)) click 3
sleep 0.5
[ -n "$shots" ] && screen_shot "$w" "$shots/context_menu.png"
xdotool key --delay 100 Up Up Return
answer 1
[ "$(markers)" = "Beam02 Beam03 Sect01" ] || fail "after the reset the passed cases are: $(markers)"
keys "$w" F5
screen_shot "$w" "$work/after.png"
differ=$(compare -metric AE "$work/before.png" "$work/after.png" null: 2>&1 || true)
[ "${differ%% *}" != 0 ] || fail "the list looks the same after the reset and F5"
eval "$(xdotool getwindowgeometry --shell "$w")"
xdotool mousemove $((X + WIDTH - 60)) $((Y + HEIGHT - 10)) click --repeat 2 --delay 80 1
keys "$(window '^配置文件$')" Return
written "$work/xdg-open.args"
opened=$(cat "$work/xdg-open.args")
[ "$opened" = "$host" ] || fail "the file browser was given: $opened"
keys "$w" Escape
finished

# 6. BeamCalc's own unit tests: the unit-runner form lists them; Enter runs them, and the
#    form shows their results; Close ends it.
timeout 120 "$host/beamcalc" --unit-tests >"$work/launch.out" 2>"$work/launch.err" &
pid=$!
u=$(window '^Form1$')
screen_shot "$u" "$work/before.png"
keys "$u" Return
screen_shot "$u" "$work/after.png"
differ=$(compare -metric AE "$work/before.png" "$work/after.png" null: 2>&1 || true)
[ "${differ%% *}" != 0 ] || fail "the unit-runner form shows nothing after Run Tests"
shot "$u" unit_runner
eval "$(xdotool getwindowgeometry --shell "$u")"
click "$u" $((WIDTH - 40)) $((HEIGHT - 16))
gone "$u" '^Form1$'
finished

echo "beamcalc under Xvfb ($display): five launches and the unit-runner form as a person would drive them"
