#pragma once
// Input rules of edit fields: digits only or hexadecimal digits only, typed
// letters turned upper-case.
#include <QValidator>

namespace tk {

class FieldValidator : public QValidator {
public:
    FieldValidator(bool digitsOnly, bool upperCase, QObject* parent, bool hexOnly = false)
        : QValidator(parent), digitsOnly_(digitsOnly), upperCase_(upperCase), hexOnly_(hexOnly) {}

    State validate(QString& input, int& pos) const override;

private:
    bool digitsOnly_;
    bool upperCase_;
    bool hexOnly_;
};

}  // namespace tk
