#include "ui/SubAccountFinderDialog.h"

#include "ui/Help.h"

using namespace Qt::StringLiterals;

SubAccountFinderDialog::SubAccountFinderDialog(const Archive &archive, QWidget *owner)
    : FinderDialog(archive, FinderLevel::Sottoconti, true, HelpContext::TrovaSottoconto, owner)
{
    setObjectName(u"SubAccountFinderDialog"_s);
}

qint64 SubAccountFinderDialog::choose(QWidget *owner, const Archive &archive,
                                      const QString &initialText)
{
    SubAccountFinderDialog window(archive, owner);
    return window.run(initialText);
}
