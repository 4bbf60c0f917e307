#include "toolkit/qt/field_validator.h"

namespace tk {

QValidator::State FieldValidator::validate(QString& input, int& pos) const {
    (void)pos;
    if (digitsOnly_)
        for (QChar c : input)
            if (!c.isDigit()) return Invalid;
    if (hexOnly_)
        for (QChar c : input)
            if (!c.isDigit() && !QStringLiteral("abcdefABCDEF").contains(c)) return Invalid;
    if (upperCase_) input = input.toUpper();  // same length, so the cursor stays
    return Acceptable;
}

}  // namespace tk
