#include "hexnumbervalidator.h"

#include "hexnumber.h"

QValidator::State HexNumberValidator::validate(QString &input, int &) const
{
    if (HexNumber::parse(input, m_largest))
        return Acceptable;
    return HexNumber::isUnfinished(input) ? Intermediate : Invalid;
}
