#pragma once
// Input rules of edit fields: digits only, typed letters turned upper-case.
#include <QValidator>

namespace tk {

class FieldValidator : public QValidator {
public:
    FieldValidator(bool digitsOnly, bool upperCase, QObject* parent)
        : QValidator(parent), digitsOnly_(digitsOnly), upperCase_(upperCase) {}

    State validate(QString& input, int& pos) const override;

private:
    bool digitsOnly_;
    bool upperCase_;
};

}  // namespace tk
