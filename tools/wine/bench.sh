#!/bin/bash
# The benchmark's runs, inside the virtual machine; see bench.sh. Every program starts the
# same way, from the shipment folder, with the same stand-in Excel 16 registered for .xls.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tools/wine/prefix.sh
source tools/wine/scene.sh
runs=${RUNS:-15}
nsis=build/bench-nsis

start_prefix
keep_wine_session # one Wine session for all the runs
register_stand_in_excel 16
lay_shipment
cp "$programs/bench/"*.exe "$nsis"/nsis-*.exe "$shipment_unix/"
addins="$(appdata)\\Microsoft\\AddIns\\"
addins_unix="$(unix_path "$addins")"

# Milliseconds from the start of a program until it has ended, in elapsed. Called
# directly, not in $( ): what the runs count must outlive each run.
time_run() {
    local start
    start=$(date +%s%N)
    "$WINELOADER" "$shipment\\$1" "${@:2}" </dev/null >/dev/null 2>&1 || true
    elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
}

# A time counts only for a run that did the whole job: the stand-in Excel recorded exactly
# one more workbook, the right one from the shipment, and the three files are in the add-in
# folder as shipped (install) or gone (uninstall). Untimed, it also waits until the stand-in
# has ended, so that no run shares the machine with the one before.
recorded=0
fail() { echo "bench: $1: $2" >&2; exit 1; }
prove() { # PROGRAM install|uninstall
    local workbook deadline=$((SECONDS + 60)) file record
    workbook=$(product_name SetupWorkbook)
    [ "$2" = install ] || workbook=$(product_name RemovalWorkbook)
    recorded=$((recorded + 1))
    wait_for_opened $recorded >/dev/null || fail "$1" "the stand-in Excel opened no workbook"
    while pgrep -f 'EXCEL\.EXE' >/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
    record=$(wait_for_opened $recorded) # at once now: all it holds, a late second line too
    [ "$(wc -l <<<"$record")" = $recorded ] || fail "$1" "the stand-in Excel opened more than one workbook"
    [ "$(tail -n 1 <<<"$record" | cut -f 1)" = "$shipment\\$workbook" ] ||
        fail "$1" "opened $(tail -n 1 <<<"$record" | cut -f 1), not $shipment\\$workbook"
    for file in $(addin_files); do
        if [ "$2" = install ]; then
            cmp -s "$shipment_unix/$file" "$addins_unix/$file" || fail "$1" "$file not in the add-in folder as shipped"
        else
            [ ! -e "$addins_unix/$file" ] || fail "$1" "$file left in the add-in folder"
        fi
    done
}
# The median and the spread of a list of times: "MEDIAN MIN MAX".
spread() { tr ' ' '\n' | sed '/^$/d' | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)], a[1], a[NR] }'; }

"$WINELOADER" "$shipment\\empty-console.exe" </dev/null >/dev/null 2>&1 # Wine's services up
declare -A times
kinds=(shipped limit nsis)
for round in $(seq "$runs"); do
    time_run empty-console.exe
    times[empty]+=" $elapsed"
    # Each round starts one further along the list: no program always follows the same one.
    for i in 0 1 2; do
        kind=${kinds[(round + i) % 3]}
        case $kind in
            shipped) install=(addin-install.exe) uninstall=(addin-uninstall.exe) ;;
            limit) install=(limit-install.exe "$shipment\\" "$addins")
                   uninstall=(limit-uninstall.exe "$shipment\\" "$addins") ;;
            nsis) install=(nsis-install.exe) uninstall=(nsis-uninstall.exe) ;;
        esac
        rm -rf "$addins_unix" # every install starts without the add-in folder
        time_run "${install[@]}"
        prove "${install[0]}" install
        times[$kind-install]+=" $elapsed"
        time_run "${uninstall[@]}"
        prove "${uninstall[0]}" uninstall
        times[$kind-uninstall]+=" $elapsed"
    done
done
declare -A ms measured
for key in "${!times[@]}"; do
    read -r median least most <<<"$(spread <<<"${times[$key]}")"
    ms[$key]=$median
    measured[$key]="$median ms ($least–$most)"
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
# Targets are judged on the unrounded figures; only the printed ratios are rounded.
holds() { awk "BEGIN { print ($1) ? \"yes\" : \"NO\" }"; }
size() { stat -c %s "$1"; }
nsis_payload=$(sed -n 's/^Install data: *\([0-9]*\) \/.*/\1/p' "$nsis/nsis-install.log")

echo "| What | Measured | Ratio to the limit | Target | Met |"
echo "|---|---|---|---|---|"
for job in install uninstall; do
    limit=${ms[limit-$job]} shipped=${ms[shipped-$job]} generic=${ms[nsis-$job]}
    echo "| Complete $job: shipped addin-$job.exe | ${measured[shipped-$job]} | $(ratio "$shipped" "$limit") | at most 1.10 | $(holds "$shipped / $limit <= 1.10") |"
    echo "| Complete $job: limit program | ${measured[limit-$job]} | 1.00 | | |"
    echo "| Complete $job: NSIS | ${measured[nsis-$job]} | $(ratio "$generic" "$limit") | slower than the shipped program | $(holds "$generic / $limit > $shipped / $limit") |"
done
echo "| Empty console program | ${measured[empty]} | $(ratio "${ms[empty]}" "${ms[limit-install]}") of the install limit | | |"
for program in addin-install addin-uninstall; do
    bytes=$(size "$programs/$program.exe")
    echo "| Size of build/i686/$program.exe | $bytes bytes | $(ratio "$bytes" "$(size "$programs/bench/limit-${program#addin-}.exe")") | at most 32 KiB (32768) | $(holds "$bytes <= 32768") |"
done
for program in limit-install limit-uninstall; do
    echo "| Size of the $program program | $(size "$programs/bench/$program.exe") bytes | 1.00 | | |"
done
whole=$(size "$nsis/nsis-install.exe")
echo "| Size of the NSIS installer | $whole bytes | $(ratio "$whole" "$(size "$programs/bench/limit-install.exe")") | | |"
echo "| Size of the NSIS installer less its compressed payload of $nsis_payload bytes: its stub | $((whole - nsis_payload)) bytes | $(ratio $((whole - nsis_payload)) "$(size "$programs/bench/limit-install.exe")") | | |"
echo
echo "Median of $runs runs each, with the fastest and the slowest in brackets; inside the virtual machine: Debian's kernel $(uname -r), $(nproc) emulated processors, 32-bit Wine $("$WINELOADER" --version | sed 's/^wine-//')."
