#!/bin/sh
# The demo game end to end: the build's recipe (tools/demo/make-demo.sh) brings build/demo up to
# date, and the real engine plays it headless with tools/demo/play.txt in both threading modes,
# each run with HOME, XDG_DATA_HOME and XDG_RUNTIME_DIR of its own: title -> はじめから -> scene 1
# (the room, Mina, her pages; F9 on the second, F10 on the chime's page brings it back; the chime's
# page again) -> the choice -> 外に出る -> the street by a rule transition -> the settings sheet
# (BGM off) -> F7 saves the page into Page.1, F8 a page later loads it -> the quick-save hint, F9 -> おわり -> the title again -> つづきから (the saved page
# again) -> おわり -> おわる, exit 0. The frames the play writes are compared
# with the source pictures where no window stands, Mina's box with ImageMagick's composite of her
# picture over the room, the windows' places with the bare backgrounds (they must differ).
set -u
root="$1"
tool="$2"
tessaro="$3"
build="$4"   # the build folder: the recipe keeps the game in $build/demo
game="$build/demo"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "demo: $*" >&2; exit 1; }

"$root/tools/demo/make-demo.sh" "$tool" "$root/tools/demo" "$build/demo-work" "$build/demo" >/dev/null ||
    fail "the recipe failed"
png="$build/demo-work/png"

# differing A B GEOMETRY FUZZ: how many pixels of A and B differ inside GEOMETRY (WxH+X+Y) by more
# than FUZZ (ImageMagick's -fuzz, e.g. 0 or 0.5%).
differing() {
    convert "$1" -alpha off -crop "$3" +repage "$work/a.png" || fail "convert $1"
    convert "$2" -alpha off -crop "$3" +repage "$work/b.png" || fail "convert $2"
    compare -metric AE -fuzz "$4" "$work/a.png" "$work/b.png" null: 2>&1 | cut -d' ' -f1
}
same() { # A B GEOMETRY FUZZ WHAT
    n=$(differing "$1" "$2" "$3" "$4")
    [ "$n" = 0 ] || fail "$5: $n pixels differ in $3"
}
unlike() { # A B GEOMETRY WHAT: most of the area differs
    n=$(differing "$1" "$2" "$3" 0)
    [ "$n" -gt 1000 ] 2>/dev/null || fail "$4: only '$n' pixels differ in $3"
}
# A loaded page against the page saved: equal but for the page-wait icon (from x 750 in the rows
# 550-569), the caption and the system buttons (the rows from 570).
same_page() { # LOADED SAVED WHAT
    for area in 800x550+0+0 750x20+0+550; do
        same "$1" "$2" $area 0 "$3"
    done
}
comment_is() { # SAVE TEXT WHAT: the save passes `save show`, which prints TEXT as its comment
    "$tool" save show "$1" > "$work/save" || fail "$3: save show refuses it"
    grep -qxF "comment    \"$2\"" "$work/save" || fail "$3: the comment: $(grep '^comment' "$work/save")"
}

# When the play writes each frame, in virtual milliseconds (the recorded sound runs on the same
# clock): "NAME.bmp TIME" lines, so that the sound is looked at where the frames are.
awk '{ sub(/#.*/, "") } NF >= 2 { t = ($1 ~ /^\+/) ? t + substr($1, 2) : $1 } $2 == "frame" { print $3, t }' \
    "$root/tools/demo/play.txt" > "$work/times"
at() { # FRAME [OFFSET]: the frame's time plus OFFSET
    awk -v n="$1" -v d="${2:-0}" '$1 == n { print $2 + d; found = 1 } END { exit !found }' "$work/times" ||
        fail "play.txt writes no $1"
}
# tones WAV FROM TO WHAT loud|quiet FREQ...: each frequency at least 30 dB over unrelated ones
# between the two times (loud), or less than 10 dB (quiet).
tones() {
    wav="$1" from="$2" to="$3" what="$4" want="$5"
    shift 5
    "$tool" sound tones "$wav" "$from" "$to" "$@" > "$work/levels" || fail "$what: sound tones failed"
    bad=$(awk -v want="$want" '(want == "loud" && $2 < 30) || (want == "quiet" && $2 >= 10) { printf " %s Hz at %s dB", $1, $2 }' \
        "$work/levels")
    [ -z "$bad" ] || fail "$what: not $want between $from and $to ms:$bad"
}

# Mina over the room as ImageMagick composes her: her picture's bottom centre on (400, 600).
convert "$png/ROOM.png" "$png/GIRL.png" -geometry +240+0 -composite -alpha off "$work/room-girl.png" ||
    fail "composite"

for thread in 1 0; do
    run="$work/run$thread"
    mkdir -p "$run/home" "$run/rt" "$run/frames"
    chmod 700 "$run/rt"
    cp -r "$game" "$run/game"
    "$tool" cfg user "$run/game/USER.CFG" --window --thread $thread >/dev/null || fail "cfg user"
    (
        cd "$run/frames" &&
            HOME="$run/home" XDG_DATA_HOME="$run/home/data" XDG_CONFIG_HOME="$run/home/config" \
            XDG_RUNTIME_DIR="$run/rt" TESSARO_HOST=headless TESSARO_PLAY="$root/tools/demo/play.txt" \
            TESSARO_AUDIO_WAV="$run/frames/sound.wav" timeout 450 "$tessaro" "$run/game" \
            2> "$run/err"
    )
    code=$?
    [ $code -eq 0 ] || {
        cat "$run/err" >&2
        fail "thread $thread: exit $code; frames written: $(cd "$run/frames" && ls -tr -- *.bmp 2>/dev/null | tr '\n' ' ')"
    }
    grep -q "^play:" "$run/err" && { cat "$run/err" >&2; fail "thread $thread: the play script complained"; }
    f="$run/frames"
    for frame in title room quicksaved quickloaded chime choice street sheet dialogsaved dialogloaded saved \
        ending title-again continued ending-again; do
        [ -s "$f/$frame.bmp" ] || fail "thread $thread: no $frame.bmp"
    done
    [ -s "$f/sound.wav" ] || fail "thread $thread: no sound written"
    [ -f "$run/home/data/Tessaro デモ/APP_CFG.DAT" ] || fail "thread $thread: no settings saved at the end"

    t="thread $thread"
    # The title above the system-menu bar is its picture around its three choice lines (after the
    # title's cross-fade brought its page to the front), and comes back the same.
    for shot in title title-again; do
        for area in 800x130+0+0 800x307+0+270 46x140+0+130 46x140+754+130; do
            same "$f/$shot.bmp" "$png/TITLE.png" $area 0 "$t: $shot"
        done
        for line in 0 1 2; do
            unlike "$f/$shot.bmp" "$png/TITLE.png" 708x40+46+$((130 + 50 * line)) "$t: $shot, choice line $line"
        done
    done
    # The room: left of Mina and above the name window; right of her and above the message window.
    same "$f/room.bmp" "$png/ROOM.png" 240x420+0+0 0 "$t: room"
    same "$f/room.bmp" "$png/ROOM.png" 240x470+560+0 0 "$t: room"
    # Mina's box above the windows: her soft edge blended within 1.
    same "$f/room.bmp" "$work/room-girl.png" 320x470+240+0 0.5% "$t: Mina over the room"
    # The message window stands where the room is bare; the choice lines stand over the room.
    unlike "$f/room.bmp" "$png/ROOM.png" 770x110+15+475 "$t: the message window"
    unlike "$f/choice.bmp" "$work/room-girl.png" 708x70+46+165 "$t: the choice lines"
    # The street after its rule transition, above the windows.
    same "$f/street.bmp" "$png/STREET.png" 800x470+0+0 0 "$t: street"
    # The ending's page after the street's rule transition: the message window stays in front.
    unlike "$f/ending.bmp" "$png/STREET.png" 770x110+15+475 "$t: the message window after a transition"
    # The sound: music 1 (an A-major chord) while the title shows, without the chime's 1760 Hz;
    # the chime on the page that plays it.
    tones "$f/sound.wav" "$(at title.bmp -2000)" "$(at title.bmp)" "$t: the title's music" loud 440 554 659
    tones "$f/sound.wav" "$(at title.bmp -2000)" "$(at title.bmp)" "$t: the title" quiet 1760
    tones "$f/sound.wav" "$(at chime.bmp -4000)" "$(at chime.bmp)" "$t: the chime" loud 1760
    # F9 on the room's second page saved it into bank 1's first ring slot, the page's text as its
    # comment.
    save="$run/home/data/Tessaro デモ/DATA0105.SAV"
    [ -s "$save" ] || fail "$t: no quick-save file"
    comment_is "$save" "「ここは小さな部屋。文字は一文字ずつ現れて、クリックで次の頁に進むの。」" "$t: the quick save"
    # F10 a page later, answered Yes, loads it inside the chime page's wait: the saved page returns
    # as it was saved, and the play goes on from it (the chime's page after one click, checked
    # above and below).
    same_page "$f/quickloaded.bmp" "$f/quicksaved.bmp" "$t: the quick-loaded page"
    unlike "$f/quickloaded.bmp" "$f/room.bmp" 770x110+15+475 "$t: the quick-loaded page, not the first one"
    unlike "$f/quickloaded.bmp" "$f/chime.bmp" 770x110+15+475 "$t: the quick-loaded page, not the one loaded in"
    # The second road, through the dialogs: F7 saves the street's first page into Page.1's first
    # row (DATA0200), F8 a page later loads that row (answered Yes): the page returns as it was
    # saved (outside the wait icon, the caption and the system buttons), and the play goes on from
    # it (the quick-save hint after one click, quick-saved as DATA0106).
    comment_is "$run/home/data/Tessaro デモ/DATA0200.SAV" "外に出ると、夕方の街が広がっていた。" "$t: Page.1's row"
    same_page "$f/dialogloaded.bmp" "$f/dialogsaved.bmp" "$t: the page the load dialog loaded"
    unlike "$f/dialogloaded.bmp" "$f/saved.bmp" 770x110+15+475 "$t: the loaded page, not the one loaded in"
    [ -s "$run/home/data/Tessaro デモ/DATA0106.SAV" ] || fail "$t: no quick save on the page after the loaded one"
    # C on the street's first page opens the settings sheet: BGM off on its sound page, OK. The
    # music is gone from then on, and the settings written at exit keep it off (byte 82).
    tones "$f/sound.wav" "$(at sheet.bmp)" "$(at title-again.bmp)" "$t: after BGM off" quiet 440 554 659
    "$tool" cfg show "$run/home/data/Tessaro デモ/APP_CFG.DAT" > "$work/cfg" || fail "$t: cfg show"
    awk '$1 == "80:" { exit !($4 == 0) }' "$work/cfg" || fail "$t: BGM on in the saved settings: $(grep '^ *80:' "$work/cfg")"
    # つづきから: MAIN loads bank 1's newest slot (the F9 save on the street's last page) by native
    # 44 and resumes it. The street comes back with that page in the message window, and one
    # click on comes the ending's page, not another.
    ls "$run/home/data/Tessaro デモ/"DATA01*.SAV >/dev/null 2>&1 || fail "$t: no save in bank 1"
    same "$f/continued.bmp" "$png/STREET.png" 800x470+0+0 0 "$t: the street after つづきから"
    same "$f/continued.bmp" "$f/saved.bmp" 800x470+0+0 0 "$t: the saved frame above the windows"
    unlike "$f/continued.bmp" "$png/STREET.png" 770x110+15+475 "$t: the saved page after つづきから"
    same "$f/ending-again.bmp" "$png/STREET.png" 800x470+0+0 0 "$t: the ending after つづきから"
    unlike "$f/continued.bmp" "$f/ending-again.bmp" 770x110+15+475 "$t: the page after the saved one"
done
echo "demo: ok"
