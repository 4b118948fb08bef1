#pragma once

#include "data/Money.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A party of an electronic invoice: the transferor (CedentePrestatore) or the transferee
// (CessionarioCommittente).
struct InvoiceParty {
    QString vatCountry; // IdFiscaleIVA/IdPaese
    QString vatNumber;  // IdFiscaleIVA/IdCodice
    QString taxCode;    // CodiceFiscale
    QString name;       // Denominazione, or Nome and Cognome

    // The number the party is known by: its VAT number, else its tax code.
    QString fiscalId() const { return vatNumber.isEmpty() ? taxCode : vatNumber; }
};

// A VAT summary of an invoice (DatiRiepilogo): the taxable amount and the tax of one rate or
// nature, which the exchange system checks against the lines.
struct VatSummary {
    QString rate;   // AliquotaIVA as written, "22.00"
    QString nature; // Natura, "N2.2"; empty for a taxed rate
    Money taxable;
    Money tax;
    bool splitPayment = false; // EsigibilitaIVA "S": the buyer pays the tax to the treasury
};

struct InvoiceLine {
    QString description;
    Money total; // PrezzoTotale
    QString rate;
    QString nature;
    QString quantity;  // Quantita as written; empty when the line gives none
    QString unitPrice; // PrezzoUnitario as written
};

// One instalment of the payment terms (DatiPagamento/DettaglioPagamento).
struct InvoicePayment {
    QString method; // ModalitaPagamento, "MP05"
    QDate due;      // DataScadenzaPagamento; invalid when not given
    std::optional<Money> amount;
    QString iban;
};

// One invoice: one body (FatturaElettronicaBody) of a FatturaPA file with its file's header.
struct ElectronicInvoice {
    QString file;         // the file it came from; inside a batch "lotto.zip/fattura.xml"
    QString version;      // FPA12, FPR12 or 1.1's FPA11
    QString documentType; // TipoDocumento, TD01 ... TD29
    QDate date;
    QString number;
    InvoiceParty supplier;
    InvoiceParty customer;
    QList<InvoiceLine> lines;
    QList<VatSummary> summaries;
    Money withholding;      // every DatiRitenuta
    Money stampDuty;        // DatiBollo
    Money fundContribution; // every DatiCassaPrevidenziale, part of the summaries' taxable
    std::optional<Money> declaredTotal; // ImportoTotaleDocumento, optional and not checked
    std::optional<Money> paymentTotal;  // the sum of ImportoPagamento, likewise
    QStringList ibans;                  // where the supplier asks to be paid
    QList<InvoicePayment> payments;
    QStringList reasons; // Causale, the document's free text

    Money taxable() const;
    Money tax() const;
    // Taxable amounts plus tax plus stamp duty: what the document is worth before withholding.
    Money total() const;
    // The tax the transferee pays to the treasury itself (split payment).
    Money splitPaymentTax() const;
};

// Reads the invoices of a FatturaPA file, one per body, whatever the namespace prefix, with or
// without a byte order mark, in the encoding the bytes really have when the declaration says
// another. External entities are never read. A file that is no invoice gives nothing with the
// reason, naming the element at fault, in *error.
std::optional<QList<ElectronicInvoice>> readInvoiceXml(const QByteArray &bytes, const QString &file,
                                                       QString *error);

// The XML of a file as UTF-8: the declared encoding when the bytes are not UTF-8, UTF-8 when
// they are (a declaration that lies), UTF-16 by its byte order mark.
QByteArray xmlAsUtf8(const QByteArray &bytes);
