#include "res/templates.h"

namespace kv {

std::vector<const tk::DialogTemplate*> AllTemplates(Edition e) {
    return {&AboutTemplate(e),    &PanelTemplate(e),    &IdCheckTemplate(e),  &SetAddressTemplate(e),
            &PreWriteTemplate(e), &ProgressTemplate(e), &FirstSetTemplate(e), &StatesTemplate(e),
            &PreEraseTemplate(e), &SetCommTemplate(e),  &StartTemplate(e),    &VersionTemplate(e),
            &DownloadTemplate(e), &SelectTemplate(e)};
}

}  // namespace kv
