#include "data/Natures.h"

using namespace Qt::StringLiterals;

namespace Natures {

bool isValid(int nature)
{
    return nature >= Memorandum && nature <= Revenues;
}

QString name(int nature)
{
    switch (nature) {
    case Memorandum:
        return u"Conti d'ordine"_s;
    case Assets:
        return u"Attività"_s;
    case Liabilities:
        return u"Passività"_s;
    case Costs:
        return u"Costi"_s;
    case Revenues:
        return u"Ricavi"_s;
    default:
        return {};
    }
}

Money saldo(int nature, Money dare, Money avere)
{
    return nature == Costs || nature == Revenues ? avere - dare : dare - avere;
}

Money saldo2(int nature, Money dare, Money avere)
{
    return nature == Liabilities || nature == Revenues ? avere - dare : dare - avere;
}

int sortRank(int nature)
{
    if (nature == Memorandum)
        return Revenues + 1;
    return isValid(nature) ? nature : Revenues + 2;
}

} // namespace Natures
