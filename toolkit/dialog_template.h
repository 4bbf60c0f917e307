#pragma once
// Dialog templates as data. Every front end renders the same template: the
// caption, the controls with their ids, kinds, labels, list entries, styles
// and a simple grid placement.
//
// Layout: every container (the dialog itself, or a group box named by
// Control::container) is a grid; a control sits in cell (row, col) and spans
// colSpan columns. Empty rows and columns take no space.
//
// Labels: the text a window shows beside a field is a Static control of its
// own (id IDC_STATIC) placed in the neighbouring cell, so graphical front ends
// need no rule of their own for where a label goes. An Edit or ComboBox also
// carries that text in its `label` as the field's name, for text front ends
// ("[1012] edit Start: 0C0000") and accessibility; graphical front ends do not
// draw it. Styles of an IDC_STATIC control come from the template only.
#include <string>
#include <vector>

namespace tk {

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDC_STATIC = -1;  // labels, lines and frames that nothing refers to

enum class Kind {
    PushButton,
    Edit,         // single-line text field
    ComboBox,     // editable drop-down: free text plus a list
    RadioButton,  // consecutive radio buttons in one container form one group
    GroupBox,     // a labelled frame; controls name it as their container
    Static,       // a text label
    ProgressBar,
    Separator,  // an etched line
    Icon,       // the application icon
};

enum Style : unsigned {
    kHidden = 1u << 0,
    kDisabled = 1u << 1,
    kReadOnly = 1u << 2,
    kDefault = 1u << 3,    // the default push button
    kCentered = 1u << 4,   // text centred; a push button sits centred in its cells
    kUpperCase = 1u << 5,  // typed text turned to upper case
    kNumber = 1u << 6,     // digits only
    kHexByte = 1u << 7,    // at most two hexadecimal digits (a byte of an ID)
    kFileDrop = 1u << 8,   // a file dropped on the window fills this field
};

struct Control {
    int id = IDC_STATIC;
    Kind kind = Kind::Static;
    std::string label;  // button or radio text, static text, group title, edit label
    unsigned style = 0;
    std::vector<std::string> items;  // combo box list
    int container = 0;               // id of the enclosing group box; 0 = the dialog
    int row = 0;                     // grid placement inside the container
    int col = 0;
    int colSpan = 1;
    int width = 0;  // preferred field width in characters; 0 = the front end's choice
};

struct DialogTemplate {
    int id = 0;
    std::string caption;
    std::vector<Control> controls;
    bool centered = false;  // centre the text of the whole dialog
    bool minimizeBox = false;
    bool mnemonics = false;  // graphical front ends give the push buttons Alt-key mnemonics

    const Control* Find(int controlId) const {
        for (const auto& c : controls)
            if (c.id == controlId && controlId != IDC_STATIC) return &c;
        return nullptr;
    }
};

}  // namespace tk
