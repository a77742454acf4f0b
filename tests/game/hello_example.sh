#!/bin/sh
# The README's "Make a game folder" end to end: docs/examples/hello/make-game.sh makes the folder
# (loose and packed in SCRIPT.KPK) with tessaro-tool, the real engine plays it on the headless host
# in both threading modes and ends with 0, and the README shows the example's MAIN and commands
# word for word.
set -u
root="$1"
tool="$2"
game="$3"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "hello example: $*" >&2; exit 1; }

mkdir -p "$work/home" "$work/run"
chmod 700 "$work/run"
export HOME="$work/home" XDG_DATA_HOME="$work/home/data" XDG_CONFIG_HOME="$work/home/config" \
    XDG_RUNTIME_DIR="$work/run" TESSARO_TOOL="$tool"
example="$root/docs/examples/hello"

for form in loose kpk; do
    option=""
    [ $form = kpk ] && option="--kpk"
    "$example/make-game.sh" "$work/$form" $option || fail "$form: make-game.sh failed"
    for thread in 0 1; do
        "$tool" cfg user "$work/$form/USER.CFG" --window --thread $thread || fail "cfg user"
        TESSARO_HOST=headless timeout 120 "$game" "$work/$form" 2> "$work/err"
        code=$?
        [ $code -eq 0 ] || { cat "$work/err" >&2; fail "$form, thread $thread: exit $code"; }
        [ -f "$work/$form/SAVEDATA/APP_CFG.DAT" ] || fail "$form, thread $thread: no settings saved"
        rm -f "$work/$form/SAVEDATA/APP_CFG.DAT"
    done
done
[ -d "$work/kpk/SCRIPT" ] && fail "kpk: the SCRIPT folder was not replaced by SCRIPT.KPK"
"$example/make-game.sh" 2>/dev/null && fail "make-game.sh without a folder succeeded"

# The README's blocks after "<!-- hello: NAME -->" against the example.
block() {
    awk -v mark="<!-- hello: $1 -->" '
        $0 == mark { found = 1; next }
        found == 1 && /^```/ { found = 2; next }
        found == 2 && /^```/ { exit }
        found == 2 { print }' "$root/README.md"
}
block main.txt > "$work/readme-main.txt"
cmp -s "$work/readme-main.txt" "$example/main.txt" || fail "README's MAIN differs from docs/examples/hello/main.txt"
block commands > "$work/readme-commands.txt"
[ -s "$work/readme-commands.txt" ] || fail "README has no hello commands"
grep '^\("$tool" \(cfg\|sob\)\|mkdir\) ' "$example/make-game.sh" |
    sed -e 's|^"$tool"|scripts/tool|' -e 's|"$game/\([^"]*\)"|hello/\1|g' \
        -e 's|"$here/\([^"]*\)"|docs/examples/hello/\1|g' \
    > "$work/script-commands.txt"
cmp -s "$work/readme-commands.txt" "$work/script-commands.txt" ||
    { diff "$work/readme-commands.txt" "$work/script-commands.txt" >&2; fail "README's commands differ from make-game.sh"; }
echo "hello example: ok"
