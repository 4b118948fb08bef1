#include "journal/EntryTypeDialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

EntryTypeDialog::EntryTypeDialog(EntryKind kind, QWidget *parent) : QDialog(parent)
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
    // The options list the kinds in their stored order, closing first.
    m_options[storedKind(kind) + 1]->setChecked(true);

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

std::optional<EntryKind> EntryTypeDialog::chosen() const
{
    for (int i = 0; i < 3; ++i) {
        if (m_options[i]->isChecked())
            return entryKindOf(i - 1);
    }
    return std::nullopt;
}

std::optional<EntryKind> EntryTypeDialog::choose(QWidget *owner, EntryKind kind)
{
    EntryTypeDialog dialog(kind, owner);
    return dialog.exec() == QDialog::Accepted ? dialog.chosen() : std::nullopt;
}
