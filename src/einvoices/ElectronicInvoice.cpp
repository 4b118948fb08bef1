#include "einvoices/ElectronicInvoice.h"

#include "data/Failure.h"
#include "data/XmlElements.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringDecoder>

#include <pugixml.hpp>

#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// The element at a slash-separated path of local names; an empty node when a step is missing.
pugi::xml_node at(const pugi::xml_node &node, const QString &path)
{
    pugi::xml_node step = node;
    for (const QString &name : path.split(u'/'))
        step = xmlChild(step, name.toLatin1().constData());
    return step;
}

QString textAt(const pugi::xml_node &node, const QString &path)
{
    return QString::fromUtf8(at(node, path).text().get()).trimmed();
}

// Reads the invoice's parts one element at a time; the first fault is kept, named by its path.
class BodyReader {
public:
    QString fault;

    QString required(const pugi::xml_node &node, const QString &path, const QString &where)
    {
        const QString text = textAt(node, path);
        if (text.isEmpty() && fault.isEmpty())
            fault = u"manca l'elemento %1/%2"_s.arg(where, path);
        return text;
    }

    Money amount(const pugi::xml_node &node, const QString &path, const QString &where)
    {
        const QString text = textAt(node, path);
        if (text.isEmpty())
            return {};
        const std::optional<Money> value = Money::parse(text, QLocale::c());
        if (!value && fault.isEmpty())
            fault = u"importo non valido in %1/%2: \"%3\""_s.arg(where, path, text);
        return value.value_or(Money());
    }
};

InvoiceParty partyOf(const pugi::xml_node &party)
{
    const pugi::xml_node data = xmlChild(party, "DatiAnagrafici");
    InvoiceParty read;
    read.vatCountry = textAt(data, u"IdFiscaleIVA/IdPaese"_s);
    read.vatNumber = textAt(data, u"IdFiscaleIVA/IdCodice"_s);
    read.taxCode = textAt(data, u"CodiceFiscale"_s);
    read.name = textAt(data, u"Anagrafica/Denominazione"_s);
    if (read.name.isEmpty())
        read.name =
            QStringList{textAt(data, u"Anagrafica/Nome"_s), textAt(data, u"Anagrafica/Cognome"_s)}
                .join(u' ')
                .trimmed();
    return read;
}

void readGeneralData(const pugi::xml_node &document, ElectronicInvoice &invoice, BodyReader &reader)
{
    const QString where = u"DatiGenerali/DatiGeneraliDocumento"_s;
    invoice.documentType = reader.required(document, u"TipoDocumento"_s, where);
    const QString date = reader.required(document, u"Data"_s, where);
    invoice.date = QDate::fromString(date, Qt::ISODate);
    if (!date.isEmpty() && !invoice.date.isValid() && reader.fault.isEmpty())
        reader.fault = u"data non valida in %1/Data: \"%2\""_s.arg(where, date);
    invoice.number = reader.required(document, u"Numero"_s, where);
    for (const pugi::xml_node &withholding : xmlChildren(document, "DatiRitenuta"))
        invoice.withholding +=
            reader.amount(withholding, u"ImportoRitenuta"_s, where + u"/DatiRitenuta"_s);
    invoice.stampDuty = reader.amount(document, u"DatiBollo/ImportoBollo"_s, where);
    for (const pugi::xml_node &fund : xmlChildren(document, "DatiCassaPrevidenziale"))
        invoice.fundContribution +=
            reader.amount(fund, u"ImportoContributoCassa"_s, where + u"/DatiCassaPrevidenziale"_s);
    if (!textAt(document, u"ImportoTotaleDocumento"_s).isEmpty())
        invoice.declaredTotal = reader.amount(document, u"ImportoTotaleDocumento"_s, where);
    for (const pugi::xml_node &reason : xmlChildren(document, "Causale"))
        invoice.reasons.append(QString::fromUtf8(reason.text().get()).trimmed());
}

void readGoodsAndServices(const pugi::xml_node &goods, ElectronicInvoice &invoice,
                          BodyReader &reader)
{
    const QString where = u"DatiBeniServizi"_s;
    for (const pugi::xml_node &line : xmlChildren(goods, "DettaglioLinee"))
        invoice.lines.append({textAt(line, u"Descrizione"_s),
                              reader.amount(line, u"PrezzoTotale"_s, where + u"/DettaglioLinee"_s),
                              textAt(line, u"AliquotaIVA"_s), textAt(line, u"Natura"_s),
                              textAt(line, u"Quantita"_s), textAt(line, u"PrezzoUnitario"_s)});
    for (const pugi::xml_node &summary : xmlChildren(goods, "DatiRiepilogo")) {
        const QString place = where + u"/DatiRiepilogo"_s;
        VatSummary read;
        read.rate = reader.required(summary, u"AliquotaIVA"_s, place);
        read.nature = textAt(summary, u"Natura"_s);
        read.taxable = reader.amount(summary, u"ImponibileImporto"_s, place);
        read.tax = reader.amount(summary, u"Imposta"_s, place);
        read.splitPayment = textAt(summary, u"EsigibilitaIVA"_s) == u"S"_s;
        invoice.summaries.append(read);
    }
    if (invoice.summaries.isEmpty() && reader.fault.isEmpty())
        reader.fault = u"manca l'elemento DatiBeniServizi/DatiRiepilogo"_s;
}

void readPayments(const pugi::xml_node &body, ElectronicInvoice &invoice, BodyReader &reader)
{
    for (const pugi::xml_node &terms : xmlChildren(body, "DatiPagamento"))
        for (const pugi::xml_node &payment : xmlChildren(terms, "DettaglioPagamento")) {
            InvoicePayment read;
            read.method = textAt(payment, u"ModalitaPagamento"_s);
            read.due = QDate::fromString(textAt(payment, u"DataScadenzaPagamento"_s), Qt::ISODate);
            if (!textAt(payment, u"ImportoPagamento"_s).isEmpty()) {
                read.amount = reader.amount(payment, u"ImportoPagamento"_s, u"DatiPagamento"_s);
                invoice.paymentTotal = invoice.paymentTotal.value_or(Money()) + *read.amount;
            }
            read.iban = textAt(payment, u"IBAN"_s).remove(u' ').toUpper();
            if (!read.iban.isEmpty() && !invoice.ibans.contains(read.iban))
                invoice.ibans.append(read.iban);
            invoice.payments.append(read);
        }
}

QString declaredEncoding(const QByteArray &bytes)
{
    static const QRegularExpression declaration(
        uR"(^\s*<\?xml[^>]*encoding\s*=\s*["']([A-Za-z0-9._-]+)["'])"_s);
    return declaration.match(QString::fromLatin1(bytes.left(200))).captured(1);
}

} // namespace

Money ElectronicInvoice::taxable() const
{
    Money sum;
    for (const VatSummary &summary : summaries)
        sum += summary.taxable;
    return sum;
}

Money ElectronicInvoice::tax() const
{
    Money sum;
    for (const VatSummary &summary : summaries)
        sum += summary.tax;
    return sum;
}

Money ElectronicInvoice::total() const
{
    return taxable() + tax() + stampDuty;
}

Money ElectronicInvoice::splitPaymentTax() const
{
    Money sum;
    for (const VatSummary &summary : summaries)
        if (summary.splitPayment)
            sum += summary.tax;
    return sum;
}

QByteArray xmlAsUtf8(const QByteArray &bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return bytes.mid(3);
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                          : QStringDecoder::Utf16BE);
        return QString(utf16.decode(bytes.mid(2))).toUtf8();
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8.decode(bytes);
    if (!utf8.hasError())
        return decoded.toUtf8();
    QStringDecoder declared(declaredEncoding(bytes).toLatin1().constData());
    if (!declared.isValid() || declared.name() == QByteArrayView("UTF-8"))
        declared = QStringDecoder("windows-1252");
    if (!declared.isValid())
        declared = QStringDecoder(QStringDecoder::Latin1);
    return QString(declared.decode(bytes)).toUtf8();
}

std::optional<QList<ElectronicInvoice>> readInvoiceXml(const QByteArray &bytes, const QString &file,
                                                       QString *error)
{
    const QByteArray utf8 = xmlAsUtf8(bytes);
    pugi::xml_document document;
    // The default parse keeps no document type, so no entity of it is ever expanded or fetched.
    const pugi::xml_parse_result parsed = document.load_buffer(
        utf8.constData(), size_t(utf8.size()), pugi::parse_default, pugi::encoding_utf8);
    if (!parsed)
        return failWithNothing(error, u"%1: non è un file XML leggibile (%2, al carattere %3)"_s
                                          .arg(file, QString::fromUtf8(parsed.description()))
                                          .arg(parsed.offset));
    const pugi::xml_node root = document.document_element();
    if (std::strcmp(localName(root), "FatturaElettronica") != 0)
        return failWithNothing(error, u"%1: non è una fattura elettronica (l'elemento principale "
                                      u"è %2, non FatturaElettronica)"_s.arg(
                                          file, QString::fromUtf8(localName(root))));
    const pugi::xml_node header = xmlChild(root, "FatturaElettronicaHeader");
    if (!header)
        return failWithNothing(error, u"%1: manca l'elemento FatturaElettronicaHeader"_s.arg(file));
    const QList<pugi::xml_node> bodies = xmlChildren(root, "FatturaElettronicaBody");
    if (bodies.isEmpty())
        return failWithNothing(error, u"%1: manca l'elemento FatturaElettronicaBody"_s.arg(file));
    ElectronicInvoice common;
    common.file = file;
    common.version = QString::fromUtf8(root.attribute("versione").value());
    common.supplier = partyOf(xmlChild(header, "CedentePrestatore"));
    common.customer = partyOf(xmlChild(header, "CessionarioCommittente"));
    if (common.supplier.fiscalId().isEmpty() || common.customer.fiscalId().isEmpty())
        return failWithNothing(error, u"%1: manca l'identificativo fiscale del %2"_s.arg(
                                          file, common.supplier.fiscalId().isEmpty()
                                                    ? u"CedentePrestatore"_s
                                                    : u"CessionarioCommittente"_s));
    QList<ElectronicInvoice> invoices;
    for (const pugi::xml_node &body : bodies) {
        ElectronicInvoice invoice = common;
        BodyReader reader;
        const pugi::xml_node general = at(body, u"DatiGenerali/DatiGeneraliDocumento"_s);
        if (!general)
            return failWithNothing(
                error, u"%1: manca l'elemento DatiGenerali/DatiGeneraliDocumento"_s.arg(file));
        readGeneralData(general, invoice, reader);
        readGoodsAndServices(xmlChild(body, "DatiBeniServizi"), invoice, reader);
        readPayments(body, invoice, reader);
        if (!reader.fault.isEmpty())
            return failWithNothing(error, file + u": "_s + reader.fault);
        invoices.append(invoice);
    }
    return invoices;
}
