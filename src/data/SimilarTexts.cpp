#include "data/SimilarTexts.h"

#include <algorithm>
#include <cmath>

namespace {

// How alike the words of two texts must be (their shared rarity over all their rarity).
constexpr double SimilarEnough = 0.5;
// A word found in more earlier texts than this tells nothing: it is not looked up.
constexpr std::size_t CommonWord = 5000;

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

void SimilarTexts::add(const QString &text, qint64 subAccount, const Booking &booking)
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
        m_documents.push_back({words, {}, {}, 0});
    }
    Document &document = m_documents[std::size_t(*found)];
    ++document.subAccounts[subAccount];
    Booking &latest = document.latest[subAccount];
    latest = std::max(latest, booking);
}

double SimilarTexts::rarity(const QString &word) const
{
    const auto postings = m_postings.constFind(word);
    if (postings == m_postings.cend())
        return 0;
    return std::log(1.0 + double(m_documents.size()) / double(postings->size()));
}

void SimilarTexts::weigh()
{
    for (Document &document : m_documents)
        for (const QString &word : std::as_const(document.words))
            document.weight += rarity(word);
}

SimilarTexts::Choice SimilarTexts::mostAlike(const QString &text, qint64 excluded) const
{
    double weight = 0;
    QHash<int, double> shared;
    for (const QString &word : descriptionWords(text)) {
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
    QHash<qint64, Booking> latest;
    for (auto it = shared.cbegin(); it != shared.cend(); ++it) {
        const Document &document = m_documents[std::size_t(it.key())];
        // A little below the bound, so that sums of rarities that meet it exactly count.
        if (it.value() / (weight + document.weight - it.value()) < SimilarEnough - 1e-9)
            continue;
        for (auto s = document.subAccounts.cbegin(); s != document.subAccounts.cend(); ++s) {
            votes[s.key()] += s.value();
            latest[s.key()] = std::max(latest[s.key()], document.latest.value(s.key()));
        }
    }
    Choice best;
    for (auto it = votes.cbegin(); it != votes.cend(); ++it) {
        const bool more = it.value() > best.votes;
        const bool tiedButLater =
            it.value() == best.votes && latest.value(best.subAccount) < latest.value(it.key());
        if (it.key() != excluded && (more || tiedButLater))
            best = {it.key(), it.value()};
    }
    return best;
}
