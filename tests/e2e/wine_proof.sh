#!/usr/bin/env bash
# Runs Skimlet.exe under Wine in a private X server, with one and then two NTFS images mapped as
# drives, drives it with xdotool and the probe, and holds what its windows show against
# skimlet-cli on the same images.
#
#   wine_proof.sh --exe Skimlet.exe --cli skimlet-cli --make-image skimlet-make-image
#                 --probe skimlet-probe.exe --work DIR [--screenshots DIR]
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
screenshots="$repo/build/screenshots"
source "$here/arguments.sh"
read_arguments wine_proof "exe cli make_image probe work" "$@"

started=$(date +%s)
SKIMLET_WINE_LIB=1 source "$repo/scripts/wine-prefix.sh"
skimlet_ensure_locale
# Wine and the C runtimes read the same POSIX zone text: China Standard Time, without summer time.
export TZ=CST-8
rm -rf "$work/run" && mkdir -p "$work/run" "$screenshots"
run="$work/run"
prefix="$work/prefix"
skimlet_wine_env "$prefix"

source "$here/harness.sh"
# check_files NAME EXPECTED_FILE ACTUAL_FILE
check_files() {
    if cmp -s "$2" "$3"; then
        pass
    else
        fail "$1 ($2 vs $3)"
        diff <(head -c 200000 "$2") <(head -c 200000 "$3") | head -8 | sed 's/^/  /'
    fi
}
section() { echo "== $* ($(($(date +%s) - started)) s)"; }

# ---- X server and images ----

start_xvfb 140 199

section "images"
for name in docs second; do
    "$make_image" "$run/$name.img" "$here/images/$name.manifest" >"$run/$name.facts.log" 2>&1 ||
        { echo "cannot make $name.img:" && cat "$run/$name.facts.log" && exit 1; }
done

# The program is started from a folder of its own so that "新建搜索窗口" finds "Skimlet.exe" there.
mkdir -p "$run/bin"
cp "$exe" "$run/bin/Skimlet.exe"

# ---- The probe, a coprocess that answers one request per line ----


# ---- Expectations from skimlet-cli ----

# The five display cells of each row: Name, FolderPath, SizeText, CreatedText, ModifiedText.
cells_of() { awk -F'\t' -v OFS='\t' '{ print $3, $11, $5, $7, $9 }'; }
# expect NAME ARGS... : skimlet-cli's rows in $run/NAME.tsv and its count text in $expected_count.
expect() {
    local name=$1
    shift
    "$cli" "$@" "${images[@]}" >"$run/$name.tsv" 2>"$run/$name.err" ||
        fail "skimlet-cli $* failed: $(cat "$run/$name.err")"
    expected_count=$(tail -n 1 "$run/$name.err")
}

# rows_shown FILE : every row the list shows, as five TAB-separated cells.
rows_shown() {
    must rows "$list" 0 -1
    printf '%s\n' "${answer_lines[@]}" | sed '/^$/d' >"$1"
}
# check_rows NAME EXPECTED_TSV KEY : the list must show the expected rows in their order, except
# that rows which the last ordering finds equivalent (same kind and same KEY: name, size,
# created, modified; none when unsorted) may stand in any order among themselves.
check_rows() {
    local name=$1 expected=$2 key=$3
    rows_shown "$run/$name.shown"
    awk -F'\t' -v OFS='\t' -v key="$key" '
        {
            if (key == "name") k = $4 "|" $3
            else if (key == "size") k = $4 "|" $5
            else if (key == "created") k = $4 "|" $6
            else if (key == "modified") k = $4 "|" $8
            else k = NR
            if (NR == 1 || k != previous) group++
            previous = k
            print group
        }' "$expected" >"$run/$name.groups"
    paste "$run/$name.groups" <(cells_of <"$expected") | sort >"$run/$name.expected"
    paste "$run/$name.groups" "$run/$name.shown" | sort >"$run/$name.actual"
    if [ "$(wc -l <"$run/$name.shown")" -ne "$(wc -l <"$expected")" ]; then
        fail "$name: the list shows $(wc -l <"$run/$name.shown") rows, expected $(wc -l <"$expected")"
    elif cmp -s "$run/$name.expected" "$run/$name.actual"; then
        pass
    else
        fail "$name: rows differ (by group: < expected, > shown)"
        diff "$run/$name.expected" "$run/$name.actual" | head -6 | sed 's/^/  /'
    fi
}

neutral_header() {
    case $1 in
    0) printf '名称%47s↑↓' '' ;;
    1) printf '路径%58s↑↓' '' ;;
    2) printf '大小    ↑↓' ;;
    3) printf '创建时间    ↑↓' ;;
    4) printf '修改时间    ↑↓' ;;
    esac
}
# check_headers NAME [COLUMN MARKER] : the five header texts, COLUMN carrying MARKER.
check_headers() {
    local name=$1 column=${2:--1} marker=${3:-} expected="" i text
    for i in 0 1 2 3 4; do
        text=$(neutral_header $i)
        [ "$i" = "$column" ] && text="${text%↑↓}$marker"
        expected+="$text|"
    done
    must headers "$list"
    check "$name: header texts" "$expected" "$(printf '%s|' "${answer_lines[@]}")"
}

# These leave their result in $answer: the probe's pipes are not open in subshells.
status_text() { must text "$statusbar"; }
# wait_status PATTERN SECONDS : waits until the status bar text matches an extended regex.
wait_status() {
    local deadline=$(($(date +%s) + $2))
    while [ "$(date +%s)" -lt "$deadline" ]; do
        ask text "$statusbar" && [[ "$answer" =~ $1 ]] && return 0
        sleep 0.2
    done
    return 1
}
barrier() { must barrier "$edit"; }
command() { must command "$main" "$1" "$edit"; }
menu_state() {
    must menu "$main" "$1"
    answer=${answer%%,*}
}

# start_program [FOLDER EXE] : starts the program (Skimlet.exe of $run/bin unless given) and finds
# its window and controls.
start_program() {
    local folder=${1:-$run/bin} file=${2:-Skimlet.exe}
    (cd "$folder" && exec wine "$file" >"$run/program.out" 2>&1) &
    program_pids+=($!)
    program_shell=$!
    find_main_window 60000
}

# exit_program : "退出" must end the process with exit code 0.
exit_program() {
    must post "$main" 0x0111 40004 0
    if ask exitcode "$main_pid" 20000; then
        check "退出: exit code" 0 "$answer"
    else
        fail "退出: the process did not end ($answer)"
    fi
    wait "$program_shell"
    check "退出: exit status of wine" 0 "$?"
    if [ -n "${icon_x:-}" ]; then
        for _ in $(seq 30); do
            colours=$(tray_colours)
            [ "$colours" = 1 ] && break
            sleep 0.1
        done
        check "退出: the tray icon is gone" 1 "$colours"
    fi
}

# type_query TEXT : clicks into the query box and types TEXT one character at a time (xdotool
# drops characters of Chinese text typed quickly), then waits until the box holds it.
type_query() {
    local text=$1 i x y w h
    must settext "$edit" ""
    must setforeground "$main"
    must rect "$edit"
    read -r x y w h <<<"$answer"
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
    # A character that Wine read with a stale keyboard mapping is lost; it is typed again.
    for ((i = 0; i < ${#text}; i++)); do
        for _ in 1 2 3; do
            xdotool type --delay 30 -- "${text:i:1}"
            for _ in $(seq 20); do
                ask text "$edit" && [ "${#answer}" -gt "$i" ] && break
                sleep 0.05
            done
            [ "${#answer}" -gt "$i" ] && break
        done
    done
    check "typed query '$text' reaches the query box" "$text" "$answer"
    barrier
}

# click_header COLUMN : a real mouse click on the header item.
click_header() {
    local x y w h
    must headerrect "$list" "$1"
    read -r x y w h <<<"$answer"
    must setforeground "$main"
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
    sleep 0.3
    barrier
}

# export_via_dialog UNIX_PATH [START_NAME] : "导出", then xdotool types the file's Windows path
# into the save dialog and confirms it. START_NAME is the file name the dialog must offer first.
export_via_dialog() {
    local target=$1 start_name=${2-} windows_path dialog name_box
    windows_path=$(winepath -w "$target" 2>/dev/null)
    rm -f "$target"
    must post "$main" 0x0111 40002 0
    if ! ask waitfind 20000 "#32770" - "$main_pid"; then
        fail "导出: no save dialog appeared"
        return
    fi
    dialog=$answer
    sleep 0.5
    # The file-name box: the edit inside the file-name combo box (id 1148), or the plain edit
    # (id 1152) of dialogs without one.
    name_box=""
    must children "$dialog"
    for line in "${answer_lines[@]}"; do
        IFS=$'\t' read -r handle id class _ <<<"$line"
        if [ "$class" = Edit ] && { [ "$id" = 1148 ] || [ "$id" = 1152 ]; }; then
            name_box=$handle
            break
        fi
    done
    [ -n "$name_box" ] || fail "导出: no file-name box in the save dialog"
    # Wine opens the dialog in the folder of a full starting path and shows only its file name.
    if [ -n "$name_box" ] && [ $# -gt 1 ]; then
        must text "$name_box"
        if [ "$answer" == "$start_name" ] || [ "$answer" == "${start_name##*\\}" ]; then
            pass
        else
            fail "导出: the dialog starts with '$answer', not the last path '$start_name'"
        fi
    fi
    shot "export-dialog-$(basename "$target" .csv)"
    must setforeground "$dialog"
    sleep 0.3
    xdotool key --delay 50 End shift+Home BackSpace
    xdotool type --delay 20 -- "$windows_path"
    if [ -n "$name_box" ]; then
        for _ in $(seq 50); do
            ask text "$name_box" && [ "$answer" == "$windows_path" ] && break
            sleep 0.1
        done
        check "导出: the typed path reaches the dialog" "$windows_path" "$answer"
    fi
    xdotool key Return
    for _ in $(seq 100); do
        ask visible "$dialog" || break
        [ "$answer" = 0 ] && break
        sleep 0.1
    done
    barrier
    [ -f "$target" ] || fail "导出: no file $target was written"
}

finish() {
    echo "wine proof: $checks checks, $failures failed, $(($(date +%s) - started)) s"
    [ "$failures" -eq 0 ] && exit 0
    exit 1
}

# ===================== One image as drive D =====================

section "prefix with drive D"
"$repo/scripts/wine-prefix.sh" "$prefix" D="$run/docs.img" >"$run/prefix.log" 2>&1 ||
    { cat "$run/prefix.log" && exit 1; }
images=("$run/docs.img=D")
start_probe
start_program

section "load"
expect all
total=$(wc -l <"$run/all.tsv")
if wait_status '耗时' 120; then pass; else fail "load: no finished-load text ($answer)"; fi
status_text
load_text=$answer
if [[ "$load_text" =~ ^([0-9,]+)\ 个对象\ \ \ 耗时:\ [0-9]+\.[0-9]{6}秒$ ]]; then
    check "load: count in the status bar" "$(format_count "$total") 个对象" "${BASH_REMATCH[1]} 个对象"
else
    fail "load: status text '$load_text' is not 'N 个对象   耗时: S秒'"
fi
must count "$list"
check "load: row count" "$total" "$answer"
must rows "$list" 0 25
check "load: first rows' cells" "$(head -n 25 "$run/all.tsv" | cells_of)" \
    "$(printf '%s\n' "${answer_lines[@]}")"
check_headers "load"
must text "$main"
check "load: title" "Skimlet秒搜文件名" "$answer"
for id_state in 40006:checked 40011:checked 40013:checked 40015:checked 40007:unchecked \
    40012:unchecked 40020:unchecked; do
    menu_state "${id_state%%:*}"
    check "load: menu mark of ${id_state%%:*}" "${id_state#*:}" "$answer"
done
must menu "$main" 40014
check "load: 区分大小写 is grayed" "unchecked,grayed"$'\t'"区分大小写" "$answer"
must font "$edit"
check "load: the query box font" "Arial"$'\t'"26"$'\t'"400"$'\t'"0"$'\t'"0"$'\t'"0" "$answer"
check "load: C: and Z: are left out with the error line" 2 "$(grep -c '^error' "$run/program.out")"
shot "loaded"

section "whole table export before any sort"
export_via_dialog "$run/export-all.csv" ""
"$cli" --export "$run/expected-all.csv" --codepage CP936 "${images[@]}" >/dev/null 2>&1
check_files "导出 of the whole table" "$run/expected-all.csv" "$run/export-all.csv"

section "queries"
for query in report skim SKIM "d: 报告" 照片 "旅行" "nothing-matches-this"; do
    type_query "$query"
    expect "query-$query" --query "$query"
    status_text
    check "query '$query': status text" "$expected_count" "$answer"
    check_rows "query-$query" "$run/query-$query.tsv" none
done
shot "query-chinese"
type_query "skim"
command 40020
expect type-folder --query skim --type 5
status_text
check "文件夹 with 'skim': status text" "$expected_count" "$answer"
check_rows "type-folder" "$run/type-folder.tsv" none
menu_state 40020
check "文件夹 is marked" checked "$answer"
menu_state 40015
check "所有 is unmarked" unchecked "$answer"
command 40018
expect type-document --query skim --type 3
check_rows "type-document" "$run/type-document.tsv" none
command 40015
check_rows "所有 again" "$run/query-skim.tsv" none
# Through the menu itself: F10 opens the menu bar, the arrows walk to "搜索    " and down its
# items (the separator is skipped) to "图片".
type_query "照片"
must setforeground "$main"
xdotool key --delay 120 F10 Right Right Down Down Down Down Down Down Down Down Down Return
sleep 0.3
barrier
expect type-picture --query 照片 --type 6
status_text
check "图片 chosen in the 搜索 menu: status text" "$expected_count" "$answer"
check_rows "图片 chosen in the 搜索 menu" "$run/type-picture.tsv" none
menu_state 40021
check "图片 is marked" checked "$answer"
command 40015

section "orderings"
must settext "$edit" ""
barrier
status_text
check "empty query: count text" "$(format_count "$total") 个对象" "$answer"
click_header 2
expect click-size --click 2
check_rows "header click 大小" "$run/click-size.tsv" size
check_headers "header click 大小" 2 "▲"
status_text
check "header click: count text" "$(format_count "$total") 个对象" "$answer"
shot "sorted-size-up"
# A new search brings table order back and leaves the mark where it is. The rest of the orderings
# run on this smaller result.
type_query "re"
expect query-re --query re
check_rows "query after a sort: table order" "$run/query-re.tsv" none
check_headers "query after a sort" 2 "▲"
click_header 2
expect click-size2 --query re --click 2 --click 2
check_rows "second header click 大小" "$run/click-size2.tsv" size
check_headers "second header click 大小" 2 "▼"
command 40012
check_rows "降序 leaves the rows" "$run/click-size2.tsv" size
menu_state 40012
check "降序 is marked" checked "$answer"
menu_state 40011
check "升序 is unmarked" unchecked "$answer"
command 40006
expect sort-name-down --query re --click 2 --click 2 --descending --sort 0
check_rows "名称 排序 after 降序" "$run/sort-name-down.tsv" name
check_headers "名称 排序 after 降序" 0 "▼"
menu_state 40006
check "名称 排序 is marked" checked "$answer"
command 40011
command 40010
expect sort-modified --query re --sort 4
check_rows "修改时间 排序 after 升序" "$run/sort-modified.tsv" modified
check_headers "修改时间 排序 after 升序" 4 "▲"
menu_state 40010
check "修改时间 排序 is marked" checked "$answer"
click_header 1
expect click-path --query re --sort 4 --click 1
check_rows "header click 路径" "$run/click-path.tsv" name
check_headers "header click 路径" 1 "▲"
menu_state 40010
check "a header click moves no menu mark" checked "$answer"
click_header 3
expect click-created --query re --sort 4 --click 1 --click 3
check_rows "header click 创建时间 after 路径" "$run/click-created.tsv" created
check_headers "header click 创建时间 after 路径" 3 "▼"
shot "sorted-created"
# Selecting a row describes it in the status bar; a folder text is cut to 99 characters there.
long_row=""
i=0
while IFS=$'\t' read -r _ folder _ created modified; do
    if [ "${#folder}" -gt 99 ]; then
        long_row=$i
        break
    fi
    i=$((i + 1))
done <"$run/header click 创建时间 after 路径.shown"
if [ -n "$long_row" ]; then
    must select "$list" "$long_row"
    barrier
    status_text
    check "selecting a row with a long folder: description" \
        "创建时间: $created,  修改时间: $modified,  路径: ${folder:0:99}" "$answer"
else
    fail "no row with a folder text longer than 99 characters in the result of 're'"
fi

section "export after a sort"
type_query "skim"
click_header 0
export_via_dialog "$run/export-skim.csv" "$(winepath -w "$run/export-all.csv" 2>/dev/null)"
expect expected-skim --query skim --sort 4 --click 1 --click 3 --click 0 \
    --export "$run/expected-skim.csv" --codepage CP936
check_files "导出 after a query and a header click" "$run/expected-skim.csv" "$run/export-skim.csv"
check_rows "rows after the header click 名称" "$run/expected-skim.tsv" name

section "selection and clipboard"
# A row with a name in code page 936 and one with a name outside it. Wine would derive Unicode
# text from CF_TEXT alone and turn the characters outside the code page into question marks, so
# the second name arrives whole only because the program puts its own CF_UNICODETEXT.
# Wine hands X the whole memory block of CF_TEXT, also what follows the terminating zero, where
# the system stops; so the text ends at the first zero.
read_clipboard_text() {
    clip=$(timeout 5 xclip -o -selection clipboard 2>/dev/null | tr '\0' '\n' | head -n 1)
}
# copy_from_row_menu LABEL EXPECTED: in the open row menu, takes 复制全路径+文件名 (the third
# item) and checks that the clipboard then holds EXPECTED.
copy_from_row_menu() {
    xdotool key --delay 120 Down Down Down Return
    sleep 0.3
    barrier
    clip=""
    for _ in $(seq 50); do
        read_clipboard_text
        [ "$clip" == "$2" ] && break
        sleep 0.1
    done
    check "$1" "$2" "$clip"
}
for name in "Skimlet计划.docx" "skim한글.txt"; do
    row=$(awk -F'\t' -v n="$name" '$3 == n { print NR - 1; exit }' "$run/expected-skim.tsv")
    if [ -z "$row" ]; then
        fail "no row '$name' in the expected rows"
        continue
    fi
    line=$(awk -v r=$((row + 1)) 'NR == r' "$run/expected-skim.tsv")
    IFS=$'\t' read -r -a field <<<"$line"
    must select "$list" "$row"
    barrier
    status_text
    check "selecting '$name': status description" \
        "创建时间: ${field[6]},  修改时间: ${field[8]},  路径: ${field[10]}" "$answer"
    command 40030
    expected_clip="${field[10]}\\${field[2]}"
    clip=""
    for _ in $(seq 50); do
        read_clipboard_text
        [ "$clip" == "$expected_clip" ] && break
        sleep 0.1
    done
    check "复制全路径+文件名 of '$name'" "$expected_clip" "$clip"
done
shot "selection"

# row_of NAME : the row index of NAME in the expected rows of the current list.
row_of() { awk -F'\t' -v n="$1" '$3 == n { print NR - 1; exit }' "$run/expected-skim.tsv"; }
# expect_message_box NAME TEXT : a message box "错误" with TEXT, which is then closed.
expect_message_box() {
    local box found=0 line
    if ! ask waitfind 15000 "#32770" "错误" "$main_pid"; then
        fail "$1: no message box"
        return
    fi
    box=$answer
    sleep 0.3
    must children "$box"
    for line in "${answer_lines[@]}"; do
        [ "$(cut -f5 <<<"$line")" == "$2" ] && found=1
    done
    [ "$found" = 1 ] && pass || fail "$1: the message box does not say '$2'"
    shot "message-box-${1%% *}"
    must post "$box" 0x0111 1 0
    for _ in $(seq 50); do
        ask visible "$box" || break
        [ "$answer" = 0 ] && break
        sleep 0.1
    done
    barrier
}
# click_cell ROW COLUMN [BUTTON] [REPEAT] : a mouse click into a cell of the list.
click_cell() {
    local hx hw ry rh
    must headerrect "$list" "$2"
    read -r hx _ hw _ <<<"$answer"
    must itemrect "$list" "$1"
    read -r _ ry _ rh <<<"$answer"
    must setforeground "$main"
    xdotool mousemove $((hx + 20)) $((ry + rh / 2)) click --repeat "${4:-1}" --delay 80 "${3:-1}"
    sleep 0.3
    barrier
}

# The images hold no file contents for Wine's drive D, so every shell action fails.
name_row=$(row_of "Skimlet计划.docx")
notes_row=$(row_of "skimlet-notes.txt")
# Before the click the status bar describes the row selected last.
click_cell "$notes_row" 2
status_text
check "click in column 2 of a row: count text" "$(format_count "$(wc -l <"$run/expected-skim.tsv")") 个对象" "$answer"
click_cell "$name_row" 0
status_text
IFS=$'\t' read -r -a field <<<"$(awk -v r=$((name_row + 1)) 'NR == r' "$run/expected-skim.tsv")"
check "click in column 0 of a row: its description stays" \
    "创建时间: ${field[6]},  修改时间: ${field[8]},  路径: ${field[10]}" "$answer"
# A missing entry is named as such; checks/ holds the designed texts for a file that exists.
command 40028
expect_message_box "打开文件 of a missing file" "文件已不存在，可能已被删除或移动"
command 40029
expect_message_box "打开路径 of a missing folder" "文件夹已不存在，可能已被删除或移动"
click_cell "$name_row" 0 1 2
expect_message_box "double click on a missing file" "文件已不存在，可能已被删除或移动"
# The row's context menu: the third item copies the path of the first selected row.
click_cell "$notes_row" 0 3
if ask waitfind 5000 "#32768" - "$main_pid"; then
    pass
    shot "context-menu"
    copy_from_row_menu "context menu 复制全路径+文件名" "${field[10]}\\skimlet-notes.txt"
else
    fail "right click on a row: no context menu"
fi
# "复制" puts the item on the clipboard as a drop list; Wine offers it to X as a URI list, but only
# for a file that exists, so the file is made in drive D's folder first. Wine escapes bytes above
# 0x7F in that list wrongly, so only ASCII names can be read back.
for name in "skimlet-notes.txt" "skimdir"; do
    mkdir -p "$prefix/drive_d/skimdir"
    [ "$name" = skimdir ] || : >"$prefix/drive_d/skimdir/$name"
    must select "$list" "$(row_of "$name")"
    barrier
    command 40031
    expected_uri="file://$prefix/dosdevices/d:/skimdir"
    [ "$name" = skimdir ] || expected_uri+="/$name"
    for _ in $(seq 50); do
        uri=$(timeout 5 xclip -o -selection clipboard -t text/uri-list 2>/dev/null)
        uri=$(printf '%b' "${uri//%/\\x}")
        uri=${uri%$'\r'}
        [ "$uri" == "$expected_uri" ] && break
        sleep 0.1
    done
    check "复制 of '$name': the file on the clipboard" "$expected_uri" "$uri"
done
rm -rf "$prefix/drive_d/skimdir"
# A right click below the rows shows the "视图    " menu; its "大小 排序" sorts as the menu bar's.
must client "$list"
read -r lx ly lw lh <<<"$answer"
must setforeground "$main"
xdotool mousemove $((lx + 100)) $((ly + lh - 40)) click 3
if ask waitfind 5000 "#32768" - "$main_pid"; then
    pass
    shot "view-menu-below-rows"
    xdotool key --delay 120 Down Down Down Down Return
    sleep 0.3
    barrier
    expect view-menu-size --query skim --sort 4 --click 1 --click 3 --click 0 --sort 2
    check_rows "大小 排序 from the menu below the rows" "$run/view-menu-size.tsv" size
    check_headers "大小 排序 from the menu below the rows" 2 "▼"
    menu_state 40008
    check "大小 排序 is marked" checked "$answer"
else
    fail "right click below the rows: no menu"
fi

section "tray"
# The task bar draws the tray icons itself, from its right end, 20 pixels apart.
must find Shell_TrayWnd
must rect "$answer"
read -r tx ty tw th <<<"$answer"
icon_x=$((tx + tw - 10))
icon_y=$((ty + th / 2))
tray_colours() {
    import -window root png:- 2>/dev/null |
        convert - -crop "16x16+$((icon_x - 8))+$((icon_y - 8))" +repage -format '%k' info:
}
# wait_tray_icon : the number of colours where the icon belongs, once the task bar has drawn it.
wait_tray_icon() {
    for _ in $(seq 30); do
        colours=$(tray_colours)
        [ "$colours" -gt 1 ] && return 0
        sleep 0.1
    done
    return 1
}
# wait_visible VALUE : waits until the main window's visibility is VALUE (1 or 0).
wait_visible() {
    for _ in $(seq 50); do
        ask visible "$main" && [ "$answer" = "$1" ] && return 0
        sleep 0.1
    done
    return 1
}
check "no tray icon before the first minimise" 1 "$(tray_colours)"
must post "$main" 0x0112 0xF020 0
barrier
wait_visible 0
check "minimised: window hidden" 0 "$answer"
wait_tray_icon && pass || fail "minimised: no tray icon ($colours colours where it belongs)"
shot "tray"
xdotool mousemove "$icon_x" "$icon_y" click --repeat 2 --delay 80 1
wait_visible 1
check "tray icon double click: window shown" 1 "$answer"
must iconic "$main"
check "tray icon double click: not minimised" 0 "$answer"
wait_tray_icon && pass || fail "restored: the tray icon should stay ($colours colours)"
command 40003
wait_visible 0
check "关闭: window hidden" 0 "$answer"
xdotool mousemove "$icon_x" "$icon_y" click --repeat 2 --delay 80 1
wait_visible 1
check "关闭, then tray icon double click: window shown" 1 "$answer"

section "centring"
must workarea
read -r wl wt ww wh <<<"$answer"
# From a small window, and from one larger than the work area, which is shrunk to it.
for size in "700 400" "1400 900"; do
    read -r w h <<<"$size"
    must move "$main" 37 41 "$w" "$h"
    command 40005
    must rect "$main"
    nw=$((w < ww ? w : ww))
    nh=$((h < wh ? h : wh))
    check "窗口居中 from ${w}x${h}" "$((wl + (ww - nw) / 2)) $((wt + (wh - nh) / 2)) $nw $nh" "$answer"
    # The layout follows the size: query box 30 high on top, the list below it, 27 pixels left
    # to the status bar.
    must client "$main"
    read -r cx cy cw ch <<<"$answer"
    must rect "$edit"
    check "layout at ${nw}x${nh}: query box" "$cx $cy $cw 30" "$answer"
    must rect "$list"
    check "layout at ${nw}x${nh}: result list" "$cx $((cy + 30)) $cw $((ch - 57))" "$answer"
    must rect "$statusbar"
    read -r _ sy _ sh <<<"$answer"
    check "layout at ${nw}x${nh}: status bar at the bottom" "$((cy + ch))" "$((sy + sh))"
    shot "centred-from-${w}x${h}"
done
must move "$main" 100 100 890 500

section "new search window"
must rect "$main"
read -r x y w h <<<"$answer"
command 40001
if ask waitfind 30000 CreateChildWindow - - "$main_pid"; then
    second=$answer
    must pid "$second"
    second_pid=$answer
    must watch "$second_pid"
    must rect "$second"
    check "新建搜索窗口: position and size" "$((x + 30)) $((y + 30)) $w $h" "$answer"
    must foreground
    check "新建搜索窗口: the new window is in front" "$second" "$answer"
    must child "$second" 3000
    second_status=$answer
    for _ in $(seq 600); do
        ask text "$second_status" && [[ "$answer" =~ 耗时 ]] && break
        sleep 0.2
    done
    check "新建搜索窗口: the new instance loads its own table" \
        "$(format_count "$total") 个对象" "${answer%%   耗时*}"
    shot "two-windows"
    must post "$second" 0x0111 40004 0
    ask exitcode "$second_pid" 20000
    check "退出 of the second instance: exit code" 0 "$answer"
else
    fail "新建搜索窗口: no second window"
fi

# Further checks with the program loaded and its main window at hand: every file in checks/ is
# sourced here and may use $main, $edit, $list, $statusbar, $main_pid, ask, must, check, fail,
# pass, command, barrier and shot.
for extra in "$here"/checks/*.sh; do
    [ -f "$extra" ] || continue
    section "$(basename "$extra" .sh)"
    must setforeground "$main"
    source "$extra"
done

section "exit"
exit_program
unset icon_x

# ===================== Two images as drives D and E =====================

section "prefix with drives D and E"
kill "$probe_pid" 2>/dev/null
probe_pid=""
"$repo/scripts/wine-prefix.sh" "$prefix" D="$run/docs.img" E="$run/second.img" \
    >"$run/prefix2.log" 2>&1 || { cat "$run/prefix2.log" && exit 1; }
start_probe
# This time under another name, in a folder without Skimlet.exe.
mkdir -p "$run/renamed"
cp "$exe" "$run/renamed/Renamed.exe"
start_program "$run/renamed" Renamed.exe
if wait_status '耗时' 120; then pass; else fail "two drives: no finished-load text ($answer)"; fi
# The table holds one block per volume in the order in which their readers finished, so the
# expected rows are skimlet-cli's rows of each volume alone, put in the order the list shows.
images=("$run/docs.img=D" "$run/second.img=E")
expect two
two_total=$(wc -l <"$run/two.tsv")
status_text
check "two drives: count in the status bar" "$(format_count "$two_total") 个对象" \
    "${answer%%   耗时*}"
must rows "$list" 0 1
order=de
[[ "$(printf '%s' "${answer_lines[0]}" | cut -f2)" == E:* ]] && order=ed
echo "   the list shows drive ${order:0:1} first"
# expect_by_volume NAME ARGS... : skimlet-cli per volume, joined in the list's volume order.
expect_by_volume() {
    local name=$1
    shift
    "$cli" "$@" "$run/docs.img=D" >"$run/$name.d.tsv" 2>/dev/null
    "$cli" "$@" "$run/second.img=E" >"$run/$name.e.tsv" 2>/dev/null
    cat "$run/$name.${order:0:1}.tsv" "$run/$name.${order:1:1}.tsv" >"$run/$name.tsv"
    expected_count="$(format_count "$(wc -l <"$run/$name.tsv")") 个对象"
}
expect_by_volume two-all
check_rows "two drives: every row, volume by volume" "$run/two-all.tsv" none
shot "two-drives"
for query in "e:" "report" "音乐"; do
    type_query "$query"
    expect_by_volume "two-query-$query" --query "$query"
    status_text
    check "two drives, query '$query': status text" "$expected_count" "$answer"
    check_rows "two drives, query '$query'" "$run/two-query-$query.tsv" none
done
click_header 0
expect two-click-name --query 音乐 --click 0
check_rows "two drives: header click 名称" "$run/two-click-name.tsv" name
# Without a Skimlet.exe to find, "新建搜索窗口" starts nothing and only writes its diagnostic line.
command 40001
if ask waitfind 3000 CreateChildWindow - - "$main_pid"; then
    fail "新建搜索窗口 under another name: a window appeared"
else
    pass
fi
check "新建搜索窗口 under another name: diagnostic line" "CreateProcess failed (2)." \
    "$(grep -a 'CreateProcess' "$run/program.out" | tr -d '\r')"
exit_program

finish
