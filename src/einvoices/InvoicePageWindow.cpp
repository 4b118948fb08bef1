#include "einvoices/InvoicePageWindow.h"

#include "einvoices/InvoicePage.h"
#include "ui/WindowUtils.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

bool showInvoicePage(QWidget *owner, const QString &path)
{
    if (!path.endsWith(u".xml"_s, Qt::CaseInsensitive) &&
        !path.endsWith(u".p7m"_s, Qt::CaseInsensitive))
        return false;
    QString error;
    const std::optional<QList<ElectronicInvoice>> invoices = readInvoiceFile(path, &error);
    if (!invoices)
        return false;
    QDialog window(owner);
    window.setObjectName(u"InvoicePageWindow"_s);
    window.setWindowTitle(u"Fattura elettronica - "_s + QFileInfo(path).fileName());
    window.resize(820, 720);
    auto *page = new QTextBrowser(&window);
    page->setObjectName(u"page"_s);
    QStringList pages;
    for (const ElectronicInvoice &invoice : *invoices)
        pages << invoicePageHtml(invoice);
    page->setHtml(pages.join(u"<hr>"_s));
    auto *buttons = new QDialogButtonBox(&window);
    QObject::connect(buttons->addButton(u"Chiudi"_s, QDialogButtonBox::RejectRole),
                     &QPushButton::clicked, &window, &QDialog::reject);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(page, 1);
    layout->addWidget(buttons);
    rememberGeometry(&window, u"InvoicePageWindow"_s);
    window.exec();
    return true;
}
