#include "bankimport/BankRules.h"

#include "data/BankTables.h"
#include "data/Catalogue.h"

using namespace Qt::StringLiterals;

bool BankRule::matches(const BankMovement &movement) const
{
    if (sign != 0 && (sign > 0) != (movement.amount > Money()))
        return false;
    if (!iban.isEmpty() && normalizedIban(iban) != normalizedIban(movement.counterpartyIban))
        return false;
    const QString needle = text.trimmed();
    return needle.isEmpty() || movement.description.contains(needle, Qt::CaseInsensitive) ||
           movement.counterparty.contains(needle, Qt::CaseInsensitive);
}

QString BankRule::reason() const
{
    return u"regola: "_s + condition();
}

QString BankRule::condition() const
{
    QStringList parts;
    if (!text.trimmed().isEmpty())
        parts << u"contiene '%1'"_s.arg(text.trimmed());
    if (!iban.isEmpty())
        parts << u"IBAN %1"_s.arg(normalizedIban(iban));
    if (sign != 0)
        parts << (sign > 0 ? u"entrate"_s : u"uscite"_s);
    if (bank != 0)
        parts << u"solo banca %1"_s.arg(bank);
    return parts.join(u", "_s);
}

std::optional<QList<BankRule>> bankRules(const QSqlDatabase &database, QString *error)
{
    if (!hasBankTables(database))
        return QList<BankRule>{};
    QSqlQuery query(database);
    // An archive of an earlier version, read before it is opened for writing, has rules for
    // every bank only.
    const QString bank =
        tableColumns(database, u"regole_banca"_s).contains(u"banca"_s) ? u"r.banca"_s : u"NULL"_s;
    if (!runSql(query,
                u"SELECT r.id, r.testo, r.segno, r.iban, r.sottoconto, "_s + bank +
                    u", s.descrizione FROM regole_banca r JOIN sottoconti s ON s.id = "
                    u"r.sottoconto ORDER BY r.id"_s,
                {}, error))
        return std::nullopt;
    QList<BankRule> rules;
    while (query.next())
        rules << BankRule{query.value(0).toLongLong(), query.value(1).toString(),
                          query.value(2).toInt(),      query.value(3).toString(),
                          query.value(4).toLongLong(), query.value(5).toLongLong(),
                          query.value(6).toString()};
    return rules;
}

bool saveBankRule(const Connection &connection, BankRule &rule, QString *error)
{
    rule.text = rule.text.trimmed();
    rule.iban = normalizedIban(rule.iban);
    if (rule.text.isEmpty() && rule.iban.isEmpty()) {
        *error = u"Indicare il testo da cercare o l'IBAN della regola."_s;
        return false;
    }
    if (rule.subAccount <= 0) {
        *error = u"Indicare il sottoconto della regola."_s;
        return false;
    }
    if (rule.subAccount == rule.bank) {
        *error = u"La regola manderebbe i movimenti della banca sulla banca stessa: indicare un "
                 u"altro sottoconto."_s;
        return false;
    }
    const QVariant iban =
        rule.iban.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(rule.iban);
    const QVariant bank =
        rule.bank == 0 ? QVariant(QMetaType::fromType<qint64>()) : QVariant(rule.bank);
    QSqlQuery query = connection.query();
    if (rule.id == 0) {
        if (!runSql(query,
                    u"INSERT INTO regole_banca (testo, segno, iban, sottoconto, banca) "
                    u"VALUES (?, ?, ?, ?, ?)"_s,
                    {rule.text, rule.sign, iban, rule.subAccount, bank}, error))
            return false;
        rule.id = query.lastInsertId().toLongLong();
        return true;
    }
    return runSql(query,
                  u"UPDATE regole_banca SET testo = ?, segno = ?, iban = ?, sottoconto = ?, "
                  u"banca = ? WHERE id = ?"_s,
                  {rule.text, rule.sign, iban, rule.subAccount, bank, rule.id}, error);
}

bool removeBankRule(const Connection &connection, qint64 id, QString *error)
{
    QSqlQuery query = connection.query();
    return runSql(query, u"DELETE FROM regole_banca WHERE id = ?"_s, {id}, error);
}
