#pragma once
// Dialog templates of both programs, one function per template, each defined
// in its own res/tpl_*.cpp. The edition picks the variant where they differ.
#include "res/edition.h"
#include "toolkit/dialog_template.h"

namespace kv {

// Template ids.
enum TemplateId : int {
    IDD_ABOUTBOX = 100,
    IDD_KELVIX_DIALOG = 102,  // main panel
    IDD_ID_CHECK = 129,
    IDD_SET_ADDRESS = 130,  // "Input Address"
    IDD_PRE_WRITE = 131,    // "Program next area."
    IDD_PROGRESS = 136,
    IDD_FIRST_SET = 137,
    IDD_STATES = 140,
    IDD_PRE_ERASE = 141,
    IDD_SET_COMM = 150,  // "Set baudrate"
    IDD_S_PRG = 156,     // start dialog
    IDD_VERSION = 158,
    IDD_DOWNLOAD = 159,
    IDD_SELECT = 160,
};

const tk::DialogTemplate& AboutTemplate(Edition e);
const tk::DialogTemplate& PanelTemplate(Edition e);
const tk::DialogTemplate& IdCheckTemplate(Edition e);
const tk::DialogTemplate& SetAddressTemplate(Edition e);
const tk::DialogTemplate& PreWriteTemplate(Edition e);
const tk::DialogTemplate& ProgressTemplate(Edition e);
const tk::DialogTemplate& FirstSetTemplate(Edition e);
const tk::DialogTemplate& StatesTemplate(Edition e);
const tk::DialogTemplate& PreEraseTemplate(Edition e);
const tk::DialogTemplate& SetCommTemplate(Edition e);
const tk::DialogTemplate& StartTemplate(Edition e);
const tk::DialogTemplate& VersionTemplate(Edition e);
const tk::DialogTemplate& DownloadTemplate(Edition e);
const tk::DialogTemplate& SelectTemplate(Edition e);

// Every template of the edition, for front-end rendering tests.
std::vector<const tk::DialogTemplate*> AllTemplates(Edition e);

}  // namespace kv
