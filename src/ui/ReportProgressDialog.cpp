#include "ui/ReportProgressDialog.h"

#include <QCoreApplication>
#include <QProgressDialog>

using namespace Qt::StringLiterals;

ReportProgressDialog::ReportProgressDialog(QWidget *parent, const QString &label)
    : m_dialog(std::make_unique<QProgressDialog>(label, u"Annulla"_s, 0, 0, parent))
{
    m_dialog->setObjectName(u"dlgAvanzamento"_s);
    m_dialog->setWindowTitle(u"Preparazione del report"_s);
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(400);
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->setValue(0);
}

ReportProgressDialog::~ReportProgressDialog() = default;

bool ReportProgressDialog::step(int done, int total)
{
    if (m_dialog->maximum() != total)
        m_dialog->setMaximum(std::max(total, 0));
    // setValue lets a window-modal dialog handle its events; the rest keep the window painted.
    m_dialog->setValue(total > 0 ? std::min(done, total) : 0);
    QCoreApplication::processEvents();
    return !m_dialog->wasCanceled();
}

bool ReportProgressDialog::wasCancelled() const
{
    return m_dialog->wasCanceled();
}
