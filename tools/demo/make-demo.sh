#!/bin/sh
# Makes the demo game from its sources: make-demo.sh TOOL SOURCES WORK GAME
#   TOOL     tessaro-tool
#   SOURCES  this folder (main.txt, func_lib.txt, vars.txt, the scenarios)
#   WORK     a folder for the pictures and sounds before encoding and for the SCRIPT folder
#   GAME     the game folder to make (USER.CFG, SCRIPT.KPK, SYS, BG, CHARA, BGM, SE, VOICE)
# A file is made again only when it is missing or older than what it is made from (the tool
# counts as a source of everything it writes); a script file whose bytes come out the same keeps
# its time, so SCRIPT.KPK is packed again only when a script changed. Any failing step stops the
# recipe with a line naming it.
set -u
[ $# -eq 4 ] || { echo "usage: make-demo.sh TOOL SOURCES WORK GAME" >&2; exit 2; }
tool=$1
src=$2
work=$3
game=$4

fail() { echo "make-demo: step '$1' failed${2:+: $2}" >&2; exit 1; }
need() { command -v "$1" >/dev/null 2>&1 || fail "$2" "'$1' is not installed (scripts/bootstrap installs it)"; }
# stale OUT IN...: OUT is missing or older than one of IN.
stale() {
    out=$1
    shift
    [ -e "$out" ] || return 0
    for in in "$@"; do
        [ "$in" -nt "$out" ] && return 0
    done
    return 1
}
# step NAME OUT IN... -- COMMAND...: runs COMMAND (writing $tmp) when OUT is stale, then moves
# $tmp over OUT; with keep=1 an unchanged result leaves OUT as it was.
keep=0
step() {
    name=$1
    out=$2
    shift 2
    ins=""
    while [ "$1" != "--" ]; do
        ins="$ins $1"
        shift
    done
    shift
    # shellcheck disable=SC2086
    stale "$out" $ins || return 0
    tmp="$out.part"
    rm -f "$tmp"
    "$@" || { rm -f "$tmp"; fail "$name"; }
    [ -e "$tmp" ] || fail "$name" "it wrote nothing"
    if [ "$keep" = 1 ] && [ -e "$out" ] && cmp -s "$tmp" "$out"; then
        rm -f "$tmp"
        touch "$out"
        return 0
    fi
    mv -f "$tmp" "$out" || fail "$name"
    made="$made $(basename "$out")"
}

[ -x "$tool" ] || fail "tool" "$tool is not an executable"
for t in convert sox oggenc fc-match cmp; do
    need $t "tools"
done
mkdir -p "$work/png" "$work/wav" "$work/SCRIPT" "$game/SYS" "$game/BG" "$game/CHARA" "$game/BGM" \
    "$game/SE" "$game/VOICE" || fail "folders"
me="$src/make-demo.sh"
made=""

# ---- the system script and the scenarios (SCRIPT, then SCRIPT.KPK) ----
keep=1
s="$work/SCRIPT"
vars="$src/vars.txt"
step "KW_APP.SYS" "$s/KW_APP.SYS" "$tool" "$me" -- \
    "$tool" cfg sys "$s/KW_APP.SYS.part" --size 800x600 --accel --switch 1 --save-mode 3
step "KW_APP.INF" "$s/KW_APP.INF" "$tool" "$me" -- \
    "$tool" cfg inf "$s/KW_APP.INF.part" --version 1.0 --name "Tessaro デモ" --title "Tessaro デモ" \
    --save-name "Tessaro デモ"
step "SOB_INIT.DAT" "$s/SOB_INIT.DAT" "$tool" "$me" -- \
    "$tool" sob init "$s/SOB_INIT.DAT.part" MAIN:0:0 COMMON:0:0
step "USER_VAR.SOB" "$s/USER_VAR.SOB" "$tool" "$vars" -- "$tool" sob vars "$vars" "$s/USER_VAR.SOB.part"
step "FUNC_LIB.SOB" "$s/FUNC_LIB.SOB" "$tool" "$vars" "$src/func_lib.txt" -- \
    "$tool" sob asm "$src/func_lib.txt" "$s/FUNC_LIB.SOB.part" --library --vars "$vars"
step "MAIN.SOB" "$s/MAIN.SOB" "$tool" "$vars" "$src/main.txt" -- \
    "$tool" sob asm "$src/main.txt" "$s/MAIN.SOB.part" --module --vars "$vars"
for scene in TITLE SCENE01 SCENE02; do
    lower=$(echo $scene | tr 'A-Z' 'a-z')
    step "$scene.TOB" "$s/$scene.TOB" "$tool" "$vars" "$src/$lower.txt" -- \
        "$tool" tob pack "$src/$lower.txt" "$s/$scene.TOB.part" --tob1 --vars "$vars"
done
# The script table names each file as the engine asks for it, so it is written from copies under
# their own names.
tgs_init() {
    mkdir -p "$work/tobs" && cp "$s/TITLE.TOB" "$s/SCENE01.TOB" "$s/SCENE02.TOB" "$work/tobs/" &&
        "$tool" tob init "$s/TGS_INIT.DAT.part" "$work/tobs/TITLE.TOB" "$work/tobs/SCENE01.TOB" \
            "$work/tobs/SCENE02.TOB"
}
step "TGS_INIT.DAT" "$s/TGS_INIT.DAT" "$tool" "$s/TITLE.TOB" "$s/SCENE01.TOB" "$s/SCENE02.TOB" -- tgs_init
keep=0
# The archive's name is part of its key: it is packed as SCRIPT.KPK where the game reads it.
pack() { "$tool" kpk pack "$game/SCRIPT.KPK" "$s" >/dev/null && mv -f "$game/SCRIPT.KPK" "$game/SCRIPT.KPK.part"; }
step "SCRIPT.KPK" "$game/SCRIPT.KPK" "$tool" "$s"/*.SYS "$s"/*.INF "$s"/*.DAT "$s"/*.SOB "$s"/*.TOB -- pack
step "USER.CFG" "$game/USER.CFG" "$tool" "$me" -- "$tool" cfg user "$game/USER.CFG.part" --window --thread 1

# ---- the scenario screen's own pictures ----
# Every file of the skin is copied; the parts file, copied last, stands for them all.
skin() {
    rm -rf "$work/skin" && "$tool" tgs skin "$work/skin" >/dev/null &&
        cp "$work"/skin/SYS/*.ELG "$game/SYS/" && cp "$work/skin/SYS/MS_FRAME.GMP" "$game/SYS/MS_FRAME.GMP.part"
}
step "tgs skin" "$game/SYS/MS_FRAME.GMP" "$tool" -- skin
rule() { "$tool" effect-data "$work/effects" >/dev/null && cp "$work/effects/SYS/RULE001.ELG" "$game/SYS/RULE001.ELG.part"; }
step "RULE001.ELG" "$game/SYS/RULE001.ELG" "$tool" -- rule

# ---- pictures: ImageMagick draws them as PNG, elg encode makes the game's files ----
font=$(fc-match -f '%{file}' 'IPAGothic:style=Regular') || fail "font" "fc-match found no IPA Gothic"
[ -f "$font" ] || fail "font" "fc-match named '$font', which is not a file (install fonts-ipafont-gothic)"
p="$work/png"
# PNGs without time stamps, so that a remade picture is the same bytes.
png() { # OUT CONVERT-ARGUMENTS...
    png_out=$1
    shift
    convert "$@" -define png:exclude-chunks=date,time "$png_out"
}
step "TITLE.png" "$p/TITLE.png" "$me" -- png "PNG24:$p/TITLE.png.part" -size 800x600 gradient:'#1b2a5a-#7a4a8c' \
    -fill '#ffffff30' -draw 'circle 620,160 620,60' -fill '#ffffff18' -draw 'circle 160,470 160,330' \
    -font "$font" -pointsize 72 -fill white -gravity center -annotate +0-40 'Tessaro デモ' \
    -pointsize 24 -annotate +0+40 'ちいさな部屋のものがたり' -type TrueColor
step "ROOM.png" "$p/ROOM.png" "$me" -- png "PNG24:$p/ROOM.png.part" -size 800x600 gradient:'#e8d8b8-#a88858' \
    -fill '#9cc8f0' -stroke '#5a4028' -strokewidth 8 -draw 'rectangle 470,90 720,300' \
    -draw 'line 595,90 595,300' -draw 'line 470,195 720,195' \
    -stroke none -fill '#6a4a2a' -draw 'rectangle 0,470 800,600' \
    -fill '#c06040' -draw 'rectangle 60,380 300,470' -type TrueColor
step "STREET.png" "$p/STREET.png" "$me" -- png "PNG24:$p/STREET.png.part" -size 800x600 gradient:'#f0a060-#603070' \
    -fill '#303040' -draw 'rectangle 0,380 800,600' -fill '#202030' \
    -draw 'rectangle 40,180 200,380' -draw 'rectangle 560,120 760,380' -fill '#f0e070' \
    -draw 'rectangle 80,220 110,250' -draw 'rectangle 620,160 650,190' -draw 'rectangle 680,240 710,270' \
    -fill '#c0c0c0' -draw 'rectangle 0,470 800,480' -type TrueColor
# A figure with a soft edge: opaque inside, its alpha falling off over a few pixels at the rim. It
# stands in the top 470 rows of its picture, so that placed on the screen's bottom edge it ends
# above the message window.
step "GIRL.png" "$p/GIRL.png" "$me" -- png "PNG32:$p/GIRL.png.part" -size 320x600 xc:none \
    -fill '#e04870' -draw 'polygon 70,465 250,465 215,230 105,230' \
    -fill '#f4d0b0' -draw 'circle 160,150 160,78' -fill '#402018' -draw 'ellipse 160,122 86,58 180,360' \
    -channel A -blur 0x3 +channel -type TrueColorAlpha
step "NO_DATA.png" "$p/NO_DATA.png" "$me" -- png "PNG24:$p/NO_DATA.png.part" -size 120x90 xc:'#404040' -fill '#808080' \
    -font "$font" -pointsize 14 -gravity center -annotate +0+0 'NO DATA' -type TrueColor
elg() { # NAME PNG OUT DEPTH
    step "$1" "$3" "$tool" "$2" -- "$tool" elg encode "$2" "$3.part" --depth "$4"
}
elg "BG\\TITLE.ELG" "$p/TITLE.png" "$game/BG/TITLE.ELG" 24
elg "BG\\ROOM.ELG" "$p/ROOM.png" "$game/BG/ROOM.ELG" 24
elg "BG\\STREET.ELG" "$p/STREET.png" "$game/BG/STREET.ELG" 24
elg "CHARA\\GIRL.ELG" "$p/GIRL.png" "$game/CHARA/GIRL.ELG" 32
elg "SYS\\NO_DATA.ELG" "$p/NO_DATA.png" "$game/SYS/NO_DATA.ELG" 24

# ---- sounds: sox synthesises 44.1 kHz stereo, oggenc encodes ----
w="$work/wav"
synth() { sox -n -r 44100 -c 2 -b 16 "$@"; }
chord() {
    synth "$w/a.wav" synth 8 sine 440 vol 0.25 && synth "$w/cs.wav" synth 8 sine 554 vol 0.25 &&
        synth "$w/e.wav" synth 8 sine 659 vol 0.25 &&
        sox -m "$w/a.wav" "$w/cs.wav" "$w/e.wav" -t wav "$w/BGM01.wav.part" && rm -f "$w/a.wav" "$w/cs.wav" "$w/e.wav"
}
step "BGM01.wav" "$w/BGM01.wav" "$me" -- chord
step "CHIME.wav" "$w/CHIME.wav" "$me" -- synth -t wav "$w/CHIME.wav.part" synth 0.4 sine 1760 fade q 0.005 0.4 0.38 vol 0.6
step "SE_TEST.wav" "$w/SE_TEST.wav" "$me" -- synth -t wav "$w/SE_TEST.wav.part" synth 0.3 sine 880 fade q 0.005 0.3 0.2 vol 0.5
step "VO_TEST.wav" "$w/VO_TEST.wav" "$me" -- synth -t wav "$w/VO_TEST.wav.part" synth 0.6 sine 330 fade q 0.02 0.6 0.2 vol 0.5
ogg() { # NAME WAV OUT
    step "$1" "$3" "$2" -- oggenc -Q -q 4 --serial 1 -o "$3.part" "$2"
}
ogg "BGM\\BGM01.OGG" "$w/BGM01.wav" "$game/BGM/BGM01.OGG"
ogg "SE\\CHIME.OGG" "$w/CHIME.wav" "$game/SE/CHIME.OGG"
ogg "SE\\SE_TEST.OGG" "$w/SE_TEST.wav" "$game/SE/SE_TEST.OGG"
ogg "VOICE\\VO_TEST.OGG" "$w/VO_TEST.wav" "$game/VOICE/VO_TEST.OGG"

if [ -n "$made" ]; then
    echo "make-demo: made$made"
else
    echo "make-demo: up to date"
fi
