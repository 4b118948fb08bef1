#include "ui/frmTrovaSottoconto.h"

#include "ui/Help.h"

using namespace Qt::StringLiterals;

frmTrovaSottoconto::frmTrovaSottoconto(QWidget *owner)
    : FinderDialog(FinderLevel::Sottoconti, true, HelpContext::TrovaSottoconto, owner)
{
    setObjectName(u"frmTrovaSottoconto"_s);
}

qint64 frmTrovaSottoconto::Trova(QWidget *owner, const QString &initialText)
{
    frmTrovaSottoconto window(owner);
    return window.run(initialText);
}
