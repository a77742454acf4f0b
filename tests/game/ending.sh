#!/bin/sh
# How a running game ends from outside: SIGTERM and SIGINT end it as the end of the session does
# (settings saved, exit 0) on the headless host and on SDL, in both threading modes; a script
# that never yields is ended by SIGTERM too, as an invalid script (exit 23).
set -u
tool="$1"
game="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "ending: $*" >&2; exit 1; }

mkdir -p "$work/home" "$work/run"
chmod 700 "$work/run"
export HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config" \
    XDG_RUNTIME_DIR="$work/run"
unset DISPLAY WAYLAND_DISPLAY  # no box may wait for a click

make_game() { # FOLDER MAIN-SOURCE
    mkdir -p "$1/SCRIPT"
    printf 'Score 0 1 4 = 0\n' > "$work/vars.txt"
    printf "$2" > "$work/main.txt"
    "$tool" sob vars "$work/vars.txt" "$1/SCRIPT/USER_VAR.SOB" || fail "sob vars"
    "$tool" sob init "$1/SCRIPT/SOB_INIT.DAT" MAIN:0:0 COMMON:0:0 || fail "sob init"
    "$tool" sob asm "$work/main.txt" "$1/SCRIPT/MAIN.SOB" --module --vars "$work/vars.txt" || fail "sob asm"
    "$tool" cfg sys "$1/SCRIPT/KW_APP.SYS" --size 320x240 --save-mode 1 || fail "cfg sys"
    "$tool" cfg inf "$1/SCRIPT/KW_APP.INF" --version 1.0 --name "Ending" --title Ending || fail "cfg inf"
}
make_game "$work/yields" 'loop: yield\n jmp loop\n'
# The spinning script makes the folder RUNNING first, so the test signals it only once it runs.
make_game "$work/spins" ' ncall native 162, arg, r\nloop: jmp loop\n.data\narg: .word name\nr: .word 0\nname: .sjis "RUNNING"\n'

run() { # FOLDER HOST-SETTINGS THREAD SIGNAL EXPECTED-STATUS [marked]
    folder="$1"
    "$tool" cfg user "$folder/USER.CFG" --thread "$3" || fail "cfg user"
    rm -rf "$folder/SAVEDATA" "$folder/RUNNING"
    env $2 "$game" "$folder" 2> "$work/err" &
    pid=$!
    # The save folder is made once the game is under way (its signal handlers are in place); a
    # game whose script marks its start is signalled once the script runs.
    i=0
    while [ ! -d "$folder/SAVEDATA" ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i + 1)); done
    if [ "$6" = marked ]; then
        while [ ! -d "$folder/RUNNING" ] && [ $i -lt 600 ]; do sleep 0.1; i=$((i + 1)); done
        [ -d "$folder/RUNNING" ] || fail "$folder $2 thread $3: the script did not start"
    fi
    sleep 1
    kill -"$4" $pid
    i=0
    while kill -0 $pid 2>/dev/null && [ $i -lt 300 ]; do sleep 0.1; i=$((i + 1)); done
    if kill -0 $pid 2>/dev/null; then
        kill -KILL $pid
        wait $pid
        fail "$folder $2 thread $3 SIG$4: still running 30 s after the signal"
    fi
    wait $pid
    code=$?
    [ $code -eq "$5" ] || { cat "$work/err" >&2; fail "$folder $2 thread $3 SIG$4: exit $code, not $5"; }
    [ -f "$folder/SAVEDATA/APP_CFG.DAT" ] || fail "$folder $2 thread $3 SIG$4: no settings saved"
    grep -q "SIG$4 received" "$work/err" || fail "$folder $2 thread $3 SIG$4: nothing said on stderr"
}
for thread in 0 1; do
    for host in "TESSARO_HOST=headless" "TESSARO_HOST=sdl SDL_VIDEODRIVER=offscreen"; do
        run "$work/yields" "$host" $thread TERM 0 ""
        run "$work/yields" "$host" $thread INT 0 ""
        [ -n "${TESSARO_NO_SPIN_SIGNALS:-}" ] || run "$work/spins" "$host" $thread TERM 23 marked
    done
done
echo "ending: ok"
