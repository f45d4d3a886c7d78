# Sourced: the product's facts, read from product.h beside this file.
product_header="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/product.h"
# One quoted value by its name: product_fact SETUP_WORKBOOK gives addinsetup.xls.
product_fact() { sed -n "s/^#define $1 \"\([^\"]*\)\".*/\1/p" "$product_header"; }
# The five files that ship beside the programs, a name a line.
shipped_files() { sed -n 's/^#define [A-Z0-9_]* "\([^"]*\)" *\/\/ shipped.*/\1/p' "$product_header"; }
# The add-in's three files, which the installer copies.
addin_files() { sed -n 's/^#define [A-Z0-9_]* "\([^"]*\)" *\/\/ shipped, copied:.*/\1/p' "$product_header"; }
# What a shipped file is: shipped_file_role kavor.hlp gives "the add-in's help file".
shipped_file_role() { sed -n "s/^#define [A-Z0-9_]* \"$1\" *\/\/ \(shipped\|optional\)[^:]*: \(.*\)/\2/p" "$product_header"; }
