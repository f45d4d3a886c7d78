#!/bin/bash
# Expects a display; see bench.sh. RUNS (default 15) runs of each program.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-15}
size_limit=65536
ratio_limit=1.3

# SKIP_SUITE=1 leaves the test suite out, for a quick look at the programs alone.
suite_ms=""
if [ -z "${SKIP_SUITE:-}" ]; then
    suite_start=$(date +%s%N)
    bash tools/run-tests.sh >/tmp/kavor-bench-suite.log 2>&1 || { echo "the test suite failed" >&2; exit 1; }
    suite_ms=$(( ($(date +%s%N) - suite_start) / 1000000 ))
fi

source tools/wine-prefix.sh
source tools/wine-scene.sh
start_prefix
"$WINESERVER" -p 2>/dev/null || true # one server for all the runs
register_stand_in_excel 16
lay_shipment
cp "$build/shipped-flags/addin-install.exe" "$build/shipped-flags/addin-uninstall.exe" \
   "$build/shipped-flags/empty-console.exe" "$shipment_unix/"
addins_unix="$(unix_path "$(appdata)\\Microsoft\\AddIns")"

# Milliseconds one start of the program takes, from the shell, until it has ended.
time_run() {
    local start
    start=$(date +%s%N)
    "$WINELOADER" "$shipment\\$1" "${@:2}" </dev/null >/dev/null 2>&1 || true
    echo $(( ($(date +%s%N) - start) / 1000000 ))
}
median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

wine "$shipment\\empty-console.exe" || true # warm up Wine's services
empty=() shell=() install=() uninstall=()
for _ in $(seq "$runs"); do
    empty+=("$(time_run empty-console.exe)")
    shell+=("$(time_run empty-console.exe shell)")
    install+=("$(time_run addin-install.exe)")
    empty+=("$(time_run empty-console.exe)")
    mkdir -p "$addins_unix"
    for file in kavorlib.dll kavorlib.xla kavor.hlp; do echo placeholder > "$addins_unix/$file"; done
    uninstall+=("$(time_run addin-uninstall.exe)")
done
empty_ms=$(printf '%s\n' "${empty[@]}" | median)
shell_ms=$(printf '%s\n' "${shell[@]}" | median)
install_ms=$(printf '%s\n' "${install[@]}" | median)
uninstall_ms=$(printf '%s\n' "${uninstall[@]}" | median)
[ -f "$addins_unix/kavorlib.dll" ] && { echo "the uninstaller left the add-in behind" >&2; exit 1; }

verdict() { awk -v v="$1" -v l="$2" 'BEGIN { print (v <= l) ? "yes" : "NO" }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
install_ratio=$(ratio "$install_ms" "$empty_ms")
uninstall_ratio=$(ratio "$uninstall_ms" "$empty_ms")
shell_ratio=$(ratio "$shell_ms" "$empty_ms")

echo "| What | Measured | Target | Met |"
echo "|---|---|---|---|"
for program in addin-install.exe addin-uninstall.exe; do
    size=$(stat -c %s "build/i686/$program")
    echo "| Size of build/i686/$program | $size bytes ($(( (size + 1023) / 1024 )) KiB) | at most 64 KiB | $(verdict "$size" "$size_limit") |"
done
echo "| Complete install under Wine, median of $runs | $install_ms ms = $install_ratio × empty program ($empty_ms ms) | at most $ratio_limit × | $(verdict "$install_ratio" "$ratio_limit") |"
echo "| Complete uninstall under Wine, median of $runs | $uninstall_ms ms = $uninstall_ratio × empty program ($empty_ms ms) | at most $ratio_limit × | $(verdict "$uninstall_ratio" "$ratio_limit") |"
echo "| For comparison: an empty program that only loads SHELL32 (and with it USER32) | $shell_ms ms = $shell_ratio × empty program | | |"
[ -n "$suite_ms" ] &&
    echo "| Whole test suite (CTest under Wine, fresh prefix) | $(( (suite_ms + 500) / 1000 )) s | | |"
true
