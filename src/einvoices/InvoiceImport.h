#pragma once

#include "data/Database.h"
#include "data/JournalEntry.h"
#include "einvoices/ElectronicInvoice.h"
#include "einvoices/InvoiceFiles.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

enum class InvoiceDirection { Purchase, Sale };

// What decides how invoices are booked: the organisation's own numbers (Preferenze's VAT number
// and tax code), whether it deducts the VAT of its purchases, and the sub-account of every cost
// or revenue row that has no proposal.
struct InvoiceSettings {
    QString ownVatNumber;
    QString ownTaxCode;
    bool vatDeductible = false;
    std::optional<qint64> defaultSubAccount;
};

enum class InvoiceState { New, AlreadyImported, ToAssign, Booked, Refused };

// An invoice as the import proposes to book it.
struct InvoiceReview {
    ElectronicInvoice invoice;
    InvoiceDirection direction = InvoiceDirection::Purchase;
    InvoiceState state = InvoiceState::New;
    QString refusal;               // why it is refused
    QStringList warnings;          // figures of the file that disagree, said with both amounts
    qint64 counterpart = 0;        // the supplier's or customer's sub-account; 0 until created
    qint64 counterpartAccount = 0; // the account a new counterpart sub-account goes under
    QString proposalReason;
    bool ticked = true; // the review's choice: unticked invoices are not booked
    // The rows of costs or revenues (contribution and stamp duty among them), which take the
    // sub-account proposed or chosen.
    QList<qsizetype> assignableRows;
    // The rows name sub-accounts once booked; before, a new counterpart is -1 and a row to
    // assign 0, each on its side.
    JournalEntry entry;
    qint64 entryId = 0; // once booked

    // The counterpart: the supplier of a purchase, the customer of a sale.
    const InvoiceParty &counterpartParty() const;
    // What the counterpart is owed or owes once the withholding is kept back.
    Money counterpartAmount() const;
};

// A file, batch or folder chosen, with its invoices as reviewed.
struct InvoiceBatch {
    InvoiceSource source;
    QList<InvoiceReview> invoices;
    // Why nothing of the batch may be booked: it could not be read, or one of its invoices is
    // refused.
    QString refusal() const;
};

// The settings of the archive: its own numbers and whether it deducts the VAT of purchases.
// Nothing with the engine's text on failure.
std::optional<InvoiceSettings> archiveInvoiceSettings(const QSqlDatabase &database, QString *error);

// Reads each path and proposes how to book each of its invoices: direction, counterpart, rows,
// sub-accounts, and whether it was already imported. Nothing with the engine's text on failure.
std::optional<QList<InvoiceBatch>> reviewInvoices(const Connection &connection,
                                                  const QStringList &paths,
                                                  const InvoiceSettings &settings, QString *error);

// Books, in one transaction through the journal gate, every new and ticked invoice of the
// batches that
// hold no refused one: a new counterpart's sub-account is created with its tax number, and each
// booked invoice is recorded so that it is never booked twice. The reviews then carry their
// state and entry. False with the reason in *error, nothing written.
bool bookInvoices(const Archive &archive, QList<InvoiceBatch> &batches, QString *error);

// Gives the invoice's rows of costs or revenues the sub-account (0: none, to assign again); an
// invoice already imported, booked or refused is left as it is.
void assignSubAccount(InvoiceReview &item, qint64 subAccount);

// Moves the invoice's registration to `date`; false with the reason in *why when the date is
// before the invoice's own or the invoice may no longer be changed.
bool setRegistrationDate(InvoiceReview &item, const QDate &date, QString *why);

// The state as the review and the command line say it: "nuova", "già importata", "da
// assegnare", "registrata", "rifiutata: …".
QString invoiceStateText(const InvoiceReview &item);

// A rate as the books show it, "22%" for "22.00", or the nature of an exempt amount.
QString vatRateText(const QString &rate, const QString &nature);

// The name, without extension, an invoice's file is kept under beside its entry: the invoice's
// identity, so that booking it again once its entry is deleted writes the same file, and the
// entry's page shows that invoice of a file that holds several.
QString invoiceFileStem(const QString &fiscalId, const ElectronicInvoice &invoice);

// The entry's text: "Fattura n. 123 del 05/03/2026 – Rossi srl".
QString invoiceDescription(const ElectronicInvoice &invoice, const QString &counterpart);
