#include "bankimport/CounterpartProposer.h"

#include "data/BankTables.h"

#include <QSet>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// How alike the words of two texts must be (their shared rarity over all their rarity).
constexpr double SimilarEnough = 0.5;
// A word found in more earlier texts than this tells nothing: it is not looked up.
constexpr std::size_t CommonWord = 5000;

QString similarMovements(int count)
{
    return count == 1 ? u"come 1 movimento simile"_s : u"come %1 movimenti simili"_s.arg(count);
}

struct EntryHistory {
    QSet<qint64> others;
    QStringList texts;
    QString imported;
};

} // namespace

QStringList descriptionWords(const QString &text)
{
    QStringList words;
    QString word;
    const auto flush = [&] {
        if (word.size() >= 3 && !words.contains(word))
            words << word;
        word.clear();
    };
    for (const QChar c : text.normalized(QString::NormalizationForm_D)) {
        if (c.isLetter())
            word += c.toLower();
        else if (!c.isMark())
            flush();
    }
    flush();
    return words;
}

std::optional<CounterpartProposer> CounterpartProposer::load(const QSqlDatabase &database,
                                                             qint64 bank, QString *error)
{
    CounterpartProposer proposer;
    std::optional<QList<BankRule>> rules = bankRules(database, error);
    if (!rules)
        return std::nullopt;
    proposer.m_rules = std::move(*rules);
    const bool imports = hasBankTables(database);
    QSqlQuery query(database);
    if (imports && !runSql(query,
                           u"SELECT iban, controparte FROM movimenti_importati "
                           u"WHERE iban <> '' AND controparte IS NOT NULL ORDER BY idRegMain"_s,
                           {}, error))
        return std::nullopt;
    while (imports && query.next()) {
        IbanHistory &history = proposer.m_ibans[query.value(0).toString()];
        history.latest = query.value(1).toLongLong();
        ++history.counts[history.latest];
    }
    // The bank's ordinary entries: the text of its rows (or of the statement they were booked
    // from) and the other sub-accounts they move.
    const QString importedText = imports ? u"(SELECT descrizione FROM movimenti_importati mi "
                                           u"WHERE mi.idRegMain = d.idRegMain AND mi.conto = ?)"_s
                                         : u"?"_s;
    if (!runSql(query,
                u"SELECT d.idRegMain, d.contodare, d.contoavere, d.descrizione, "_s + importedText +
                    u" FROM regdet d JOIN regmain m ON m.id = d.idRegMain AND m.tipo = 0 "
                    u"WHERE d.idRegMain IN "
                    u"(SELECT idRegMain FROM regdet WHERE contodare = ? OR contoavere = ?)"_s,
                {imports ? QVariant(bank) : QVariant(QString()), bank, bank}, error))
        return std::nullopt;
    QHash<qint64, EntryHistory> entries;
    while (query.next()) {
        EntryHistory &entry = entries[query.value(0).toLongLong()];
        bool touchesBank = false;
        for (const int side : {1, 2}) {
            const qint64 account = query.value(side).toLongLong();
            if (account == bank)
                touchesBank = true;
            else if (account != 0)
                entry.others.insert(account);
        }
        if (touchesBank)
            entry.texts << query.value(3).toString();
        entry.imported = query.value(4).toString();
    }
    for (const EntryHistory &entry : std::as_const(entries))
        if (entry.others.size() == 1)
            proposer.addDocument(entry.imported.isEmpty() ? entry.texts.join(u' ') : entry.imported,
                                 *entry.others.cbegin());
    proposer.weighDocuments();
    return proposer;
}

void CounterpartProposer::addDocument(const QString &text, qint64 counterpart)
{
    QStringList words = descriptionWords(text);
    if (words.isEmpty())
        return;
    std::sort(words.begin(), words.end());
    const QString key = words.join(u' ');
    auto found = m_documentByKey.constFind(key);
    if (found == m_documentByKey.cend()) {
        found = m_documentByKey.insert(key, int(m_documents.size()));
        for (const QString &word : std::as_const(words))
            m_postings[word].push_back(int(m_documents.size()));
        m_documents.push_back({words, {}, 0});
    }
    ++m_documents[std::size_t(*found)].counterparts[counterpart];
}

double CounterpartProposer::rarity(const QString &word) const
{
    const auto postings = m_postings.constFind(word);
    if (postings == m_postings.cend())
        return 0;
    return std::log(1.0 + double(m_documents.size()) / double(postings->size()));
}

void CounterpartProposer::weighDocuments()
{
    for (Document &document : m_documents)
        for (const QString &word : std::as_const(document.words))
            document.weight += rarity(word);
}

Proposal CounterpartProposer::propose(const BankMovement &movement) const
{
    for (const BankRule &rule : m_rules)
        if (rule.matches(movement))
            return {rule.subAccount, rule.reason()};
    if (Proposal proposal = byIban(movement); proposal.subAccount != 0)
        return proposal;
    return byWords(movement);
}

Proposal CounterpartProposer::byIban(const BankMovement &movement) const
{
    const auto history = m_ibans.constFind(normalizedIban(movement.counterpartyIban));
    if (movement.counterpartyIban.isEmpty() || history == m_ibans.cend())
        return {};
    // The latest booking wins, so that a changed counterpart is what comes next.
    const int count = history->counts.value(history->latest);
    return {history->latest, similarMovements(count) + u" (stesso IBAN)"_s};
}

Proposal CounterpartProposer::byWords(const BankMovement &movement) const
{
    const QStringList words = descriptionWords(movement.description + u' ' + movement.counterparty);
    double weight = 0;
    QHash<int, double> shared;
    for (const QString &word : words) {
        const auto postings = m_postings.constFind(word);
        if (postings == m_postings.cend())
            continue;
        const double wordRarity = rarity(word);
        weight += wordRarity;
        if (postings->size() > CommonWord)
            continue;
        for (const int document : *postings)
            shared[document] += wordRarity;
    }
    QHash<qint64, int> votes;
    for (auto it = shared.cbegin(); it != shared.cend(); ++it) {
        const Document &document = m_documents[std::size_t(it.key())];
        // A little below the bound, so that sums of rarities that meet it exactly count.
        if (it.value() / (weight + document.weight - it.value()) < SimilarEnough - 1e-9)
            continue;
        for (auto c = document.counterparts.cbegin(); c != document.counterparts.cend(); ++c)
            votes[c.key()] += c.value();
    }
    Proposal best;
    int bestVotes = 0;
    for (auto it = votes.cbegin(); it != votes.cend(); ++it)
        if (it.value() > bestVotes || (it.value() == bestVotes && it.key() < best.subAccount)) {
            best.subAccount = it.key();
            bestVotes = it.value();
        }
    if (best.subAccount != 0)
        best.reason = similarMovements(bestVotes);
    return best;
}
