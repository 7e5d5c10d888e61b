#!/usr/bin/env bash
# The command-line contract of skimlet-cli, on small images made here with mkntfs and ntfscp.
# Record numbers and names are held against sleuthkit's fls, local times against GNU date.
# Usage: cli_test.sh SKIMLET_CLI WORK_DIR
set -u
cli=$1
work=$2
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
for tool in mkntfs ntfscp fls; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool missing"; exit 77; }
done

failures=0
checks=0
check() {  # check NAME EXPECTED ACTUAL
    checks=$((checks + 1))
    if [ "$2" != "$3" ]; then
        echo "FAIL: $1"
        echo "  expected: $(printf '%s' "$2" | head -c 600)"
        echo "  actual:   $(printf '%s' "$3" | head -c 600)"
        failures=$((failures + 1))
    fi
}

make_image() {  # make_image IMAGE NAME...
    local image=$1
    shift
    rm -f "$image.sizes"
    truncate -s 16M "$image" && mkntfs -F -Q -q "$image" >/dev/null 2>&1 || exit 1
    local i=0
    for name in "$@"; do
        printf 'content %d of %s\n' "$i" "$name" >payload
        head -c $((i * 1500)) /dev/zero >>payload
        ntfscp -f "$image" payload "$name" >/dev/null 2>&1 || { echo "ntfscp $name"; exit 1; }
        printf '%s\t%s\n' "$(wc -c <payload | tr -d ' ')" "$name" >>"$image.sizes"
        i=$((i + 1))
    done
}

tab=$'\t'
make_image one.img "song.MP3" "报告.pdf" "readme" "tab${tab}here.txt" "photo.Jpg"
make_image two.img "clip.asf" "lib.dll"

# Runs the CLI; leaves stdout in out, stderr in err, the exit code in rc.
run() {
    "$cli" "$@" >out 2>err
    rc=$?
}

# --- Bad arguments: exit 2, one usage line, no rows.
bad_cases=(
    ""
    "--type 9 one.img"
    "--type x one.img"
    "--sort 5 one.img"
    "--click -1 one.img"
    "--bogus one.img"
    "--query"
    "one.img=1"
    "one.img=C two.img=c"
    "--export out.csv --codepage NO-SUCH-CODEPAGE one.img"
)
for args in "${bad_cases[@]}"; do
    # shellcheck disable=SC2086
    run $args
    check "exit code of '$args'" 2 "$rc"
    check "usage line of '$args'" "1 usage:" "$(wc -l <err | tr -d ' ') $(head -c 6 err)"
    check "no rows for '$args'" "" "$(cat out)"
done

# --- One image with a lower-case letter: records and names as fls sees them.
run one.img=l
check "exit code" 0 "$rc"
fls -u -p one.img | awk -F'\t' '$2 !~ /^\$/ { split($1, a, " "); split(a[2], r, "-"); print r[1] "\t" $2 }' \
    | sort >expected_names
# fls shows a control character as '^'.
awk -F'\t' '$1 >= 36 { print $1 "\t" $3 }' out | sed 's/\\u00[0-9A-F][0-9A-F]/^/g' | sort >actual_names
check "records and names against fls" "$(cat expected_names)" "$(cat actual_names)"
check "every FullPath on drive L" "" "$(awk -F'\t' 'substr($10, 1, 3) != "L:\\" || $11 != "L:"' out)"
check "FullPath is the folder, a backslash and the name" "" \
    "$(awk -F'\t' '$10 != $11 "\\" $3' out)"
check "fourteen fields" "" "$(awk -F'\t' 'NF != 14' out)"
check "descending records" "$(cut -f1 out | sort -rn)" "$(cut -f1 out)"
check "control character escaped" "tab\\u0009here.txt" "$(awk -F'\t' '$1 >= 36 && $3 ~ /^tab/ { print $3 }' out)"

rows=$(wc -l <out | tr -d ' ')
summary=$(sed -n 1p err)
count=$(sed -n 2p err)
check "two status lines" 2 "$(wc -l <err | tr -d ' ')"
check "load summary" "ok" "$(printf '%s' "$summary" | grep -qE "^$rows 个对象   耗时: [0-9]+\.[0-9]{6}秒\$" && echo ok)"
check "count text" "$rows 个对象" "$count"

# Extension, category and icon of each test file: extension and category by the tables, the icon
# by its key's position (icons of one volume are 49 consecutive indices from the first append).
fund=$(awk -F'\t' '$3 == "readme" { print $13 }' out)
classify_cases=(
    "song.MP3 MP3 1 $((fund + 30 - 16))"
    "报告.pdf PDF 3 $((fund + 33 - 16))"
    "readme NOEXT 8 $fund"
    "photo.Jpg JPG 6 $((fund + 26 - 16))"
)
for c in "${classify_cases[@]}"; do
    read -r name extension category icon <<<"$c"
    check "classification of $name" "$extension $category $icon" \
        "$(awk -F'\t' -v n="$name" '$3 == n { print $12, $14, $13 }' out)"
done

# --- Sizes: ceiling of bytes / 1024, from the bytes ntfscp wrote.
while IFS=$'\t' read -r bytes name; do
    expected="$(((bytes + 1023) / 1024)) KB"
    escaped=${name//$'\t'/\\u0009}
    check "size of $name" "$expected" "$(N=$escaped awk -F'\t' '$3 == ENVIRON["N"] { print $5 }' out)"
done <one.img.sizes

# --- Local time honours TZ: texts against GNU date of the FILETIME printed beside them.
for zone in UTC Asia/Shanghai America/New_York; do
    TZ=$zone "$cli" one.img >out_tz 2>/dev/null
    while IFS=$'\t' read -r record _ name _ _ created created_text modified modified_text _; do
        [ "$record" -ge 36 ] || continue
        check "$zone created $name" "$(TZ=$zone date -d "@$(((created - 116444736000000000) / 10000000))" '+%Y-%m-%d %H:%M')" "$created_text"
        check "$zone modified $name" "$(TZ=$zone date -d "@$(((modified - 116444736000000000) / 10000000))" '+%Y-%m-%d %H:%M')" "$modified_text"
    done <out_tz
done

# --- Letters in argument order, explicit letters, and a volume that cannot be read.
run two.img
two_rows=$(wc -l <out | tr -d ' ')
letter_cases=(
    "one.img two.img|C D"
    "two.img=e one.img|D E"
    "one.img=Z two.img=x|X Z"
    "missing.img two.img|D"
)
for c in "${letter_cases[@]}"; do
    args=${c%|*}
    # shellcheck disable=SC2086
    run $args
    case $args in missing.img*) expected_rc=1 ;; *) expected_rc=0 ;; esac
    check "exit code of '$args'" "$expected_rc" "$rc"
    check "drives of '$args'" "${c#*|}" "$(cut -f11 out | cut -c1 | sort -u | tr '\n' ' ' | sed 's/ $//')"
done

# --- A volume that cannot be read is named on stderr with the reason, and the exit code is 1;
# every entry of the volumes that were read is still printed.
head -c 1M /dev/zero >zeros.img
failure_cases=(
    "missing.img two.img|error: missing.img (C:): cannot be opened: No such file or directory"
    "two.img zeros.img|error: zeros.img (D:): not a readable NTFS volume: no NTFS boot sector"
    "one.img zeros.img=Q two.img=E|error: zeros.img (Q:): not a readable NTFS volume: no NTFS boot sector"
)
for c in "${failure_cases[@]}"; do
    args=${c%|*}
    # shellcheck disable=SC2086
    run $args
    check "exit code of '$args'" 1 "$rc"
    check "failure named for '$args'" "${c#*|}" "$(grep '^error' err)"
    good_rows=0
    for image in $args; do
        case $image in missing.img* | zeros.img*) ;; *)
            "$cli" "${image%=*}" >single 2>/dev/null
            good_rows=$((good_rows + $(wc -l <single | tr -d ' '))) ;;
        esac
    done
    check "rows of the volumes read for '$args'" "$good_rows" "$(wc -l <out | tr -d ' ')"
    check "count of the volumes read for '$args'" "$good_rows 个对象" "$(tail -n 1 err)"
done

# --- Hostile volumes: a sound image of 512-byte clusters, edited into one that claims more than
# it holds (or is damaged), costs what it holds: at most 64 MiB plus four times its bytes of
# memory, and 1 s plus 1 s per 100 MB of processor time (rounded up to whole seconds, as ulimit
# counts). What it holds comes out, or it is refused with its line; the volume beside it is
# listed whole.
if command -v python3 >/dev/null && [ -x /usr/bin/time ]; then
    truncate -s 16M host.img && mkntfs -F -Q -q -c 512 host.img >/dev/null 2>&1 || exit 1
    for name in a.txt b.doc c.mp3; do
        printf '%s\n' "$name" >payload
        ntfscp -f host.img payload "$name" >/dev/null 2>&1 || { echo "ntfscp $name"; exit 1; }
    done
    "$cli" host.img >host_rows 2>/dev/null
    "$cli" two.img >two_rows 2>/dev/null
    entries_on() { awk -F'\t' -v d="$1" '$11 == d { print $1 "\t" $3 }' "$2"; }
    host_bytes=$(stat -c %s host.img)
    memory_kb=$(((64 * 1024 * 1024 + 4 * host_bytes) / 1024))
    cpu_seconds=$((1 + (host_bytes + 99999999) / 100000000))
    hostile_cases=(
        "2^36 sparse \$MFT clusters and a sparse 4 GiB bitmap|mft-sparse-tail=68719476736 bitmap-sparse=4294967296|0|"
        "2^36 sparse \$MFT clusters and no bitmap|mft-sparse-tail=68719476736 drop-bitmap|0|"
        "40 overlapping \$MFT runs|mft-overlap=40|0|"
        "a zero-length \$MFT run|mft-zero-run|1|the \$MFT's runs are damaged"
        "an \$MFT run past the end of the volume|mft-run-past-end|1|the \$MFT's runs leave the volume"
        "2^40 sectors claimed on a device of 2^15|total-sectors=1099511627776|0|"
        "2^63 sectors|total-sectors=9223372036854775808|1|the boot sector's sizes are out of range"
        "a first attribute past the bytes in use|attributes-past-used=64|0|64"
    )
    for c in "${hostile_cases[@]}"; do
        # The last field: the record left out, or the reason the volume is refused.
        IFS='|' read -r what edits expected_rc dropped <<<"$c"
        cp host.img hostile.img
        # shellcheck disable=SC2086
        python3 "$here/hostile_image.py" hostile.img $edits || { echo "cannot edit: $what"; exit 1; }
        (ulimit -t "$cpu_seconds" && /usr/bin/time -f '%e %M' -o cost "$cli" hostile.img two.img >out 2>err)
        rc=$?
        read -r seconds peak_kb <<<"$(tail -n 1 cost)"
        check "exit code with $what" "$expected_rc" "$rc"
        case $dropped in
            "") expected_entries=$(entries_on C: host_rows) ;;
            [0-9]*) expected_entries=$(entries_on C: host_rows | awk -F'\t' -v r="$dropped" '$1 != r') ;;
            *)
                expected_entries=""
                check "failure named with $what" \
                    "error: hostile.img (C:): not a readable NTFS volume: $dropped" "$(grep '^error' err)"
                ;;
        esac
        check "entries with $what" "$expected_entries" "$(entries_on C: out)"
        check "the volume beside $what listed whole" "$(entries_on C: two_rows)" "$(entries_on D: out)"
        check "memory with $what within $memory_kb KB" "ok" \
            "$([ "${peak_kb:-0}" -gt 0 ] && [ "$peak_kb" -le "$memory_kb" ] && echo ok || echo "$peak_kb KB")"
        echo "cost with $what: $seconds s, $peak_kb KB"
    done
fi

# --- Two volumes form two blocks, each descending.
run one.img two.img
check "two blocks" "2" "$(cut -c1 <(cut -f11 out) | uniq | wc -l | tr -d ' ')"

# --- Search options.
search_cases=(
    "--query song|song.MP3"
    "--query .PDF|报告.pdf"
    "--query nothingmatches|"
    "--type 3|tab\\u0009here.txt 报告.pdf"
    "--type 6|photo.Jpg"
    "--type 5|"
    "--query l: --type 1|song.MP3"
)
for c in "${search_cases[@]}"; do
    args=${c%|*}
    # shellcheck disable=SC2086
    run $args one.img=L
    names=$(awk -F'\t' '$1 >= 36 { print $3 }' out | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
    check "rows of '$args'" "${c#*|}" "$names"
    check "count of '$args'" "$(wc -l <out | tr -d ' ') 个对象" "$(sed -n 2p err)"
done

run --count one.img
check "--count prints no rows" "" "$(cat out)"
check "--count still counts" "$rows 个对象" "$(sed -n 2p err)"

# --- Orderings, applied in the order given.
names_in_order() { cut -f3 out | tr '\n' ' ' | sed 's/ $//'; }
run one.img
all_names=$(cut -f3 out | LC_ALL=C sort)
order_cases=(
    "--sort 0|$(printf '%s\n' "$all_names" | tr '\n' ' ' | sed 's/ $//')"
    "--descending --sort 0|$(printf '%s\n' "$all_names" | LC_ALL=C sort -r | tr '\n' ' ' | sed 's/ $//')"
    "--sort 1|$(printf '%s\n' "$all_names" | LC_ALL=C sort -r | tr '\n' ' ' | sed 's/ $//')"
    "--click 0 --click 0|$(printf '%s\n' "$all_names" | LC_ALL=C sort -r | tr '\n' ' ' | sed 's/ $//')"
    "--click 0 --ascending --sort 0|$(printf '%s\n' "$all_names" | tr '\n' ' ' | sed 's/ $//')"
)
for c in "${order_cases[@]}"; do
    args=${c%|*}
    # shellcheck disable=SC2086
    LC_ALL=C run $args one.img
    check "order of '$args'" "${c#*|}" "$(names_in_order)"
done
run --sort 2 one.img
check "size order" "$(cut -f5 out | sed 's/ KB//; s/,//g' | sort -n | tr '\n' ' ')" \
    "$(cut -f5 out | sed 's/ KB//; s/,//g' | tr '\n' ' ')"

# --- Export: header texts after the orderings, one line per row, CRLF.
blanks() { printf "%${1}s" ""; }
neutral=("名称$(blanks 47)↑↓" "路径$(blanks 58)↑↓" "大小$(blanks 4)↑↓" "创建时间$(blanks 4)↑↓" "修改时间$(blanks 4)↑↓")
export_cases=(
    "|0|"
    "--sort 2|2|▲"
    "--descending --sort 0|0|▼"
    "--click 4 --click 4|4|▼"
)
for c in "${export_cases[@]}"; do
    IFS='|' read -r args column marker <<<"$c"
    headers=("${neutral[@]}")
    [ -n "$marker" ] && headers[column]="${headers[column]%↑↓}$marker"
    expected_header=$(IFS=,; printf '%s\r' "${headers[*]}")
    # shellcheck disable=SC2086
    run $args --export export.csv one.img
    check "export header of '$args'" "$expected_header" "$(head -n 1 export.csv)"
    check "export lines of '$args'" "$((rows + 1))" "$(wc -l <export.csv | tr -d ' ')"
    check "export CRLF of '$args'" "$((rows + 1))" "$(grep -c $'\r$' export.csv)"
    check "export names in row order of '$args'" "$(cut -f3 out | sed 's/\\u0009/\t/')" \
        "$(tail -n +2 export.csv | cut -d, -f1)"
done
run --export export936.csv --codepage GB18030 one.img
check "export in another code page" "$(iconv -f UTF-8 -t GB18030 <export.csv | head -n 1 | od -c | head -3)" \
    "$(head -n 1 export936.csv | od -c | head -3)"

# --- A failed export: the file is named on stderr and the exit code is 1; the rows still come.
run --export /dev/full one.img
check "export to a full device exits 1" 1 "$rc"
check "export to a full device is named" "写入文件失败: /dev/full" "$(grep -F /dev/full err)"
check "rows after a failed write" "$rows" "$(wc -l <out | tr -d ' ')"
run --export no-such-folder/x.csv one.img
check "export into a missing folder exits 1" 1 "$rc"
check "export into a missing folder is named" "无法打开文件: no-such-folder/x.csv" \
    "$(grep -F no-such-folder err)"
run --export written.csv one.img
check "a written export exits 0" 0 "$rc"

if [ "$failures" -ne 0 ]; then
    echo "$failures of $checks checks failed"
    exit 1
fi
echo "all $checks checks passed"
