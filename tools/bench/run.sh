#!/bin/bash
# The benchmark's runs, inside the virtual machine; see tools/bench.sh, which gives RUNS.
# Every program starts the same way, from the shipment folder, with the same stand-in
# Excel 16 registered for .xls.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tools/wine/prefix.sh
source tools/wine/scene.sh
runs=${RUNS:?the number of rounds, given by tools/bench.sh}
nsis=build/bench-nsis

start_prefix
register_stand_in_excel 16
lay_shipment
cp "$programs/bench/"*.exe "$nsis"/nsis-*.exe "$shipment_unix/"
addins="$(appdata)\\Microsoft\\AddIns\\"
addins_unix="$(unix_path "$addins")"

fail() { echo "bench: $1: $2" >&2; exit 1; }
# Milliseconds from the start of a program until it has ended, in elapsed. Called
# directly, not in $( ): what the runs count must outlive each run. A run that fails, or
# meets a window nobody answers, stops the benchmark.
run_limit=120
time_run() {
    local start status=0
    start=$(date +%s%N)
    timeout "$run_limit" "$WINELOADER" "$shipment\\$1" "${@:2}" </dev/null >/dev/null 2>&1 || status=$?
    elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
    [ $status != 124 ] || fail "$1" "still running after $run_limit s (a window waiting for an answer?)"
    [ $status = 0 ] || fail "$1" "exit status $status"
}

# A time counts only for a run that did the whole job: the stand-in Excel recorded exactly
# one more workbook, the right one from the shipment, and the three files are in the add-in
# folder as shipped (install) or gone (uninstall). Untimed, it also waits until the stand-in
# has ended, so that no run shares the machine with the one before.
recorded=0
prove() { # PROGRAM install|uninstall
    local workbook deadline=$((SECONDS + 60)) file record
    workbook=$(product_fact SETUP_WORKBOOK)
    [ "$2" = install ] || workbook=$(product_fact REMOVAL_WORKBOOK)
    recorded=$((recorded + 1))
    wait_for_opened $recorded >/dev/null || fail "$1" "the stand-in Excel opened no workbook"
    while pgrep -f 'EXCEL\.EXE' >/dev/null; do
        [ $SECONDS -lt $deadline ] || fail "$1" "the stand-in Excel still ran 60 s after it opened the workbook"
        sleep 0.05
    done
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
# The median and the spread of a list of numbers: "MEDIAN MIN MAX".
spread() { tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)], a[1], a[NR] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.4f", a / b }'; }

declare -A times ratios
kinds=(shipped limit nsis)
for round in $(seq "$runs"); do
    time_run empty-console.exe
    times[empty]+=" $elapsed"
    empty=$elapsed
    declare -A this_round=()
    # Each round starts one further along the list: no program always follows the same one.
    for i in 0 1 2; do
        kind=${kinds[(round + i) % 3]}
        case $kind in
            shipped) install=("$installer") uninstall=("$uninstaller") ;;
            limit) install=(limit-install.exe "$shipment\\" "$addins")
                   uninstall=(limit-uninstall.exe "$shipment\\" "$addins") ;;
            nsis) install=(nsis-install.exe) uninstall=(nsis-uninstall.exe) ;;
        esac
        rm -rf "$addins_unix" # every install starts without the add-in folder
        time_run "${install[@]}"
        prove "${install[0]}" install
        this_round[$kind-install]=$elapsed
        time_run "${uninstall[@]}"
        prove "${uninstall[0]}" uninstall
        this_round[$kind-uninstall]=$elapsed
    done
    # Within the round: every kind met the machine in the same state.
    for job in install uninstall; do
        for kind in shipped limit nsis; do times[$kind-$job]+=" ${this_round[$kind-$job]}"; done
        ratios[shipped-limit-$job]+=" $(ratio "${this_round[shipped-$job]}" "${this_round[limit-$job]}")"
        ratios[nsis-limit-$job]+=" $(ratio "${this_round[nsis-$job]}" "${this_round[limit-$job]}")"
        ratios[shipped-nsis-$job]+=" $(ratio "${this_round[shipped-$job]}" "${this_round[nsis-$job]}")"
    done
    ratios[empty-limit]+=" $(ratio "$empty" "${this_round[limit-install]}")"
done

measured() { # KEY: "MEDIAN ms (FASTEST–SLOWEST)"
    read -r median least most <<<"$(spread <<<"${times[$1]}")"
    echo "$median ms ($least–$most)"
}
# A ratio's median, least and most over the rounds.
ratio_cell() { # KEY
    read -r median least most <<<"$(spread <<<"${ratios[$1]}")"
    printf '%.2f (%.2f–%.2f)' "$median" "$least" "$most"
}
median_of() { spread <<<"${ratios[$1]}" | cut -d' ' -f1; }
# Targets are judged on the ratios within rounds, never on the rounded figures.
at_most() { awk -v a="$(median_of "$1")" -v b="$2" 'BEGIN { print (a <= b) ? "yes" : "NO" }'; }
# Faster or slower only by the sign test over the rounds: "faster<TAB>faster than NAME in
# 20 of 25 rounds: ...", or "same<TAB>...".
sign_test() { # KEY_A KEY_B NAME_OF_B
    awk -v a="${times[$1]}" -v b="${times[$2]}" -v than="$3" -f tools/bench/sign-test.awk
}
counted() { sign_test "$@" | cut -f 2; }
# Met is yes or NO: a target the sign test does not confirm is missed, whatever the count.
faster_than_nsis() { # JOB
    [ "$(sign_test "shipped-$1" "nsis-$1" NSIS | cut -f 1)" = faster ] && echo yes || echo NO
}
size() { stat -c %s "$1"; }
rounded() { printf '%.2f' "$(ratio "$1" "$2")"; }
nsis_payload=$(sed -n 's/^Install data: *\([0-9]*\) \/.*/\1/p' "$nsis/nsis-install.log")

echo "| What | Measured: median (fastest–slowest) | Ratio within each round: median (least–most) | Sign test over the rounds | Target | Met |"
echo "|---|---|---|---|---|---|"
for job in install uninstall; do
    program=$installer
    [ $job = install ] || program=$uninstaller
    echo "| Complete $job: shipped $program | $(measured shipped-$job) | $(ratio_cell shipped-limit-$job) to the limit | $(counted shipped-$job limit-$job "the limit") | median ratio at most 1.10 | $(at_most shipped-limit-$job 1.10) |"
    echo "| Complete $job: limit program | $(measured limit-$job) | 1.00 | | | |"
    echo "| Complete $job: NSIS | $(measured nsis-$job) | $(ratio_cell nsis-limit-$job) to the limit | $(counted nsis-$job limit-$job "the limit") | | |"
    echo "| Complete $job: shipped against NSIS | | $(ratio_cell shipped-nsis-$job) | $(counted shipped-$job nsis-$job NSIS) | measurably faster: NSIS slower | $(faster_than_nsis $job) |"
done
echo "| Empty console program | $(measured empty) | $(ratio_cell empty-limit) of the install limit | | | |"
limit_install=$(size "$programs/bench/limit-install.exe")
for program in "$installer" "$uninstaller"; do
    bytes=$(size "$programs/$program")
    limit=$limit_install
    [ "$program" = "$installer" ] || limit=$(size "$programs/bench/limit-uninstall.exe")
    echo "| Size of build/i686/$program | $bytes bytes | $(rounded "$bytes" "$limit") of its limit program | | at most 32 KiB (32768) | $(awk -v a="$bytes" 'BEGIN { print (a <= 32768) ? "yes" : "NO" }') |"
done
for program in limit-install limit-uninstall; do
    echo "| Size of the $program program | $(size "$programs/bench/$program.exe") bytes | 1.00 | | | |"
done
whole=$(size "$nsis/nsis-install.exe")
echo "| Size of the NSIS installer | $whole bytes | $(rounded "$whole" "$limit_install") | | | |"
echo "| Size of the NSIS installer less its compressed payload of $nsis_payload bytes: its stub | $((whole - nsis_payload)) bytes | $(rounded $((whole - nsis_payload)) "$limit_install") | | | |"
echo
echo "$runs rounds, each running every program once; inside the virtual machine: Debian's kernel $(uname -r), $(nproc) emulated processors, 32-bit Wine $("$WINELOADER" --version | sed 's/^wine-//')."
