# Sourced: the product's own file names, read from discovery/product.h.
product_header="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/discovery/product.h"
# The five files that ship beside the programs.
shipped_files() { sed -n 's/^inline constexpr char [A-Za-z]*\[\] = "\(.*\)"; *\/\/ shipped$/\1/p' "$product_header"; }
# One name by the product's own: product_name SetupWorkbook gives addinsetup.xls.
product_name() { sed -n "s/^inline constexpr char $1\[\] = \"\(.*\)\";.*/\1/p" "$product_header"; }
# The add-in's three files: all that ship but the two workbooks.
addin_files() { shipped_files | grep -vxF -e "$(product_name SetupWorkbook)" -e "$(product_name RemovalWorkbook)"; }
