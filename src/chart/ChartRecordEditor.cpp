#include "chart/ChartRecordEditor.h"

#include "data/EngineErrors.h"
#include "ui/MessageService.h"

#include <QLineEdit>

using namespace Qt::StringLiterals;

ChartRecordEditor::ChartRecordEditor(const Archive &archive, QWidget *owner)
    : QDialog(owner), m_archive(archive)
{
}

qint64 ChartRecordEditor::runModal()
{
    exec();
    return m_savedId;
}

QLineEdit *ChartRecordEditor::readOnlyBox(const QString &name, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

QLineEdit *ChartRecordEditor::idBox(qint64 id, QWidget *parent)
{
    QLineEdit *box = readOnlyBox(u"txtId"_s, parent);
    box->setText(id == 0 ? QString() : QString::number(id));
    box->setMaximumWidth(box->fontMetrics().horizontalAdvance(u"0000000000"_s) + 16);
    return box;
}

void ChartRecordEditor::finishSave(const ChartSave &result, const QString &notSaved)
{
    if (!result.saved()) {
        MessageService::instance().inform(this, failureMessage(notSaved, result.error),
                                          MessageService::Icon::Critical);
        return;
    }
    m_savedId = result.id;
    accept();
}

void reportUnreadableRecord(QWidget *owner, const QString &unreadable, const QString &error)
{
    if (!error.isEmpty())
        MessageService::instance().inform(owner, failureMessage(unreadable, error),
                                          MessageService::Icon::Critical);
}
