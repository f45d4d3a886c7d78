// Whether the Excel found would run the workbook that a program hands it, and load the
// add-in: each setting that says no is a stop, before any change, that names the file, says
// why and what to do.
#include "excel_runs.h"

#include "../discovery/discovery.h"
#include "../product/messages.h"

// Microsoft 365 shares its major version with Excel 2016 to 2024: both names of a setting
// are given.
const int Microsoft365Version = 16;

static const char SetByPolicy[] = " by your organization's policy";
static const char NothingInExcel[] = "; no setting in Excel itself can change this";

// What the user may do, in Excel's own words: Excel 2007 has its Office Button where later
// ones have the File tab.
static const char *options_path(int ExcelMajorVersion)
{
    return ExcelMajorVersion == FirstTrustCenterVersion ? "the Office Button > Excel Options" : "File > Options";
}

// The stop: why, as a sentence; then what to do, in the closing sentence.
static int show_refusal(const char *reason, const Handover &workbook, const char *remedy)
{
    char text[MessageCapacity * 2];
    format_text(text, sizeof text, "%s The Add-In %s cannot continue: %s. Shutting down.", reason, workbook.job,
                remedy);
    return show_stop(text);
}

int check_location(const char *folder, const Handover &workbook)
{
    // No answer from Windows is no stop: the programs went on before they asked.
    DWORD zone = location_zone(workbook.path);
    if (zone != InternetZone && zone != RestrictedSitesZone)
        return ExitDone;
    char reason[MessageCapacity];
    format_text(reason, sizeof reason,
                "The folder %s lies on a network location that Windows counts as the %s zone, so the macros of %s "
                "would be blocked by Excel.",
                folder, zone == InternetZone ? "Internet" : "Restricted sites", workbook.described);
    char remedy[MessageCapacity];
    format_text(remedy, sizeof remedy,
                "copy the whole folder to this computer and run %s from the copy, or ask your administrator to add "
                "the server to the Local intranet or Trusted sites zone",
                workbook.program);
    return show_refusal(reason, workbook, remedy);
}

// The signature of the workbook's macros, which Excel requires (required_by: whose setting,
// and of what): ExitDone where they carry one; else the stop for unsigned ones
// (unsigned_reason and remedy) or for a file that could not be read.
static int check_signature(const Handover &workbook, const char *required_by, const char *unsigned_reason,
                           const char *remedy)
{
    HRESULT error = S_OK;
    VbaSignature signature = read_vba_signature(workbook.path, &error);
    if (signature == VbaSigned)
        return ExitDone;
    if (signature == VbaUnsigned)
        return show_refusal(unsigned_reason, workbook, remedy);
    // Not to be taken for unsigned: the user would be told to sign a workbook that may be.
    char reason[MessageCapacity];
    format_text(reason, sizeof reason,
                "The file %s could not be read (error code 0x%08lX), so it cannot be told whether its macros carry "
                "the digital signature that %s.",
                workbook.described, (unsigned long)error, required_by);
    char readable[MessageCapacity];
    format_text(readable, sizeof readable,
                "close any program that has the file open, or copy the package's folder again, then run %s again",
                workbook.program);
    return show_refusal(reason, workbook, readable);
}

// Excel 2007 and later would open the workbook and run none of its macros, telling nobody:
// set to disable all macros without notification, or to run only signed ones when the
// workbook's carry no signature. A policy leaves the user nothing to do in Excel.
static int check_macro_setting(int ExcelMajorVersion, const Handover &workbook)
{
    bool by_policy = false;
    MacroSetting macros = read_macro_setting(ExcelMajorVersion, &by_policy);
    if (macros == MacrosMayRun)
        return ExitDone;
    const char *set_by = by_policy ? SetByPolicy : "";
    char remedy[MessageCapacity];
    if (by_policy)
        format_text(remedy, sizeof remedy, "please ask your administrator to allow macros with notification%s%s",
                    macros == OnlySignedMacros
                        ? ", or ask whoever supplied the Add-In for a package whose workbooks are signed"
                        : "",
                    NothingInExcel);
    else // Microsoft 365 renamed the setting.
        format_text(remedy, sizeof remedy,
                    "in Excel, click %s > Trust Center > Trust Center Settings > Macro Settings, select \"Disable "
                    "all macros with notification\"%s and click OK, then run %s again and click \"Enable Content\" "
                    "when Excel asks",
                    options_path(ExcelMajorVersion),
                    ExcelMajorVersion >= Microsoft365Version
                        ? " (\"Disable VBA macros with notification\" in Microsoft 365)"
                        : "",
                    workbook.program);
    char reason[MessageCapacity];
    if (macros == OnlySignedMacros) {
        // Excel itself asks about a signature's publisher that is not yet trusted.
        char required_by[96];
        format_text(required_by, sizeof required_by, "Microsoft Excel is set%s to require", set_by);
        format_text(reason, sizeof reason,
                    "No digital signature was found on the macros of %s and Microsoft Excel is set%s to run only "
                    "digitally signed macros, so they would not run.",
                    workbook.described, set_by);
        return check_signature(workbook, required_by, reason, remedy);
    }
    format_text(reason, sizeof reason,
                "Microsoft Excel is set%s to disable all macros without notification, so the macros of %s would not "
                "run.",
                set_by, workbook.described);
    return show_refusal(reason, workbook, remedy);
}

// File Block: whether Excel would open the workbook (file_type: the setting's value name;
// type_name: the file type as File Block Settings lists it) so that its macros can run.
static int check_file_block(int ExcelMajorVersion, const Handover &workbook, const char *file_type,
                            const char *type_name)
{
    bool by_policy = false;
    FileBlock block = read_file_block(ExcelMajorVersion, file_type, &by_policy);
    if (block == FileOpens)
        return ExitDone;
    const char *set_by = by_policy ? SetByPolicy : "";
    char reason[MessageCapacity];
    if (block == FileNotOpened)
        format_text(reason, sizeof reason,
                    "Microsoft Excel is set%s not to open %s (File Block Settings), so %s would not open at all.",
                    set_by, type_name, workbook.described);
    else
        format_text(reason, sizeof reason,
                    "Microsoft Excel is set%s to open %s only in Protected View, without editing (File Block "
                    "Settings), so the macros of %s would not run.",
                    set_by, type_name, workbook.described);
    char remedy[MessageCapacity];
    if (by_policy)
        format_text(remedy, sizeof remedy,
                    "please ask your administrator to let Excel open %s, or open them in Protected View with "
                    "editing allowed%s",
                    type_name, NothingInExcel);
    else
        format_text(remedy, sizeof remedy,
                    "in Excel, click %s > Trust Center > Trust Center Settings > File Block Settings, clear the "
                    "\"Open\" box of \"%s\" and click OK, then run %s again",
                    options_path(ExcelMajorVersion), type_name, workbook.program);
    return show_refusal(reason, workbook, remedy);
}

int check_excel_runs(int ExcelMajorVersion, const Handover &workbook)
{
    if (vba_turned_off(ExcelMajorVersion)) {
        char reason[MessageCapacity];
        format_text(reason, sizeof reason,
                    "Microsoft Excel is set%s to run no VBA code at all (\"Disable VBA for Office applications\"), "
                    "so the macros of %s would not run.",
                    SetByPolicy, workbook.described);
        char remedy[MessageCapacity];
        format_text(remedy, sizeof remedy, "please ask your administrator to allow VBA in Microsoft Office%s",
                    NothingInExcel);
        return show_refusal(reason, workbook, remedy);
    }
    int status = check_file_block(ExcelMajorVersion, workbook, "XL97WorkbooksandTemplates",
                                  "Excel 97-2003 workbooks and templates");
    return status != ExitDone ? status : check_macro_setting(ExcelMajorVersion, workbook);
}

int check_addin_loads(int ExcelMajorVersion, const Handover &addin)
{
    int status = check_file_block(ExcelMajorVersion, addin, "XL97AddIns", "Excel 97-2003 add-in files");
    if (status != ExitDone || !addins_must_be_signed(ExcelMajorVersion))
        return status;
    char reason[MessageCapacity];
    format_text(reason, sizeof reason,
                "No digital signature was found on the macros of %s and Microsoft Excel is set%s to load only "
                "add-ins signed by a trusted publisher, so it would not load the Add-In.",
                addin.described, SetByPolicy);
    char remedy[MessageCapacity];
    format_text(remedy, sizeof remedy, "please ask whoever supplied the Add-In for one whose macros are signed%s",
                NothingInExcel);
    return check_signature(addin, "Microsoft Excel is set by your organization's policy to require of add-ins",
                           reason, remedy);
}
