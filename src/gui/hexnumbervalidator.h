#pragma once

#include <QValidator>

// A field that takes a hexadecimal number by HexNumber's rule, at most `largest`: OK stays off until
// the text is one, and a keystroke that could never lead to one is refused.
class HexNumberValidator : public QValidator {
public:
    explicit HexNumberValidator(quint64 largest, QObject *parent = nullptr)
        : QValidator(parent), m_largest(largest)
    {}

    State validate(QString &input, int &position) const override;

private:
    quint64 m_largest;
};
