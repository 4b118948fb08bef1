#pragma once

#include "bankimport/BankRules.h"
#include "data/SimilarTexts.h"

#include <QDate>
#include <QHash>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QStringList>

#include <optional>

// The counterpart proposed for a movement and why; subAccount 0 when there is none.
struct Proposal {
    qint64 subAccount = 0;
    QString reason;
};

// The text of a description as movements are told identical by: without case, accents, digits
// and repeated spaces ("COMMISSIONE RICARICA 12/01" and "commissione ricarica 3/02" are one).
QString identityText(const QString &text);

// Proposes the counterpart of the movements of one bank sub-account: the user's rules for that
// bank or for every bank first; then the supplier or customer of an open imported invoice the
// movement pays (the IBAN of the invoice's payment terms, its number in the text, or its open
// amount with the counterpart's name); then the counterpart of the last movement booked from the
// same counterparty IBAN; then that of the latest earlier entry of the bank with the identical
// text; then the counterpart most used by the bank's earlier entries whose words are like the
// movement's, the rarer words weighing more, a tie going to the most recent. The bank itself is
// never proposed. Everything is read once, so proposing for a long statement costs little per
// movement.
class CounterpartProposer {
public:
    static std::optional<CounterpartProposer> load(const QSqlDatabase &database, qint64 bank,
                                                   QString *error);

    Proposal propose(const BankMovement &movement) const;

private:
    using Booking = SimilarTexts::Booking;
    struct Identical {
        Booking latest;
        qint64 counterpart = 0;
    };
    // An imported invoice whose counterpart's sub-account does not balance yet.
    struct OpenInvoice {
        QString number;
        QRegularExpression numberInText; // the number as a word of its own; none when too short
        QString iban;
        qint64 counterpart = 0;
        QString name;
        QString nameIdentity; // the name as identityText gives it
        bool purchase = true;
        Money open; // what is still owed or owed to the counterpart for this invoice
    };
    struct IbanHistory {
        qint64 latest = 0;
        QHash<qint64, int> counts;
    };
    void addIdentical(const QString &text, qint64 counterpart, const Booking &booking);
    bool loadOpenInvoices(const QSqlDatabase &database, QString *error);
    Proposal byInvoice(const BankMovement &movement) const;
    Proposal byIban(const BankMovement &movement) const;
    Proposal byIdenticalText(const BankMovement &movement) const;
    Proposal byWords(const BankMovement &movement) const;

    qint64 m_bank = 0;
    QList<BankRule> m_rules;
    QList<OpenInvoice> m_openInvoices;
    QHash<QString, Identical> m_identical;
    QHash<QString, IbanHistory> m_ibans;
    SimilarTexts m_similar;
};
