#include "statements/Placeholders.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype AccountPlaceholderLength = 11;
constexpr qsizetype AccountPartPlaceholderLength = 12;
constexpr qsizetype LedgerPlaceholderLength = 8;
constexpr qsizetype LongestFigureId = 8;

bool isFigureId(QStringView id)
{
    return !id.isEmpty() && id.size() <= LongestFigureId &&
           std::all_of(id.begin(), id.end(), [](QChar c) {
               return (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
           });
}

} // namespace

std::optional<Placeholder> parsePlaceholder(QStringView text)
{
    if (!text.startsWith(u"{{") || !text.endsWith(u"}}") || text.size() < 6)
        return std::nullopt;
    const bool figure = text[3] == u':';
    const QChar partSign = text.size() == AccountPartPlaceholderLength ? text[9] : QChar();
    const bool part = partSign == u'+' || partSign == u'-';
    if (figure ? !isFigureId(text.sliced(4, text.size() - 6))
               : !part && text.size() != AccountPlaceholderLength &&
                     text.size() != LedgerPlaceholderLength)
        return std::nullopt;
    Placeholder placeholder;
    if (text[2] == u'C')
        placeholder.period = Placeholder::Period::Current;
    else if (text[2] == u'P')
        placeholder.period = Placeholder::Period::Previous;
    else
        return std::nullopt;
    if (figure) {
        placeholder.level = Placeholder::Level::CashFigure;
        placeholder.code = text.sliced(4, text.size() - 6).toString();
        return placeholder;
    }
    if (part) {
        placeholder.level = partSign == u'+' ? Placeholder::Level::AccountDebits
                                             : Placeholder::Level::AccountCredits;
        placeholder.code = text.sliced(3, 6).toString();
        return placeholder;
    }
    placeholder.level = text.size() == AccountPlaceholderLength ? Placeholder::Level::Account
                                                                : Placeholder::Level::Ledger;
    placeholder.code = text.sliced(3, text.size() - 5).toString();
    return placeholder;
}

QString placeholderKey(QStringView text)
{
    const auto placeholder = parsePlaceholder(text);
    if (!placeholder)
        return {};
    const QString suffix = placeholder->level == Placeholder::Level::AccountDebits    ? u"+"_s
                           : placeholder->level == Placeholder::Level::AccountCredits ? u"-"_s
                                                                                      : QString();
    return (placeholder->period == Placeholder::Period::Current ? u"C"_s : u"P"_s) +
           (placeholder->level == Placeholder::Level::CashFigure ? u":"_s : QString()) +
           placeholder->code + suffix;
}
