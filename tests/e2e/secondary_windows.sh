#!/usr/bin/env bash
# Runs Skimlet.exe under Wine in a private X server and checks its help, about, donation and
# QR-code windows through the probe: class, title, outer size and centred position, owner, the
# controls with their ids, classes, texts and fonts, the disabled windows below, closing and
# opening again, and the QR picture on screen read back by zbarimg.
#
#   secondary_windows.sh --exe Skimlet.exe --probe skimlet-probe.exe --work DIR [--screenshots DIR]
#
# The probe's agent DLL (skimlet_probe_agent.dll) must stand beside the probe.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
screenshots="$repo/build/screenshots"
source "$here/arguments.sh"
read_arguments secondary_windows "exe probe work" "$@"
for tool in wine Xvfb xdotool import zbarimg convert; do
    command -v "$tool" >/dev/null || {
        echo "secondary_windows: $tool is needed" >&2
        exit 2
    }
done

web_address=$(sed -n 's/.*ProductWebAddress\[\] = L"\([^"]*\)".*/\1/p' "$repo/resources/maker_texts.h")
email_address=$(sed -n 's/.*MakerEmailAddress\[\] = L"\([^"]*\)".*/\1/p' "$repo/resources/maker_texts.h")
notice_line=$(sed -n 's/.*MakerNoticeLine\[\] = L"\([^"]*\)".*/\1/p' "$repo/resources/maker_texts.h")

SKIMLET_WINE_LIB=1 source "$repo/scripts/wine-prefix.sh"
skimlet_ensure_locale
run="$work/run"
rm -rf "$run" && mkdir -p "$run/bin" "$screenshots"
cp "$exe" "$run/bin/Skimlet.exe"
"$repo/scripts/wine-prefix.sh" "$work/prefix" >"$run/prefix.log" 2>&1 ||
    { echo "cannot prepare the Wine prefix:" && cat "$run/prefix.log" && exit 1; }
skimlet_wine_env "$work/prefix"

source "$here/harness.sh"
finish() {
    echo "$((checks - failures)) passed, $failures failed"
    [ "$failures" -eq 0 ]
    exit
}

start_xvfb 200 259

start_probe

WM_CLOSE=0x0010
WM_SETCURSOR=0x0020
WM_COMMAND=0x0111
BM_CLICK=0x00F5
HTCLIENT=1

(cd "$run/bin" && exec wine Skimlet.exe >"$run/program.out" 2>&1) &
program_pids+=($!)
must waitfind 60000 CreateChildWindow
main=$answer
must child "$main" 1000
edit=$answer
must screen
read -r screen_width screen_height <<<"$answer"

# expect_window NAME CLASS TITLE WIDTH HEIGHT OWNER : finds the window that just opened and
# checks its title, outer size and centred position and its owner; the handle is left in $window.
expect_window() {
    local name=$1 class=$2 title=$3 width=$4 height=$5 owner=$6 x y w h
    if ! ask waitfind 20000 "$class"; then
        fail "$name: no window of class $class"
        return 1
    fi
    window=$answer
    must text "$window"
    check "$name: title" "$title" "$answer"
    must rect "$window"
    read -r x y w h <<<"$answer"
    check "$name: outer size" "$width $height" "$w $h"
    check "$name: centred on the screen" \
        "$(((screen_width - width) / 2)) $(((screen_height - height) / 2))" "$x $y"
    must owner "$window"
    check "$name: owner" "$owner" "$answer"
    must visible "$window"
    check "$name: visible" 1 "$answer"
}

# expect_children NAME LINE... : the window's controls in creation order, each as
# "id|class|text".
expect_children() {
    local name=$1 expected actual line
    shift
    expected=$(printf '%s\n' "$@")
    must children "$window"
    actual=$(for line in "${answer_lines[@]}"; do
        IFS=$'\t' read -r _ id class _ text <<<"$line"
        printf '%s|%s|%s\n' "$id" "$class" "$text"
    done)
    check "$name: controls, ids and texts" "$expected" "$actual"
    children=("${answer_lines[@]}")
}

# child_handle N : the handle of the Nth control (from 0) of the last expect_children.
child_handle() { echo "${children[$1]%%$'\t'*}"; }

# expect_font NAME N FACE HEIGHT WEIGHT UNDERLINE : the font of control N, or "system".
expect_font() {
    local name=$1 index=$2 expected=$3
    [ "$expected" != system ] && expected="$3|$4|$5|$6"
    if ask font "$(child_handle "$index")"; then
        local face height weight charset italic underline
        IFS=$'\t' read -r face height weight charset italic underline <<<"$answer"
        [ "$face" != system ] && answer="$face|$height|$weight|$underline"
        check "$name: font of control $index" "$expected" "$answer"
    else
        fail "$name: font of control $index: $answer"
    fi
}

# expect_closed NAME CLASS BELOW : after WM_CLOSE the window is gone and BELOW is enabled again
# and in the foreground.
expect_closed() {
    local name=$1 class=$2 below=$3
    for _ in $(seq 100); do
        ask find "$class" || break
        sleep 0.1
    done
    ask find "$class" && fail "$name: still open after WM_CLOSE"
    for _ in $(seq 50); do
        ask foreground && [ "$answer" == "$below" ] && break
        sleep 0.1
    done
    must enabled "$below"
    check "$name closed: the window below is enabled" 1 "$answer"
    must foreground
    check "$name closed: the window below is in the foreground" "$below" "$answer"
}

# expect_no_input NAME TOP [BELOW] : a click and a key on the left end of the main window's query
# box change nothing and leave TOP in the foreground; so does a click on the left edge of BELOW.
expect_no_input() {
    local name=$1 top=$2 below=${3:-} x y w h
    must rect "$edit"
    read -r x y w h <<<"$answer"
    xdotool mousemove $((x + 20)) $((y + h / 2)) click 1 type --delay 50 -- "q"
    sleep 0.5
    must text "$edit"
    check "$name: the query box takes no input" "" "$answer"
    must foreground
    check "$name: a click on the main window leaves it in the foreground" "$top" "$answer"
    if [ -n "$below" ]; then
        must rect "$below"
        read -r x y w h <<<"$answer"
        xdotool mousemove $((x + 10)) $((y + h / 2)) click 1
        sleep 0.5
        must foreground
        check "$name: a click on the window below leaves it in the foreground" "$top" "$answer"
    fi
}

help_labels=(
    "1|Static|"
    "1|Static|帮助："
    "1|Static|      1.输入ab,搜索包含有ab字符的文件名"
    "1|Static|      2.输入ab  cd,搜索包含有ab和cd字符的文件名"
    "1|Static|      3.输入ab  cd !ef,搜索包含有ab和cd,但不包含ef字符的文件名"
    "1|Static|      4.输入d:  ab,搜索d盘下，包含有ab字符的文件名"
    "1|Static|      5.通配符*,输入ab*,搜索出ab开头的文件名。输入ab*cd,搜索出ab开头且cd结尾的文件名。"
    "1|Static|      6.输入汉字，效果一样"
)
about_labels=(
    "1|Static|Skimlet               "
    "2|Static|"
    "3|Static|Skimlet"
    "4|Static|版本 V1.0.0.1024 (x64)"
    "5|Static|$notice_line"
    "6|Static|$email_address"
    "7|Static|$web_address"
)
donation_controls=(
    "1|Static|"
    "1|Static|捐赠"
    "1|Static|感谢您使用 Skimlet"
    "1|Static|感谢您的捐赠，它将有助于 Skimlet 的后续开发。"
    "1|Static|捐赠将用于硬件、软件、服务器托管和其他费用。"
    "1|Static|感谢您的支持！ZR"
    "101|Button|确定，使用微信扫描二维码捐赠"
)

for round in 1 2; do
    name="帮助 ($round)"
    must post "$main" $WM_COMMAND 40024 0
    if expect_window "$name" HelpWindow "帮助" 400 250 "$main"; then
        must enabled "$main"
        check "$name: main window disabled" 0 "$answer"
        expect_children "$name" "${help_labels[@]}"
        expect_font "$name" 0 system
        for i in 1 2 3 4 5 6 7; do expect_font "$name" $i "微软雅黑" -16 500 0; done
        if [ "$round" == 1 ]; then
            expect_no_input "$name" "$window"
            shot secondary-help
        fi
        must post "$window" $WM_CLOSE 0 0
        expect_closed "$name" HelpWindow "$main"
    fi

    name="关于 ($round)"
    must post "$main" $WM_COMMAND 40027 0
    if expect_window "$name" AboutSkimletWindow "关于 Skimlet " 400 350 "$main"; then
        must enabled "$main"
        check "$name: main window disabled" 0 "$answer"
        expect_children "$name" "${about_labels[@]}"
        expect_font "$name" 0 "微软雅黑" -32 700 0
        for i in 1 2 3 4; do expect_font "$name" $i system; done
        for i in 5 6; do expect_font "$name" $i "微软雅黑" -12 400 1; done
        # The two links set the hand cursor and say so; the version text leaves it to default.
        for i in 3 5 6; do
            must send "$window" $WM_SETCURSOR "$(child_handle $i)" $HTCLIENT
            want=0
            [ $i != 3 ] && want=1
            check "$name: WM_SETCURSOR over control $i handled" "$want" "$answer"
        done
        if [ "$round" == 1 ]; then
            expect_no_input "$name" "$window"
            shot secondary-about
        fi
        must post "$window" $WM_CLOSE 0 0
        expect_closed "$name" AboutSkimletWindow "$main"
    fi

    name="捐赠 ($round)"
    must post "$main" $WM_COMMAND 40026 0
    if expect_window "$name" DonationWindow "捐赠" 420 250 "$main"; then
        donation=$window
        must enabled "$main"
        check "$name: main window disabled" 0 "$answer"
        expect_children "$name" "${donation_controls[@]}"
        expect_font "$name" 0 system
        expect_font "$name" 1 "微软雅黑" -24 500 0
        for i in 2 3 4 5 6; do expect_font "$name" $i "微软雅黑" -16 500 0; done
        button=$(child_handle 6)
        [ "$round" == 1 ] && shot secondary-donation

        for press in 1 2; do
            qname="二维码 ($round.$press)"
            must post "$button" $BM_CLICK 0 0
            if expect_window "$qname" QRcodeWindow "二维码捐赠" 315 460 0x0; then
                qrcode=$window
                for below in "$donation" "$main"; do
                    must enabled "$below"
                    check "$qname: window $below disabled" 0 "$answer"
                done
                must children "$qrcode"
                check "$qname: no controls" 0 "${#answer_lines[@]}"
                must setforeground "$qrcode"
                sleep 0.5
                expect_no_input "$qname" "$qrcode" "$donation"
                must findall QRcodeWindow
                check "$qname: one QR-code window" 1 "${#answer_lines[@]}"
                shot "secondary-qrcode-$round-$press"
                # The picture fills the left 300 pixels and the top 400 of the client area; read
                # back from the screen, it must still be the product address's QR code.
                must client "$qrcode"
                read -r x y w h <<<"$answer"
                convert "$screenshots/secondary-qrcode-$round-$press.png" \
                    -crop "300x400+$x+$y" +repage "$run/qr-left.png"
                check "$qname: picture in the left 300 pixels decodes to the web address" \
                    "$web_address" "$(zbarimg --raw -q "$run/qr-left.png" 2>/dev/null)"
                # Right of the picture and below it only the class background shows.
                colours=$(convert "$screenshots/secondary-qrcode-$round-$press.png" \
                    -crop "$((w - 300))x$h+$((x + 300))+$y" +repage -unique-colors txt:- |
                    grep -c '^[0-9]')
                check "$qname: plain right of the picture" 1 "$colours"
                colours=$(convert "$screenshots/secondary-qrcode-$round-$press.png" \
                    -crop "300x$((h - 400))+$x+$((y + 400))" +repage -unique-colors txt:- |
                    grep -c '^[0-9]')
                check "$qname: plain below the picture" 1 "$colours"
                must post "$qrcode" $WM_CLOSE 0 0
                expect_closed "$qname" QRcodeWindow "$donation"
                must enabled "$main"
                check "$qname closed: main window still disabled" 0 "$answer"
            fi
        done
        must post "$donation" $WM_CLOSE 0 0
        expect_closed "$name" DonationWindow "$main"
    fi
done

must post "$main" $WM_COMMAND 40004 0
finish
