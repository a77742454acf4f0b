#!/bin/sh
# The demo's recipe (tools/demo/make-demo.sh): a fresh run makes every file of the game; a second
# run makes nothing; a changed scenario makes only its TOB and SCRIPT.KPK again; a scenario that
# does not pack stops the recipe with a line naming its step.
set -u
root="$1"
tool="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "demo build: $*" >&2; exit 1; }

cp -r "$root/tools/demo" "$work/src"
make() { "$work/src/make-demo.sh" "$tool" "$work/src" "$work/work" "$work/game" 2> "$work/err"; }

make > "$work/out" || { cat "$work/err" >&2; fail "the fresh run failed"; }
for file in USER.CFG SCRIPT.KPK SYS/MS_FRAME.GMP SYS/MS_FRM_B.ELG SYS/RULE001.ELG SYS/NO_DATA.ELG BG/TITLE.ELG \
    BG/ROOM.ELG BG/STREET.ELG CHARA/GIRL.ELG BGM/BGM01.OGG SE/CHIME.OGG SE/SE_TEST.OGG VOICE/VO_TEST.OGG; do
    [ -s "$work/game/$file" ] || fail "the fresh run made no $file"
done
[ -d "$work/game/SCRIPT" ] && fail "the game holds a loose SCRIPT folder beside SCRIPT.KPK"
"$tool" kpk list "$work/game/SCRIPT.KPK" > "$work/list" || fail "SCRIPT.KPK does not list"
for file in KW_APP.SYS KW_APP.INF SOB_INIT.DAT USER_VAR.SOB FUNC_LIB.SOB MAIN.SOB TGS_INIT.DAT TITLE.TOB \
    SCENE01.TOB SCENE02.TOB; do
    grep -qi "[[:space:]]$file[[:space:]]" "$work/list" || fail "SCRIPT.KPK lacks $file"
done

make > "$work/out" || fail "the second run failed"
[ "$(cat "$work/out")" = "make-demo: up to date" ] || fail "the second run: $(cat "$work/out")"

# File times have a resolution: the change must come later than every file made.
sleep 1
touch "$work/mark"
sed -i 's/お茶/紅茶/' "$work/src/scene01.txt"
make > "$work/out" || fail "the run after the change failed"
[ "$(cat "$work/out")" = "make-demo: made SCENE01.TOB SCRIPT.KPK" ] || fail "after the change: $(cat "$work/out")"
changed=$(cd "$work/game" && find . -type f -newer "$work/mark" | sort | tr '\n' ' ')
[ "$changed" = "./SCRIPT.KPK " ] || fail "after the change the game's files made again: $changed"

printf '@nosuchcommand 1\n' >> "$work/src/scene02.txt"
make > "$work/out" && fail "a scenario that does not pack passed"
grep -q "step 'SCENE02.TOB' failed" "$work/err" || { cat "$work/err" >&2; fail "the failure names no step"; }
echo "demo build: ok"
