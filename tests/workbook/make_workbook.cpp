// make-workbook PATH KIND: writes a workbook as write_workbook does, for the package check.
#include "workbook.h"

#include <stdio.h>

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: make-workbook PATH none|unsigned|DigitalSignature[Ex|Ext]\n");
        return 2;
    }
    if (!write_workbook(argv[1], argv[2])) {
        fprintf(stderr, "make-workbook: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
