#include "ui/frmTrovaSottoconto.h"

#include "ui/Help.h"

using namespace Qt::StringLiterals;

frmTrovaSottoconto::frmTrovaSottoconto(const Archive &archive, QWidget *owner)
    : FinderDialog(archive, FinderLevel::Sottoconti, true, HelpContext::TrovaSottoconto, owner)
{
    setObjectName(u"frmTrovaSottoconto"_s);
}

qint64 frmTrovaSottoconto::Trova(QWidget *owner, const Archive &archive, const QString &initialText)
{
    frmTrovaSottoconto window(archive, owner);
    return window.run(initialText);
}
