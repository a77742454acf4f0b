#!/bin/sh
# The engine end to end: a game folder made by tessaro-tool (cfg and sob) runs MAIN, which yields
# a few frames and leaves, in both threading modes, on the headless host, on SDL offscreen and (when
# TESSARO_TEST_X_DISPLAY names one) on a real X server; an empty folder ends with 1 and its message,
# a missing folder with the usage and 2.
set -u
tool="$1"
game="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "milestone: $*" >&2; exit 1; }

mkdir -p "$work/game/SCRIPT" "$work/empty" "$work/home" "$work/run"
chmod 700 "$work/run"
# A runtime folder of its own: the single-copy lock of another run on this machine must not refuse it.
export HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config" \
    XDG_RUNTIME_DIR="$work/run"
printf 'Score 0 1 4 = 0\n' > "$work/vars.txt"
printf 'yield\nyield\nyield\nret\n' > "$work/main.txt"
"$tool" sob vars "$work/vars.txt" "$work/game/SCRIPT/USER_VAR.SOB" || fail "sob vars"
"$tool" sob init "$work/game/SCRIPT/SOB_INIT.DAT" MAIN:0:0 COMMON:0:0 || fail "sob init"
"$tool" sob asm "$work/main.txt" "$work/game/SCRIPT/MAIN.SOB" --module --vars "$work/vars.txt" || fail "sob asm"
"$tool" cfg sys "$work/game/SCRIPT/KW_APP.SYS" --size 640x480 --save-mode 1 || fail "cfg sys"
"$tool" cfg inf "$work/game/SCRIPT/KW_APP.INF" --version 1.0 --name "マイルストーン" --title Milestone || fail "cfg inf"

run() { # HOST-SETTINGS THREAD
    "$tool" cfg user "$work/game/USER.CFG" --thread "$2" || fail "cfg user"
    env $1 timeout 60 "$game" "$work/game" || fail "$1 thread $2: exit $?"
    [ -f "$work/game/SAVEDATA/APP_CFG.DAT" ] || fail "$1 thread $2: no settings saved"
    rm -f "$work/game/SAVEDATA/APP_CFG.DAT"
}
for thread in 0 1; do
    run "TESSARO_HOST=headless" $thread
    run "TESSARO_HOST=sdl SDL_VIDEODRIVER=offscreen" $thread
    if [ -n "${TESSARO_TEST_X_DISPLAY:-}" ]; then
        run "TESSARO_HOST=sdl SDL_VIDEODRIVER=x11 DISPLAY=$TESSARO_TEST_X_DISPLAY" $thread
    fi
done

TESSARO_HOST=headless timeout 60 "$game" "$work/empty" 2> "$work/err"
code=$?
[ $code -eq 1 ] || fail "empty folder: exit $code"
grep -q "アプリケーション設定ファイルの読み込みに失敗" "$work/err" || fail "empty folder: no message"

TESSARO_HOST=headless timeout 60 "$game" "$work/missing" 2> "$work/err"
code=$?
[ $code -eq 2 ] || fail "missing folder: exit $code"
grep -q "^usage: tessaro" "$work/err" || fail "missing folder: no usage"
echo "milestone: ok"
