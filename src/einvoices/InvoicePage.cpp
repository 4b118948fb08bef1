#include "einvoices/InvoicePage.h"

#include "data/Failure.h"
#include "data/PatternFormatter.h"

#include <QFileInfo>
#include <QHash>

using namespace Qt::StringLiterals;

namespace {

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString amountText(Money amount)
{
    return PatternFormatter().format(amount, u"#,##0.00");
}

QString dateText(const QDate &date)
{
    return date.isValid() ? PatternFormatter().format(date, u"dd/mm/yyyy") : QString();
}

QString documentTypeName(const QString &type)
{
    static const QHash<QString, QString> names{
        {u"TD01"_s, u"Fattura"_s},
        {u"TD02"_s, u"Acconto/anticipo su fattura"_s},
        {u"TD03"_s, u"Acconto/anticipo su parcella"_s},
        {u"TD04"_s, u"Nota di credito"_s},
        {u"TD05"_s, u"Nota di debito"_s},
        {u"TD06"_s, u"Parcella"_s},
        {u"TD07"_s, u"Fattura semplificata"_s},
        {u"TD08"_s, u"Nota di credito semplificata"_s},
        {u"TD24"_s, u"Fattura differita"_s},
        {u"TD25"_s, u"Fattura differita (triangolazione)"_s},
    };
    const QString name = names.value(type);
    return name.isEmpty() ? type : u"%1 (%2)"_s.arg(name, type);
}

QString paymentMethodName(const QString &method)
{
    static const QHash<QString, QString> names{
        {u"MP01"_s, u"contanti"_s},
        {u"MP02"_s, u"assegno"_s},
        {u"MP03"_s, u"assegno circolare"_s},
        {u"MP05"_s, u"bonifico"_s},
        {u"MP08"_s, u"carta di pagamento"_s},
        {u"MP09"_s, u"RID"_s},
        {u"MP12"_s, u"RIBA"_s},
        {u"MP19"_s, u"SEPA Direct Debit"_s},
        {u"MP23"_s, u"PagoPA"_s},
    };
    const QString name = names.value(method);
    return name.isEmpty() ? method : u"%1 (%2)"_s.arg(name, method);
}

QString partyHtml(const QString &role, const InvoiceParty &party)
{
    QStringList numbers;
    if (!party.vatNumber.isEmpty())
        numbers << u"P. IVA "_s + party.vatCountry + party.vatNumber;
    if (!party.taxCode.isEmpty())
        numbers << u"C.F. "_s + party.taxCode;
    return u"<p><b>%1:</b> %2<br>%3</p>"_s.arg(role, escaped(party.name),
                                               escaped(numbers.join(u" - "_s)));
}

// A table of rows of cells already escaped; the columns listed in `right` are aligned right.
QString tableHtml(const QStringList &captions, const QList<QStringList> &rows,
                  const QList<int> &right)
{
    const auto cell = [&](const QString &tag, int column, const QString &text) {
        return u"<%1%2>%3</%1>"_s.arg(
            tag, right.contains(column) ? u" align=\"right\""_s : QString(), text);
    };
    QString html = u"<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\"><tr>"_s;
    for (int c = 0; c < captions.size(); ++c)
        html += cell(u"th"_s, c, captions[c]);
    html += u"</tr>"_s;
    for (const QStringList &row : rows) {
        html += u"<tr>"_s;
        for (int c = 0; c < row.size(); ++c)
            html += cell(u"td"_s, c, row[c]);
        html += u"</tr>"_s;
    }
    return html + u"</table>"_s;
}

} // namespace

QString invoicePageHtml(const ElectronicInvoice &invoice)
{
    QString html =
        u"<h2>%1 n. %2 del %3</h2>"_s.arg(escaped(documentTypeName(invoice.documentType)),
                                          escaped(invoice.number), dateText(invoice.date));
    html += partyHtml(u"Cedente/prestatore"_s, invoice.supplier);
    html += partyHtml(u"Cessionario/committente"_s, invoice.customer);
    for (const QString &reason : invoice.reasons)
        html += u"<p><i>%1</i></p>"_s.arg(escaped(reason));

    QList<QStringList> lines;
    for (const InvoiceLine &line : invoice.lines)
        lines.append({escaped(line.description), escaped(line.quantity), escaped(line.unitPrice),
                      amountText(line.total), escaped(vatRateText(line.rate, line.nature))});
    html += u"<h3>Dettaglio</h3>"_s + tableHtml({u"Descrizione"_s, u"Quantità"_s,
                                                 u"Prezzo unitario"_s, u"Importo"_s, u"IVA"_s},
                                                lines, {1, 2, 3});

    QList<QStringList> summaries;
    for (const VatSummary &summary : invoice.summaries)
        summaries.append({escaped(vatRateText(summary.rate, summary.nature)),
                          amountText(summary.taxable), amountText(summary.tax),
                          summary.splitPayment ? u"scissione dei pagamenti"_s : QString()});
    html += u"<h3>Riepilogo IVA</h3>"_s +
            tableHtml({u"Aliquota o natura"_s, u"Imponibile"_s, u"Imposta"_s, u"Esigibilità"_s},
                      summaries, {1, 2});

    QStringList figures;
    if (!invoice.fundContribution.isZero())
        figures << u"Contributo cassa previdenziale (nell'imponibile): "_s +
                       amountText(invoice.fundContribution);
    if (!invoice.stampDuty.isZero())
        figures << u"Imposta di bollo: "_s + amountText(invoice.stampDuty);
    if (!invoice.withholding.isZero())
        figures << u"Ritenuta d'acconto: "_s + amountText(invoice.withholding);
    figures << u"<b>Totale documento: %1</b>"_s.arg(amountText(invoice.total()));
    html += u"<p>"_s + figures.join(u"<br>"_s) + u"</p>"_s;

    if (!invoice.payments.isEmpty()) {
        QList<QStringList> payments;
        for (const InvoicePayment &payment : invoice.payments)
            payments.append({escaped(paymentMethodName(payment.method)), dateText(payment.due),
                             payment.amount ? amountText(*payment.amount) : QString(),
                             escaped(payment.iban)});
        html += u"<h3>Pagamento</h3>"_s +
                tableHtml({u"Modalità"_s, u"Scadenza"_s, u"Importo"_s, u"IBAN"_s}, payments, {2});
    }
    return html;
}

QString reviewPageHtml(const InvoiceReview &item, const std::function<QString(qint64)> &name)
{
    QString html = invoicePageHtml(item.invoice);
    if (!item.warnings.isEmpty())
        html += u"<p><b>Avvisi:</b><br>"_s +
                escaped(item.warnings.join(u'\n')).replace(u'\n', u"<br>"_s) + u"</p>"_s;
    QList<QStringList> rows;
    for (const EntryRow &row : item.entry.rows) {
        const bool debit = !row.contodare.isNull();
        const qint64 account = (debit ? row.contodare : row.contoavere).toLongLong();
        QString shown;
        if (account < 0)
            shown = u"nuovo sottoconto: "_s + item.counterpartParty().name;
        else if (account == 0)
            shown = u"da assegnare"_s;
        else
            shown = name(account);
        rows.append({escaped(shown), debit ? amountText(row.importo) : QString(),
                     debit ? QString() : amountText(row.importo), escaped(row.descrizione)});
    }
    html += u"<h3>Registrazione del %1</h3>"_s.arg(dateText(item.entry.header.data)) +
            tableHtml({u"Sottoconto"_s, u"Dare"_s, u"Avere"_s, u"Descrizione"_s}, rows, {1, 2});
    return html;
}

std::optional<QList<ElectronicInvoice>> readInvoiceFile(const QString &path, QString *error)
{
    const InvoiceSource source = readInvoiceSource(path);
    if (!source.refusal.isEmpty())
        return failWithNothing(error, source.refusal);
    QList<ElectronicInvoice> invoices;
    for (const InvoiceFile &file : source.files) {
        const std::optional<QList<ElectronicInvoice>> read =
            readInvoiceXml(file.content, file.name, error);
        if (!read)
            return std::nullopt;
        invoices += *read;
    }
    // A file of several invoices kept beside the entry of one of them shows that one.
    const QString name = QFileInfo(path).fileName();
    QList<ElectronicInvoice> named;
    for (const ElectronicInvoice &invoice : std::as_const(invoices))
        for (const InvoiceParty *party : {&invoice.supplier, &invoice.customer})
            if (name.startsWith(invoiceFileStem(party->fiscalId(), invoice) + u'.'))
                named.append(invoice);
    if (invoices.isEmpty())
        return failWithNothing(error, u"%1: non è una fattura elettronica"_s.arg(path));
    return named.isEmpty() ? invoices : named;
}
