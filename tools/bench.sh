#!/bin/bash
# The benchmark: the shipped 32-bit programs against the least an install and an uninstall
# can do, against NSIS doing the same job, and against an empty program, all under 32-bit
# Wine in the virtual machine of tools/vm32/run.sh, with sizes. Prints a Markdown table.
# RUNS (default 25) rounds, each running every program once. The more rounds, the smaller
# the difference the sign test can tell: it needs 18 of 25, or 12 of 15 (sign-test.awk).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-25}
bash tools/setup.sh build wine wine32 vm32 nsis
bash tools/build.sh i686 i686-tests >/dev/null
source product/facts.sh
# NSIS builds its installers here; they carry placeholder add-in files.
shipment=build/bench-nsis
rm -rf "$shipment" && mkdir -p "$shipment"
display_name=$(product_fact ADDIN_DISPLAY_NAME)
for file in $(addin_files); do echo "$display_name $file" > "$shipment/$file"; done
names=(-DDISPLAY_NAME="$display_name"
       -DLIBRARY="$(product_fact ADDIN_LIBRARY)" -DWORKBOOK="$(product_fact ADDIN_WORKBOOK)"
       -DHELP="$(product_fact ADDIN_HELP)" -DSETUP_WORKBOOK="$(product_fact SETUP_WORKBOOK)"
       -DREMOVAL_WORKBOOK="$(product_fact REMOVAL_WORKBOOK)")
for job in install uninstall; do
    define=()
    [ $job = uninstall ] && define=(-DUNINSTALL)
    makensis -V4 -DSHIPMENT="$PWD/$shipment" -DOUTPUT="$PWD/$shipment/nsis-$job.exe" "${names[@]}" \
        "${define[@]}" tools/bench/kavor.nsi > "$shipment/nsis-$job.log"
done
bash tools/vm32/run.sh RUNS="$runs" tools/bench/run.sh
echo "Emulated by QEMU $(qemu-system-x86_64 --version | sed -n '1s/.*version \([^ ]*\).*/\1/p') without KVM (TCG) on this machine: $(nproc) cores of $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(free -g | awk '/^Mem:/ {print $2}') GiB."
