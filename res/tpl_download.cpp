#include "res/templates.h"
#include "res/tpl_parts.h"

namespace kv {

const tk::DialogTemplate& DownloadTemplate(Edition) {
    using namespace tpl;
    static const tk::DialogTemplate t = [] {
        std::vector<tk::Control> cs = {Label("Download?", {0, 0, 2}, tk::kCentered)};
        Append(cs, OkCancelRow(1, 0, 1));
        return Dialog(IDD_DOWNLOAD, "Download", std::move(cs));
    }();
    return t;
}

}  // namespace kv
