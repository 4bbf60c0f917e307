#pragma once
// Short constructors for template controls, so that each template reads as a
// table: kind, id, text, grid cell, style.
#include <string>
#include <utility>
#include <vector>

#include "toolkit/dialog_template.h"

namespace kv::tpl {

struct Cell {
    int row = 0;
    int col = 0;
    int colSpan = 1;
    int container = 0;
};

inline tk::Control Make(tk::Kind kind, int id, std::string label, Cell at, unsigned style = 0) {
    tk::Control c;
    c.id = id;
    c.kind = kind;
    c.label = std::move(label);
    c.style = style;
    c.row = at.row;
    c.col = at.col;
    c.colSpan = at.colSpan;
    c.container = at.container;
    return c;
}

inline tk::Control Button(int id, std::string text, Cell at, unsigned style = 0) {
    return Make(tk::Kind::PushButton, id, std::move(text), at, style);
}
// A text label nothing refers to.
inline tk::Control Label(std::string text, Cell at, unsigned style = 0) {
    return Make(tk::Kind::Static, tk::IDC_STATIC, std::move(text), at, style);
}
// `name` is the field's label for text front ends; the visible label is a
// separate Label cell (see dialog_template.h).
inline tk::Control Field(int id, std::string name, Cell at, unsigned style = 0) {
    return Make(tk::Kind::Edit, id, std::move(name), at, style);
}
inline tk::Control Wide(tk::Control c, int chars) {
    c.width = chars;
    return c;
}
inline tk::Control Combo(int id, std::string name, std::vector<std::string> items, Cell at, unsigned style = 0) {
    tk::Control c = Make(tk::Kind::ComboBox, id, std::move(name), at, style);
    c.items = std::move(items);
    return c;
}
inline tk::Control Radio(int id, std::string text, Cell at, unsigned style = 0) {
    return Make(tk::Kind::RadioButton, id, std::move(text), at, style);
}
inline tk::Control Group(int id, std::string title, Cell at, unsigned style = 0) {
    return Make(tk::Kind::GroupBox, id, std::move(title), at, style);
}
inline tk::Control Line(Cell at) { return Make(tk::Kind::Separator, tk::IDC_STATIC, "", at); }

inline tk::DialogTemplate Dialog(int id, std::string caption, std::vector<tk::Control> controls) {
    tk::DialogTemplate t;
    t.id = id;
    t.caption = std::move(caption);
    t.controls = std::move(controls);
    return t;
}

// OK (default) and Cancel side by side, each centred in its cell.
inline std::vector<tk::Control> OkCancelRow(int row, int okCol, int cancelCol) {
    return {Button(tk::IDOK, "OK", {row, okCol}, tk::kDefault | tk::kCentered),
            Button(tk::IDCANCEL, "Cancel", {row, cancelCol}, tk::kCentered)};
}

inline void Append(std::vector<tk::Control>& to, std::vector<tk::Control> more) {
    for (auto& c : more) to.push_back(std::move(c));
}

}  // namespace kv::tpl
