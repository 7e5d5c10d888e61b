# Sourced by wine_proof.sh with the program loaded, the query "skim" in the box and the rows last
# ordered by the "大小 排序" of the menu below the rows.

# shown_row NAME : the index of the row whose name cell is NAME, as the list shows it now.
shown_row() {
    local i=0 line
    must rows "$list" 0 -1
    for line in "${answer_lines[@]}"; do
        [ "${line%%$'\t'*}" == "$1" ] && { echo "$i"; return; }
        i=$((i + 1))
    done
    echo -1
}
skim_folder='D:\skimdir'
missing_file_text="文件已不存在，可能已被删除或移动"
missing_folder_text="文件夹已不存在，可能已被删除或移动"
association_text="该文件没有与之关联的应用来执行操作。请安装应用，若已经安装应用，请在“默认应用设置”页面中创建关联"

# ---- UTF-8 export: the fourth choice of the save dialog ----
utf8_target="$run/export-utf8.csv"
rm -f "$utf8_target"
must post "$main" 0x0111 40002 0
if ask waitfind 20000 "#32770" - "$main_pid"; then
    dialog=$answer
    sleep 0.5
    type_combo="" name_box=""
    must children "$dialog"
    for line in "${answer_lines[@]}"; do
        IFS=$'\t' read -r handle id class _ <<<"$line"
        [ "$class" = ComboBox ] && [ "$id" = 1136 ] && type_combo=$handle
        [ "$class" = Edit ] && { [ "$id" = 1148 ] || [ "$id" = 1152 ]; } && [ -z "$name_box" ] &&
            name_box=$handle
    done
    if [ -n "$type_combo" ]; then
        must send "$type_combo" 0x0146 0 0 # CB_GETCOUNT
        check "导出: the dialog offers four file types" 4 "$answer"
        # CB_SETCURSEL, then the dialog is told of the choice as the combo box tells it
        # (CBN_SELCHANGE, CBN_SELENDOK).
        must send "$type_combo" 0x014E 3 0
        must send "$dialog" 0x0111 $(((1 << 16) | 1136)) "$type_combo"
        must send "$dialog" 0x0111 $(((9 << 16) | 1136)) "$type_combo"
    else
        fail "导出: no file-type box in the save dialog"
    fi
    shot "export-dialog-utf8"
    must setforeground "$dialog"
    sleep 0.3
    xdotool key --delay 50 End shift+Home BackSpace
    xdotool type --delay 20 -- "$(winepath -w "$utf8_target" 2>/dev/null)"
    sleep 0.3
    xdotool key Return
    for _ in $(seq 100); do
        ask visible "$dialog" || break
        [ "$answer" = 0 ] && break
        sleep 0.1
    done
    barrier
    "$cli" --query skim --sort 4 --click 1 --click 3 --click 0 --sort 2 \
        --export "$run/expected-utf8.body" --codepage UTF-8 "${images[@]}" >/dev/null 2>&1
    { printf '\xEF\xBB\xBF'; cat "$run/expected-utf8.body"; } >"$run/expected-utf8.csv"
    check_files "导出 as UTF-8 with a byte-order mark" "$run/expected-utf8.csv" "$utf8_target"
    if grep -q "skim한글.txt" "$utf8_target" 2>/dev/null; then
        pass
    else
        fail "导出 as UTF-8: the name skim한글.txt is not in the file whole"
    fi
    # The name with a lone surrogate, written as U+FFFD by both.
    if grep -qaF "skim"$'\xEF\xBF\xBD'"lone.txt" "$utf8_target" 2>/dev/null; then
        pass
    else
        fail "导出 as UTF-8: the lone surrogate is not written as U+FFFD"
    fi
else
    fail "导出 (UTF-8): no save dialog appeared"
fi

# ---- Keys on a selected row ----
name_row=$(shown_row "Skimlet计划.docx")
notes_row=$(shown_row "skimlet-notes.txt")
# A click into the row gives the list the focus; then Enter opens as a double click does, and the
# file is missing from drive D's folder.
click_cell "$name_row" 0
xdotool key Return
expect_message_box "Enter on a missing file" "$missing_file_text"
click_cell "$notes_row" 0
clip=""
printf 'stale' | xclip -selection clipboard 2>/dev/null
xdotool key ctrl+c
for _ in $(seq 50); do
    read_clipboard_text
    [ "$clip" == "$skim_folder\\skimlet-notes.txt" ] && break
    sleep 0.1
done
check "Ctrl+C on a row copies its full path" "$skim_folder\\skimlet-notes.txt" "$clip"
for key in shift+F10 Menu; do
    # Two clicks on one spot within the double-click time would open the row.
    sleep 0.8
    click_cell "$notes_row" 0
    xdotool key "$key"
    if ask waitfind 5000 "#32768" - "$main_pid"; then
        menu_window=$answer
        must rect "$menu_window"
        read -r mx my _ _ <<<"$answer"
        must itemrect "$list" "$notes_row"
        read -r rx ry _ rh <<<"$answer"
        # The menu hangs below the selected row, not at the mouse.
        if [ "$my" -ge $((ry + rh - 2)) ] && [ "$my" -le $((ry + rh + 30)) ]; then
            pass
        else
            fail "$key: the row menu is at y $my, not below the row at $ry+$rh"
        fi
        shot "row-menu-by-key-${key%%+*}"
        copy_from_row_menu "$key, then 复制全路径+文件名 in the row menu" \
            "$skim_folder\\skimlet-notes.txt"
    else
        fail "$key on a row: no row menu"
        shot "row-menu-by-key-missing-${key%%+*}"
    fi
done

# ---- Open failures name their cause ----
must select "$list" "$notes_row"
barrier
command 40028
expect_message_box "打开文件 of a missing file" "$missing_file_text"
command 40029
expect_message_box "打开路径 of a missing folder" "$missing_folder_text"
# The same file present in drive D's folder, with no program for its type: the designed texts.
mkdir -p "$prefix/drive_d/skimdir"
: >"$prefix/drive_d/skimdir/Skimlet计划.docx"
must select "$list" "$name_row"
barrier
command 40028
expect_message_box "打开文件 of a file without a program" "无法打开文件"
click_cell "$name_row" 0 1 2
expect_message_box "double click on a file without a program" "$association_text"
rm -rf "$prefix/drive_d/skimdir"

# ---- The minimum size ----
must move "$main" 100 100 40 30
must rect "$main"
read -r _ _ min_w min_h <<<"$answer"
[ "$min_w" -gt 100 ] && [ "$min_h" -gt 100 ] && pass ||
    fail "minimum size: the window shrank to ${min_w}x${min_h}"
must client "$main"
read -r cx cy cw ch <<<"$answer"
must rect "$edit"
check "minimum size: the query box" "$cx $cy $cw 30" "$answer"
must send "$list" 0x1028 0 0 # LVM_GETCOUNTPERPAGE
[ "$answer" -ge 1 ] && pass || fail "minimum size: the list shows $answer whole rows"
must rect "$statusbar"
read -r _ sy _ sh <<<"$answer"
check "minimum size: the status bar at the bottom" "$((cy + ch))" "$((sy + sh))"
[ "$sh" -gt 10 ] && pass || fail "minimum size: the status bar is $sh pixels high"
shot "minimum-size"
must move "$main" 100 100 890 500
