# Sourced by wine_proof.sh with the program loaded on the docs image as drive D, after the tray
# checks: keys typed faster than the window searches, Down and Page Down in the query box, and the
# tray icon when the shell loses it or refuses it.

# click_query_box : a real click into the query box, which takes the keyboard focus. Two clicks on
# one spot within the double-click time would make the second a double click, which selects a
# word and leaves the focus where it is.
click_query_box() {
    local x y w h
    sleep 0.8
    must setforeground "$main"
    must rect "$edit"
    read -r x y w h <<<"$answer"
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
    sleep 0.3
    barrier
}

# ---- Keys typed at once, ending with a key that changes no text ----
must select "$list" -1
must settext "$edit" ""
barrier
click_query_box
# A first key event after a focus change may be read with a stale keyboard mapping.
xdotool key shift
sleep 0.3
burst=skimlet-notes
# One xdotool call sends the keys at once: the letters, then a key that changes no text.
xdotool key --delay 0 s k i m l e t minus n o t e s shift
for _ in $(seq 50); do
    ask text "$edit" && [ "$answer" == "$burst" ] && break
    sleep 0.1
done
check "burst: the query box holds the typed text" "$burst" "$answer"
must until 30000 painted "$list" painted "$statusbar"
barrier
expect burst --query "$burst"
status_text
check "burst: the status text is that of the final text" "$expected_count" "$answer"
check_rows "burst: the rows are those of the final text" "$run/burst.tsv" none
shot "burst"

# ---- Down and Page Down leave the query box for the list ----
type_query "skim"
expect down-skim --query skim
IFS=$'\t' read -r -a first_row <<<"$(head -n 1 "$run/down-skim.tsv")"
for key in Down Next; do
    must select "$list" -1
    click_query_box
    must focus "$main"
    check "$key: the query box has the focus before the key" "$edit" "$answer"
    xdotool key "$key"
    barrier
    must selected "$list"
    check "$key in the query box: the first row is selected" 0 "$answer"
    must focus "$main"
    check "$key in the query box: the list has the focus" "$list" "$answer"
    status_text
    check "$key in the query box: the first row is described" \
        "创建时间: ${first_row[6]},  修改时间: ${first_row[8]},  路径: ${first_row[10]}" "$answer"
done
# With a row selected, the key only moves the focus.
must select "$list" 2
click_query_box
must focus "$main"
check "Down with row 2 selected: the query box has the focus before the key" "$edit" "$answer"
xdotool key Down
barrier
must selected "$list"
check "Down with row 2 selected: the selection stays" 2 "$answer"
must focus "$main"
check "Down with row 2 selected: the list has the focus" "$list" "$answer"
# A key that types goes on into the box after a click.
click_query_box
xdotool type --delay 30 -- "x"
barrier
must text "$edit"
check "typing after Down: the text goes to the query box" "skimx" "$answer"

# ---- The tray icon after the shell lost it ----
# icon_x, tray_colours, wait_tray_icon and wait_visible come from the tray checks.
wait_no_tray_icon() {
    for _ in $(seq 30); do
        colours=$(tray_colours)
        [ "$colours" = 1 ] && return 0
        sleep 0.1
    done
    return 1
}
tray_failures() { grep -c 'tray icon could not be added' "$run/program.out"; }
must registered TaskbarCreated
taskbar_created=$answer
must post "$main" 0x0112 0xF020 0
barrier
wait_visible 0
check "minimised: window hidden" 0 "$answer"
wait_tray_icon && pass || fail "minimised: no tray icon ($colours colours)"
must trayremove "$main" 102
wait_no_tray_icon && pass || fail "the icon taken away by the probe is still shown"
must post "$main" "$taskbar_created" 0 0
barrier
wait_tray_icon && pass || fail "TaskbarCreated while hidden: the icon is not added again"
shot "tray-after-taskbar-created"
xdotool mousemove "$icon_x" "$icon_y" click --repeat 2 --delay 80 1
wait_visible 1
check "the icon added again brings the window back" 1 "$answer"

# ---- A tray icon that cannot be added ----
failures_before=$(tray_failures)
must refusetray "$main" 1
must post "$main" 0x0112 0xF020 0
barrier
sleep 0.5
must visible "$main"
check "icon refused, minimised: the window stays in the task bar" 1 "$answer"
must iconic "$main"
check "icon refused, minimised: the window is minimised" 1 "$answer"
check "icon refused, minimised: one diagnostic line" $((failures_before + 1)) "$(tray_failures)"
shot "tray-refused"
must post "$main" 0x0112 0xF120 0
barrier
must iconic "$main"
check "icon refused: the window is restored" 0 "$answer"
command 40003
sleep 0.5
must visible "$main"
check "icon refused, 关闭: the window stays in the task bar" 1 "$answer"
must iconic "$main"
check "icon refused, 关闭: the window is minimised" 1 "$answer"
check "icon refused, 关闭: one more diagnostic line" $((failures_before + 2)) "$(tray_failures)"
must post "$main" 0x0112 0xF120 0
barrier
# Hidden behind an icon that the shell then loses, and cannot take again: the window comes back
# minimised.
must refusetray "$main" 0
command 40003
wait_visible 0
check "关闭 with the shell taking icons again: window hidden" 0 "$answer"
must refusetray "$main" 1
must trayremove "$main" 102
must post "$main" "$taskbar_created" 0 0
barrier
wait_visible 1
check "TaskbarCreated, icon refused: the window is shown" 1 "$answer"
must iconic "$main"
check "TaskbarCreated, icon refused: the window is minimised" 1 "$answer"
check "TaskbarCreated, icon refused: one more diagnostic line" $((failures_before + 3)) \
    "$(tray_failures)"
must refusetray "$main" 0
must post "$main" 0x0112 0xF120 0
barrier
wait_visible 1
must iconic "$main"
check "restored after the refused icons" 0 "$answer"
