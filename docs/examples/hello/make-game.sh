#!/bin/sh
# Makes the "hello" game folder: make-game.sh GAME [--kpk]
#   GAME   the folder to make (its SCRIPT folder is created)
#   --kpk  pack SCRIPT\ into SCRIPT.KPK afterwards, as a released game ships it
# The tool is scripts/tool (which builds it on first use) unless TESSARO_TOOL names one.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tool=${TESSARO_TOOL:-$here/../../../scripts/tool}
if [ $# -lt 1 ] || [ $# -gt 2 ] || { [ $# -eq 2 ] && [ "$2" != --kpk ]; }; then
    echo "usage: make-game.sh GAME [--kpk]" >&2
    exit 2
fi
game=$1
# The commands below are the README's "Make a game folder", word for word.
mkdir -p "$game/SCRIPT"
"$tool" cfg sys "$game/SCRIPT/KW_APP.SYS" --size 640x480 --save-mode 1
"$tool" cfg inf "$game/SCRIPT/KW_APP.INF" --version 1.0 --name Hello --title "Hello, Tessaro"
"$tool" cfg user "$game/USER.CFG" --window
"$tool" sob vars "$here/vars.txt" "$game/SCRIPT/USER_VAR.SOB"
"$tool" sob init "$game/SCRIPT/SOB_INIT.DAT" MAIN:0:0 COMMON:0:0
"$tool" sob asm "$here/main.txt" "$game/SCRIPT/MAIN.SOB" --module --vars "$here/vars.txt"
if [ $# -eq 2 ]; then
    "$tool" kpk pack "$game/SCRIPT.KPK" "$game/SCRIPT"
    rm -r "$game/SCRIPT"
fi
