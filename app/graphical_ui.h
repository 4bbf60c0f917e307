#pragma once
// The desktop front end of a program built with Qt (the build defines
// KELVANE_WITH_QT for the programs); included by the main files only.
#include <memory>

#include "toolkit/ui.h"
#ifdef KELVANE_WITH_QT
#include "toolkit/qt/qt_ui.h"
#endif

namespace kv {

inline std::unique_ptr<tk::Ui> GraphicalUi(int& argc, char** argv) {
#ifdef KELVANE_WITH_QT
    return tk::MakeQtUiIfDisplay(argc, argv);
#else
    (void)argc;
    (void)argv;
    return nullptr;
#endif
}

}  // namespace kv
