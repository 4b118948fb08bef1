#include "journal/EntryTypeDialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

EntryTypeDialog::EntryTypeDialog(int tipo, QWidget *parent) : QDialog(parent)
{
    setObjectName(u"EntryTypeDialog"_s);
    setWindowTitle(u"Tipo Registrazione"_s);
    auto *frame = new QGroupBox(u"Tipo Registrazione"_s, this);
    auto *options = new QVBoxLayout(frame);
    const QString captions[] = {u"Chiusura Conti"_s, u"Normale"_s, u"Apertura Conti"_s};
    for (int i = 0; i < 3; ++i) {
        m_options[i] = new QRadioButton(captions[i], frame);
        m_options[i]->setObjectName(u"optTipo%1"_s.arg(i));
        options->addWidget(m_options[i]);
    }
    if (tipo >= -1 && tipo <= 1)
        m_options[tipo + 1]->setChecked(true);

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *save = buttons->addButton(u"Salva"_s, QDialogButtonBox::AcceptRole);
    save->setObjectName(u"cmdSave"_s);
    QPushButton *cancel = buttons->addButton(u"Annulla"_s, QDialogButtonBox::RejectRole);
    cancel->setObjectName(u"cmdCancel"_s);
    connect(save, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(buttons);
    setMinimumWidth(280);
}

int EntryTypeDialog::chosen() const
{
    for (int i = 0; i < 3; ++i) {
        if (m_options[i]->isChecked())
            return i - 1;
    }
    return -2;
}

int EntryTypeDialog::choose(QWidget *owner, int tipo)
{
    EntryTypeDialog dialog(tipo, owner);
    return dialog.exec() == QDialog::Accepted ? dialog.chosen() : -2;
}
