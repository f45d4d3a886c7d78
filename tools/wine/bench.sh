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
"$WINESERVER" -p 2>/dev/null || true # one server for all the runs
register_stand_in_excel 16
lay_shipment
cp "$programs/bench/"*.exe "$nsis"/nsis-*.exe "$shipment_unix/"
addins="$(appdata)\\Microsoft\\AddIns\\"
addins_unix="$(unix_path "$addins")"

# Milliseconds from the start of a program until it has ended, then waits (untimed) until
# the stand-in Excel has recorded the workbook the program handed over and has ended, so
# that no run shares the machine with the one before.
opened=0
time_run() {
    local start elapsed deadline=$((SECONDS + 60))
    start=$(date +%s%N)
    "$WINELOADER" "$shipment\\$1" "${@:2}" </dev/null >/dev/null 2>&1 || true
    elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
    if [ "$1" != empty-console.exe ]; then
        opened=$((opened + 1))
        wait_for_opened $opened
        while pgrep -f 'EXCEL\.EXE' >/dev/null && [ $SECONDS -lt $deadline ]; do sleep 0.05; done
    fi
    echo $elapsed
}
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

"$WINELOADER" "$shipment\\empty-console.exe" </dev/null >/dev/null 2>&1 # Wine's services up
declare -A times
for _ in $(seq "$runs"); do
    times[empty]+=" $(time_run empty-console.exe)"
    for kind in shipped limit nsis; do
        case $kind in
            shipped) install=(addin-install.exe) uninstall=(addin-uninstall.exe) ;;
            limit) install=(limit-install.exe "$shipment\\" "$addins")
                   uninstall=(limit-uninstall.exe "$shipment\\" "$addins") ;;
            nsis) install=(nsis-install.exe) uninstall=(nsis-uninstall.exe) ;;
        esac
        rm -rf "$addins_unix" # every install starts without the add-in folder
        times[$kind-install]+=" $(time_run "${install[@]}")"
        [ -f "$addins_unix/kavor.hlp" ] || { echo "$kind: no add-in after the install" >&2; exit 1; }
        times[$kind-uninstall]+=" $(time_run "${uninstall[@]}")"
        [ ! -f "$addins_unix/kavor.hlp" ] || { echo "$kind: add-in left after the uninstall" >&2; exit 1; }
    done
done
declare -A ms
for key in "${!times[@]}"; do ms[$key]=$(tr ' ' '\n' <<<"${times[$key]}" | sed '/^$/d' | median); done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v a="$1" -v b="$2" 'BEGIN { print (a <= b) ? "yes" : "NO" }'; }
size() { stat -c %s "$1"; }
nsis_payload=$(sed -n 's/^Install data: *\([0-9]*\) \/.*/\1/p' "$nsis/nsis-install.log")

echo "| What | Measured | Ratio to the limit | Target | Met |"
echo "|---|---|---|---|---|"
for job in install uninstall; do
    limit=${ms[limit-$job]}
    echo "| Complete $job: shipped addin-$job.exe | ${ms[shipped-$job]} ms | $(ratio "${ms[shipped-$job]}" "$limit") | at most 1.10 | $(verdict "$(ratio "${ms[shipped-$job]}" "$limit")" 1.10) |"
    echo "| Complete $job: limit program | $limit ms | 1.00 | | |"
    echo "| Complete $job: NSIS | ${ms[nsis-$job]} ms | $(ratio "${ms[nsis-$job]}" "$limit") | slower than the shipped program | $(verdict "${ms[shipped-$job]}" "$((ms[nsis-$job] - 1))") |"
done
echo "| Empty console program | ${ms[empty]} ms | $(ratio "${ms[empty]}" "${ms[limit-install]}") of the install limit | | |"
for program in addin-install addin-uninstall; do
    bytes=$(size "$programs/$program.exe")
    echo "| Size of build/i686/$program.exe | $bytes bytes | $(ratio "$bytes" "$(size "$programs/bench/limit-${program#addin-}.exe")") | at most 32 KiB (32768) | $(verdict "$bytes" 32768) |"
done
for program in limit-install limit-uninstall; do
    echo "| Size of the $program program | $(size "$programs/bench/$program.exe") bytes | 1.00 | | |"
done
whole=$(size "$nsis/nsis-install.exe")
echo "| Size of the NSIS installer | $whole bytes | $(ratio "$whole" "$(size "$programs/bench/limit-install.exe")") | | |"
echo "| Size of the NSIS installer less its compressed payload of $nsis_payload bytes: its stub | $((whole - nsis_payload)) bytes | $(ratio $((whole - nsis_payload)) "$(size "$programs/bench/limit-install.exe")") | | |"
echo
echo "Median of $runs runs each; inside the virtual machine: Debian's kernel $(uname -r), $(nproc) emulated processors, 32-bit Wine $("$WINELOADER" --version | sed 's/^wine-//')."
