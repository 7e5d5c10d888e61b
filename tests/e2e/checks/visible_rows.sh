# The rows on screen after a search with many hits, an ordering and a type filter, with the list
# scrolled away from its top: the scroll position is kept as far as the new count allows (or
# follows the focused row), the rows at the top index are skimlet-cli's rows at those positions,
# and a complete repaint would draw nothing different (no stale row is left on screen).
# Sourced by wine_proof.sh with the program loaded on the docs image as drive D.

# list_pixels : a digest of what the screen shows in the list below its header, once painted.
list_pixels() {
    local lx ly lw lh hy hh
    must until 30000 painted "$list"
    must client "$list"
    read -r lx ly lw lh <<<"$answer"
    must headerrect "$list" 0
    read -r _ hy _ hh <<<"$answer"
    # Wine hands what a window painted to the X server a little later.
    sleep 0.4
    pixels=$(import -window root -crop "${lw}x$((ly + lh - hy - hh))+$lx+$((hy + hh))" rgb:- \
        2>/dev/null | md5sum)
}

# kept_top TOP COUNT PER_PAGE : the top row that a list scrolled to TOP shows after its count
# became COUNT without a focused row: the same row while the rows below it fill the page, else the
# last page.
kept_top() {
    local last=$(($2 - $3))
    [ "$last" -lt 0 ] && last=0
    echo $(($1 < last ? $1 : last))
}

# check_visible NAME EXPECTED_TSV COLUMNS WANT_TOP : the top row, the rows on screen compared with
# the expected rows at the same positions (in the given columns of the five cells, e.g. "1-5"),
# the count text and the screen against a complete repaint.
check_visible() {
    local name=$1 expected=$2 columns=$3 want_top=$4 top per_page shown rows
    must top "$list"
    read -r top per_page <<<"$answer"
    check "$name: top row" "$want_top" "$top"
    rows=$(($(wc -l <"$expected") - top))
    [ "$rows" -gt $((per_page + 1)) ] && rows=$((per_page + 1))
    [ "$rows" -lt 0 ] && rows=0
    must rows "$list" "$top" "$rows"
    shown=$(printf '%s\n' "${answer_lines[@]}" | sed '/^$/d' | cut -f "$columns")
    check "$name: the rows on screen" \
        "$(sed -n "$((top + 1)),$((top + rows))p" "$expected" | cells_of | cut -f "$columns")" \
        "$shown"
    status_text
    check "$name: count text" "$(format_count "$(wc -l <"$expected")") 个对象" "$answer"
    list_pixels
    local before=$pixels
    must redraw "$list"
    list_pixels
    check "$name: the screen matches a complete repaint" "$before" "$pixels"
}

# Earlier checks left a focused row, which the list would scroll to.
must select "$list" -1
must settext "$edit" ""
barrier
must itemrect "$list" 0
read -r _ _ _ row_height <<<"$answer"
must top "$list"
read -r top per_page <<<"$answer"
if [ "$total" -lt $((3 * per_page + 60)) ]; then
    fail "visible rows: the docs image has too few rows ($total) to scroll"
else
    # Scrolled 40 rows down, the whole table in table order.
    must send "$list" 0x1014 0 $((40 * row_height))
    barrier
    check_visible "scrolled down" "$run/all.tsv" 1-5 40
    shot "visible-scrolled"

    # A search with many hits keeps the scroll position.
    type_query "e"
    expect visible-e --query e
    must top "$list"
    read -r _ per_page <<<"$answer"
    check_visible "search 'e' while scrolled" "$run/visible-e.tsv" 1-5 \
        "$(kept_top 40 "$(wc -l <"$run/visible-e.tsv")" "$per_page")"
    shot "visible-search"

    # An ordering keeps it too; rows that the ordering finds equal differ only outside the key.
    command 40011
    click_header 0
    expect visible-e-name --query e --click 0
    check_visible "header click 名称 while scrolled" "$run/visible-e-name.tsv" 1 40

    # A type filter with fewer hits than the top row shows the last page.
    command 40019
    expect visible-e-executable --query e --type 4
    check_visible "可执行文件 while scrolled" "$run/visible-e-executable.tsv" 1-5 \
        "$(kept_top 40 "$(wc -l <"$run/visible-e-executable.tsv")" "$per_page")"
    shot "visible-type-filter"
    command 40015

    # A focused row keeps its selection, and an ordering scrolls it back into view.
    must send "$list" 0x1014 0 $((-1000 * row_height))
    must send "$list" 0x1014 0 $((20 * row_height))
    barrier
    must select "$list" 23
    barrier
    must send "$list" 0x1014 0 $((30 * row_height))
    barrier
    must top "$list"
    check "scrolled away from the selected row" 50 "${answer%% *}"
    click_header 2
    expect visible-e-size --query e --click 0 --click 2
    must selected "$list"
    check "header click 大小: the selection stays on row 23" 23 "$answer"
    check_visible "header click 大小 with a focused row above the page" "$run/visible-e-size.tsv" \
        3 23
fi
