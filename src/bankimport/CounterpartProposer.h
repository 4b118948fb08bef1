#pragma once

#include "bankimport/BankRules.h"

#include <QHash>
#include <QSqlDatabase>
#include <QStringList>

#include <optional>
#include <vector>

// The counterpart proposed for a movement and why; subAccount 0 when there is none.
struct Proposal {
    qint64 subAccount = 0;
    QString reason;
};

// The words of a text that tell movements apart: lower case, without accents, letters only,
// three letters or more.
QStringList descriptionWords(const QString &text);

// Proposes the counterpart of the movements of one bank sub-account: the user's rules first;
// then the counterpart of the last movement booked from the same counterparty IBAN; then the
// counterpart most used by the bank's earlier entries whose words are like the movement's, the
// rarer words weighing more. Everything is read once, so proposing for a long statement costs
// little per movement.
class CounterpartProposer {
public:
    static std::optional<CounterpartProposer> load(const QSqlDatabase &database, qint64 bank,
                                                   QString *error);

    Proposal propose(const BankMovement &movement) const;

private:
    struct IbanHistory {
        qint64 latest = 0;
        QHash<qint64, int> counts;
    };
    // Earlier entries with the same words, by counterpart.
    struct Document {
        QStringList words;
        QHash<qint64, int> counterparts;
        double weight = 0;
    };

    void addDocument(const QString &text, qint64 counterpart);
    void weighDocuments();
    Proposal byIban(const BankMovement &movement) const;
    Proposal byWords(const BankMovement &movement) const;
    double rarity(const QString &word) const;

    QList<BankRule> m_rules;
    QHash<QString, IbanHistory> m_ibans;
    std::vector<Document> m_documents;
    QHash<QString, int> m_documentByKey;
    QHash<QString, std::vector<int>> m_postings;
};
