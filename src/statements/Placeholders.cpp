#include "statements/Placeholders.h"

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype AccountPlaceholderLength = 11;
constexpr qsizetype LedgerPlaceholderLength = 8;

} // namespace

std::optional<Placeholder> parsePlaceholder(QStringView text)
{
    if (text.size() != AccountPlaceholderLength && text.size() != LedgerPlaceholderLength)
        return std::nullopt;
    if (!text.startsWith(u"{{") || !text.endsWith(u"}}"))
        return std::nullopt;
    Placeholder placeholder;
    if (text[2] == u'C')
        placeholder.period = Placeholder::Period::Current;
    else if (text[2] == u'P')
        placeholder.period = Placeholder::Period::Previous;
    else
        return std::nullopt;
    placeholder.level = text.size() == AccountPlaceholderLength ? Placeholder::Level::Account
                                                                : Placeholder::Level::Ledger;
    placeholder.code = text.sliced(3, text.size() - 5).toString();
    return placeholder;
}

QString CellValidate(QStringView text)
{
    const auto placeholder = parsePlaceholder(text);
    if (!placeholder)
        return {};
    return (placeholder->period == Placeholder::Period::Current ? u"C"_s : u"P"_s) +
           placeholder->code;
}
