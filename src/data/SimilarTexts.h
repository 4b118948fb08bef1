#pragma once

#include <QDate>
#include <QHash>
#include <QString>
#include <QStringList>

#include <tuple>
#include <vector>

// The words of a text that tell movements apart: lower case, without accents, letters only,
// three letters or more.
QStringList descriptionWords(const QString &text);

// Texts booked before, each with the sub-accounts it was booked to, so that a new text gets the
// sub-account of the texts most like it: the words two texts share weigh by their rarity among
// all the texts, and a tie goes to the sub-account booked most recently.
class SimilarTexts {
public:
    // When a text was booked, to tell the most recent apart.
    struct Booking {
        QDate date;
        qint64 entry = 0;
        bool operator<(const Booking &other) const
        {
            return std::tie(date, entry) < std::tie(other.date, other.entry);
        }
    };
    struct Choice {
        qint64 subAccount = 0; // 0 when no text is alike enough
        int votes = 0;         // how many alike texts were booked to it
    };

    void add(const QString &text, qint64 subAccount, const Booking &booking);
    // Weighs the texts; called once after the last add and before the first mostAlike.
    void weigh();
    // The sub-account most texts alike were booked to, never `excluded`.
    Choice mostAlike(const QString &text, qint64 excluded = 0) const;

private:
    // Earlier texts with the same words, by sub-account.
    struct Document {
        QStringList words;
        QHash<qint64, int> subAccounts;
        QHash<qint64, Booking> latest;
        double weight = 0;
    };

    double rarity(const QString &word) const;

    std::vector<Document> m_documents;
    QHash<QString, int> m_documentByKey;
    QHash<QString, std::vector<int>> m_postings;
};
