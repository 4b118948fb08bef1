#include "bankimport/BankImport.h"
#include "bankimport/BankReconciliation.h"
#include "bankimport/BankRules.h"
#include "bankimport/CounterpartProposer.h"
#include "bankimport/StatementReaders.h"
#include "data/JournalGate.h"
#include "support/TestArchive.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <xlsxwriter.h>

#include <thread>

using namespace Qt::StringLiterals;

namespace {

QByteArray dataFile(const QString &name)
{
    QFile file(QStringLiteral(TOVRIN_BANK_DATA) + u'/' + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test file");
    return file.readAll();
}

BankStatement camt(const QString &name)
{
    QString error;
    const std::optional<QList<BankStatement>> statements = readCamt053(dataFile(name), &error);
    if (!statements)
        qFatal("%s", qPrintable(error));
    return statements->first();
}

CsvProfile semicolonProfile()
{
    CsvProfile profile;
    profile.name = u"Banca Prova"_s;
    profile.skippedRows = 2;
    profile.dateColumn = 1;
    profile.valueDateColumn = 2;
    profile.amountColumn = 3;
    profile.descriptionColumn = 4;
    profile.counterpartyColumn = 5;
    return profile;
}

CsvProfile debitCreditProfile()
{
    CsvProfile profile;
    profile.name = u"Posta"_s;
    profile.encoding = u"Windows-1252"_s;
    profile.skippedRows = 1;
    profile.dateColumn = 1;
    profile.debitColumn = 2;
    profile.creditColumn = 3;
    profile.descriptionColumn = 4;
    return profile;
}

struct Chart {
    qint64 bank, fees, energy, dues, gifts;
};

Chart chartOf(TestArchive &a)
{
    const qint64 cash =
        a.addConto(a.addMastro(u"A01"_s, u"Liquidità"_s, 1), u"A01001"_s, u"Banche"_s);
    const qint64 costs =
        a.addConto(a.addMastro(u"C01"_s, u"Costi"_s, 3), u"C01001"_s, u"Servizi"_s);
    const qint64 revenues =
        a.addConto(a.addMastro(u"R01"_s, u"Proventi"_s, 4), u"R01001"_s, u"Proventi"_s);
    return {a.addSottoconto(cash, u"Banca"_s), a.addSottoconto(costs, u"Oneri bancari"_s),
            a.addSottoconto(costs, u"Energia"_s), a.addSottoconto(revenues, u"Quote"_s),
            a.addSottoconto(revenues, u"Erogazioni liberali"_s)};
}

BankMovement movement(const QString &description, qint64 cents, const QString &iban = {})
{
    BankMovement m;
    m.bookingDate = QDate(2026, 3, 5);
    m.amount = Money::fromCents(cents);
    m.description = description;
    m.counterpartyIban = iban;
    return m;
}

QList<ReviewedMovement> review(const TestArchive &a, qint64 bank, const BankStatement &statement)
{
    Connection connection(a.archive(), Connection::Mode::ReadOnly);
    QString error;
    const std::optional<QList<ReviewedMovement>> items =
        reviewStatement(connection.database(), bank, {statement}, &error);
    if (!items)
        qFatal("%s", qPrintable(error));
    return *items;
}

bool book(const TestArchive &a, qint64 bank, const BankStatement &statement,
          QList<ReviewedMovement> &items, QString *error)
{
    return bookMovements(a.archive(), bank, {statement}, items, error).has_value();
}

CounterpartProposer proposerFor(const TestArchive &a, qint64 bank)
{
    Connection connection(a.archive(), Connection::Mode::ReadOnly);
    QString error;
    std::optional<CounterpartProposer> proposer =
        CounterpartProposer::load(connection.database(), bank, &error);
    if (!proposer)
        qFatal("%s", qPrintable(error));
    return *proposer;
}

// A camt.053 message of the statements given, each "<Stmt>...</Stmt>".
QByteArray camtMessage(const QByteArray &statements)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.08\"><BkToCstmrStmt>"
           "<GrpHdr><CreDtTm>2026-04-01T08:00:00</CreDtTm></GrpHdr>\n" +
           statements + "</BkToCstmrStmt></Document>";
}

QByteArray statement(const QByteArray &iban, const QByteArray &entries,
                     const QByteArray &currency = "EUR")
{
    return "<Stmt><CreDtTm>2026-03-31T20:00:00</CreDtTm><Acct><Id><IBAN>" + iban +
           "</IBAN></Id><Ccy>" + currency + "</Ccy></Acct>\n" + entries + "</Stmt>\n";
}

QByteArray entry(const QByteArray &amount, const QByteArray &sign, const QByteArray &inside,
                 const QByteArray &currency = "EUR")
{
    return "<Ntry><Amt Ccy=\"" + currency + "\">" + amount + "</Amt><CdtDbtInd>" + sign +
           "</CdtDbtInd>" + inside + "</Ntry>\n";
}

QList<BankStatement> camtOf(const QByteArray &file)
{
    QString error;
    const std::optional<QList<BankStatement>> statements = readCamt053(file, &error);
    if (!statements)
        qFatal("%s", qPrintable(error));
    return *statements;
}

QString refusalOf(const QByteArray &file)
{
    QString error;
    return readCamt053(file, &error) ? QString() : error;
}

// What a Stmt of a camt.053 file states, read apart from the program's reader: its booked
// entries' total and count in the account's currency, how many of them are batches of several
// transactions, and its opening and closing booked balances.
struct StatedStatement {
    QString currency;
    Money total;
    int entries = 0;
    int otherCurrency = 0;
    std::optional<Money> opening;
    std::optional<Money> closing;
};

QList<StatedStatement> statedStatements(const QByteArray &file)
{
    QList<StatedStatement> stated;
    QXmlStreamReader xml(file);
    QStringList path;
    QString amount, currency, sign, status, code, balanceAmount, balanceSign;
    while (!xml.atEnd()) {
        xml.readNext();
        const QString name = xml.name().toString();
        if (xml.isStartElement()) {
            path << name;
            if (name == u"Stmt"_s)
                stated << StatedStatement{};
            if (name == u"Ntry"_s)
                status.clear();
            const QString parent = path.size() > 1 ? path[path.size() - 2] : QString();
            if (name == u"Ccy"_s && parent == u"Acct"_s) {
                stated.last().currency = xml.readElementText();
                path.removeLast();
            } else if (name == u"Amt"_s && parent == u"Ntry"_s) {
                currency = xml.attributes().value(u"Ccy"_s).toString();
                amount = xml.readElementText();
                path.removeLast();
            } else if (name == u"CdtDbtInd"_s && (parent == u"Ntry"_s || parent == u"Bal"_s)) {
                (parent == u"Ntry"_s ? sign : balanceSign) = xml.readElementText();
                path.removeLast();
            } else if (name == u"Sts"_s && parent == u"Ntry"_s) {
                status = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
                path.removeLast();
            } else if (name == u"Cd"_s && path.contains(u"Bal"_s) && path.contains(u"Tp"_s)) {
                code = xml.readElementText();
                path.removeLast();
            } else if (name == u"Amt"_s && parent == u"Bal"_s) {
                balanceAmount = xml.readElementText();
                path.removeLast();
            }
        } else if (xml.isEndElement()) {
            path.removeLast();
            const auto signed_ = [](const QString &text, const QString &indicator) {
                const Money value = *Money::parse(text, QLocale::c());
                return indicator == u"DBIT"_s ? -value : value;
            };
            if (name == u"Ntry"_s && (status.isEmpty() || status == u"BOOK"_s)) {
                StatedStatement &statement = stated.last();
                if (statement.currency.isEmpty())
                    statement.currency = currency;
                if (currency != statement.currency) {
                    ++statement.otherCurrency;
                    continue;
                }
                statement.total += signed_(amount, sign);
                ++statement.entries;
            }
            if (name == u"Bal"_s && (code == u"OPBD"_s || code == u"PRCD"_s) &&
                !stated.last().opening)
                stated.last().opening = signed_(balanceAmount, balanceSign);
            if (name == u"Bal"_s && code == u"CLBD"_s)
                stated.last().closing = signed_(balanceAmount, balanceSign);
        }
    }
    return stated;
}

} // namespace

class TestBankImport : public QObject {
    Q_OBJECT

private slots:
    void readsBothCamtVersions()
    {
        const BankStatement v02 = camt(u"camt053-v02.xml"_s);
        // The pending entry is left out; the batch gives one movement per transaction.
        QCOMPARE(v02.movements.size(), 4);
        const BankMovement &first = v02.movements[0];
        QCOMPARE(first.amount, Money::fromCents(15000));
        QCOMPARE(first.counterparty, u"Niccolò Fabbri"_s);
        QCOMPARE(first.counterpartyIban, u"IT02L1234512345123456789012"_s);
        QCOMPARE(first.description, u"Quota associativa 2026 Niccolò"_s);
        QCOMPARE(first.reference, u"BK20260302001"_s);
        QCOMPARE(v02.movements[1].amount, Money::fromCents(-8770));
        QCOMPARE(v02.movements[1].valueDate, QDate(2026, 3, 9));
        QCOMPARE(v02.movements[1].counterparty, u"ENEL Energia S.p.A."_s);
        QCOMPARE(v02.movements[3].amount, Money::fromCents(5000));
        QCOMPARE(v02.movements[3].counterparty, u"Andrea Verdi"_s);
        QCOMPARE(v02.movements[3].reference, u"BK20260315002/2"_s);
        QCOMPARE(v02.opening->amount, Money::fromCents(100000));
        QVERIFY(!v02.opening->closedThatDay);
        QCOMPARE(v02.closing->date, QDate(2026, 3, 31));

        const BankStatement v08 = camt(u"camt053-v08.xml"_s);
        QCOMPARE(v08.movements.size(), 2);
        QCOMPARE(v08.movements[0].reference, u"2026043001"_s);
        QCOMPARE(v08.movements[0].description, u"Commissioni tenuta conto aprile"_s);
        QCOMPARE(v08.movements[1].bookingDate, QDate(2026, 4, 12));
        QCOMPARE(v08.movements[1].counterparty, u"Società Elettrica Meridionale"_s);
        QCOMPARE(v08.movements[1].description, u"Fattura n. 88 marzo"_s);
        QVERIFY(v08.opening->closedThatDay);
        QCOMPARE(v08.closing->amount, Money::fromCents(112005));
    }

    // Every real statement: no movement lost or made up (the movements read add up to the
    // file's booked entries, one or more each), the balances it declares read as it states them;
    // booked into a euro archive, each movement is one entry and a second run books nothing.
    void realStatementsLoseNoMovement()
    {
        const QDir folder(QStringLiteral(TOVRIN_REAL_DATA) + u"/camt053"_s);
        if (!folder.exists())
            QSKIP("the real statements are not beside the project");
        for (const QString &name : folder.entryList({u"*.xml"_s}, QDir::Files)) {
            QFile file(folder.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QString error;
            const std::optional<QList<BankStatement>> statements = readCamt053(bytes, &error);
            QVERIFY2(statements, qPrintable(name + u": "_s + error));
            const QList<StatedStatement> stated = statedStatements(bytes);
            QCOMPARE(statements->size(), stated.size());
            for (qsizetype s = 0; s < stated.size(); ++s) {
                const BankStatement &read = statements->at(s);
                Money total;
                for (const BankMovement &movement : read.movements)
                    total += movement.amount;
                const QString where = name + u", Stmt "_s + QString::number(s + 1);
                QCOMPARE(read.currency, stated[s].currency);
                if (stated[s].otherCurrency == 0) {
                    QVERIFY2(total == stated[s].total, qPrintable(where));
                    QVERIFY2(read.movements.size() >= stated[s].entries, qPrintable(where));
                }
                if (stated[s].opening && stated[s].closing && read.opening && read.closing) {
                    QCOMPARE(read.opening->amount, *stated[s].opening);
                    QCOMPARE(read.closing->amount, *stated[s].closing);
                    if (*stated[s].opening + stated[s].total == *stated[s].closing)
                        QVERIFY2(read.opening->amount + total == read.closing->amount,
                                 qPrintable(where));
                }
                if (read.currency != u"EUR"_s)
                    continue;
                TestArchive a;
                const Chart c = chartOf(a);
                QList<ReviewedMovement> items = review(a, c.bank, read);
                for (ReviewedMovement &item : items)
                    item.counterpart = item.movement.amount > Money() ? c.gifts : c.fees;
                const int waiting = int(read.waiting.size());
                QVERIFY2(book(a, c.bank, read, items, &error), qPrintable(where + error));
                QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(),
                         int(read.movements.size()));
                QCOMPARE(a.scalar(u"SELECT COALESCE(SUM(CASE WHEN contodare = ? THEN importo "
                                  u"ELSE -importo END), 0) FROM regdet"_s,
                                  {c.bank})
                             .toLongLong(),
                         total.units());
                items = review(a, c.bank, read);
                QCOMPARE(std::count_if(items.cbegin(), items.cend(),
                                       [](const ReviewedMovement &m) { return m.alreadyImported; }),
                         qsizetype(items.size() - waiting));
            }
        }
    }

    // A payment and its reversal share the bank's reference, date and amount; a batch repeats one
    // reference on every transaction: each is a movement of its own, booked once, and a
    // movement an earlier version kept under its reference alone is still known.
    void movementsSharingAReferenceStayApart()
    {
        const QByteArray booked = "<BookgDt><Dt>2026-03-05</Dt></BookgDt>";
        const QByteArray file = camtMessage(
            statement("IT60X0542811101000000123456",
                      entry("25.00", "DBIT", booked + "<AcctSvcrRef>R1</AcctSvcrRef>") +
                          entry("25.00", "DBIT",
                                booked + "<AcctSvcrRef>R1</AcctSvcrRef><RvslInd>true</RvslInd>") +
                          entry("30.00", "CRDT",
                                booked + "<AcctSvcrRef>B7</AcctSvcrRef><NtryDtls>"
                                         "<TxDtls><Refs><AcctSvcrRef>T</AcctSvcrRef></Refs>"
                                         "<Amt Ccy=\"EUR\">10.00</Amt></TxDtls>"
                                         "<TxDtls><Refs><AcctSvcrRef>T</AcctSvcrRef></Refs>"
                                         "<Amt Ccy=\"EUR\">20.00</Amt></TxDtls></NtryDtls>")));
        const BankStatement read = camtOf(file).first();
        QCOMPARE(read.movements.size(), 4);
        QVERIFY(read.movements[1].reversal);
        QCOMPARE(read.movements[1].description, u"Storno: Movimento bancario rif. R1"_s);

        TestArchive a;
        const Chart c = chartOf(a);
        // An earlier version booked the payment and kept it under its reference alone.
        const qint64 earlier = a.addEntry(
            QDate(2026, 3, 5), {{c.fees, c.bank, Money::fromCents(2500), u"Bonifico"_s}});
        a.exec(u"INSERT INTO movimenti_importati (conto, impronta, idRegMain, importato_il) "
               u"VALUES (?, 'rif:R1', ?, '2026-03-06')"_s,
               {c.bank, earlier});
        QList<ReviewedMovement> items = review(a, c.bank, read);
        QVERIFY(items[0].alreadyImported);
        QVERIFY(!items[1].alreadyImported);
        for (ReviewedMovement &item : items)
            item.counterpart = c.gifts;
        QString error;
        QVERIFY2(book(a, c.bank, read, items, &error), qPrintable(error));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 4);
        items = review(a, c.bank, read);
        QVERIFY(std::all_of(items.cbegin(), items.cend(),
                            [](const ReviewedMovement &m) { return m.alreadyImported; }));
    }

    // Two users book the same statement at once: each movement once, the other user told it is
    // already imported, on a file and on a server alike.
    void twoUsersImportingOneStatementBookItOnce()
    {
        const QByteArray booked = "<BookgDt><Dt>2026-03-05</Dt></BookgDt>";
        const BankStatement read =
            camtOf(camtMessage(statement(
                       "IT60X0542811101000000123456",
                       entry("10.00", "CRDT", booked + "<AcctSvcrRef>A</AcctSvcrRef>") +
                           entry("20.00", "CRDT", booked + "<AcctSvcrRef>B</AcctSvcrRef>"))))
                .first();
        TestArchive a;
        const Chart c = chartOf(a);
        QList<ReviewedMovement> items[2] = {review(a, c.bank, read), review(a, c.bank, read)};
        for (QList<ReviewedMovement> &list : items)
            for (ReviewedMovement &item : list)
                item.counterpart = c.gifts;
        std::optional<BookingCounts> counts[2];
        QString errors[2];
        const auto run = [&](int user) {
            counts[user] = bookMovements(a.archive(), c.bank, {read}, items[user], &errors[user]);
        };
        std::thread first(run, 0);
        std::thread second(run, 1);
        first.join();
        second.join();
        QVERIFY2(counts[0] && counts[1], qPrintable(errors[0] + errors[1]));
        QCOMPARE(counts[0]->booked + counts[1]->booked, 2);
        QCOMPARE(counts[0]->alreadyImported + counts[1]->alreadyImported, 2);
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 2);
    }

    // A file of several accounts: the one chosen, else the bank's own IBAN; without either, or
    // for an account not in the file, a refusal listing the accounts; never another currency.
    void statementsOfSeveralAccounts()
    {
        const QByteArray booked = "<BookgDt><Dt>2026-03-05</Dt></BookgDt>";
        const QList<BankStatement> all = camtOf(camtMessage(
            statement("IT60X0542811101000000123456", entry("1.00", "CRDT", booked)) +
            statement("IT40S0542811101000000654321", entry("2.00", "CRDT", booked)) +
            statement("GB33BUKB20201555555555", entry("3.00", "CRDT", booked, "GBP"), "GBP")));
        QString error;
        QVERIFY(!statementsToImport(all, {}, {}, &error));
        QVERIFY2(error.contains(u"IBAN IT40S0542811101000000654321, EUR"_s), qPrintable(error));
        QCOMPARE(statementsToImport(all, u"it40 s054 2811 1010 0000 0654 321"_s, {}, &error)
                     ->first()
                     .movements.first()
                     .amount,
                 Money::fromCents(200));
        QCOMPARE(statementsToImport(all, {}, u"IT60X0542811101000000123456"_s, &error)->size(), 1);
        QVERIFY(!statementsToImport(all, u"IT02L1234512345123456789012"_s, {}, &error));
        QVERIFY(error.startsWith(u"Il file non contiene estratti del conto"_s));
        QVERIFY(!statementsToImport(all, u"GB33BUKB20201555555555"_s, {}, &error));
        QVERIFY2(error.contains(u"è in GBP"_s), qPrintable(error));
        QCOMPARE(ibanProblem(u"IT60 X054 2811 1010 0000 0123 456"_s), QString());
        QVERIFY(!ibanProblem(u"IT61X0542811101000000123456"_s).isEmpty());
    }

    // What banks write that is not the textbook's: each read as it means, or refused naming the
    // element, never booked as something else.
    void readsStatementsAsBanksWriteThem()
    {
        const QByteArray stmt = "IT60X0542811101000000123456";
        const BankStatement read =
            camtOf(
                camtMessage(statement(
                    stmt,
                    entry("10.00", "CRDT", "<ValDt><Dt>2026-03-07</Dt></ValDt>") +
                        entry("11.00", "CRDT", "") +
                        entry("12.00", "CRDT", "<Sts><Cd>PDNG</Cd></Sts>") +
                        entry("0.00", "DBIT", "<BookgDt><Dt>2026-03-08</Dt></BookgDt>") +
                        entry(
                            "13.00", "DBIT",
                            "<BookgDt><Dt>2026-03-09</Dt></BookgDt><NtryDtls><TxDtls><RmtInf><Strd>"
                            "<CdtrRefInf><Ref>RF18539007547034</Ref></CdtrRefInf></Strd></RmtInf>"
                            "</TxDtls></NtryDtls>") +
                        entry("14.00", "DBIT",
                              "<BookgDt><Dt>2026-03-09</Dt></BookgDt><NtryDtls><Btch><NbOfTxs>3"
                              "</NbOfTxs></Btch></NtryDtls>") +
                        entry("15.00", "DBIT",
                              "<BookgDt><Dt>2026-03-09</Dt></BookgDt><AmtDtls><CntrValAmt>"
                              "<Amt Ccy=\"EUR\">13.70</Amt></CntrValAmt></AmtDtls>",
                              "USD") +
                        entry("1.00", "CRDT",
                              "<BookgDt><Dt>2026-03-09</Dt></BookgDt><AddtlNtryInf>" +
                                  QByteArray(300, 'x') + "</AddtlNtryInf>"))))
                .first();
        QCOMPARE(read.movements.size(), 6);
        QCOMPARE(read.movements[0].bookingDate, QDate(2026, 3, 7));
        QCOMPARE(read.movements[0].note, u"data dalla valuta"_s);
        QCOMPARE(read.movements[1].bookingDate, QDate(2026, 3, 31));
        QCOMPARE(read.movements[1].note, u"data dell'estratto"_s);
        QCOMPARE(read.waiting.size(), 1);
        QCOMPARE(read.movements[2].description, u"Rif. creditore RF18539007547034"_s);
        QCOMPARE(read.movements[3].description, u"Distinta di 3 operazioni"_s);
        QCOMPARE(read.movements[4].amount, Money::fromCents(-1370));
        QCOMPARE(read.movements[5].description.size(), EntryTextLength);
        QCOMPARE(read.notices, (QStringList{u"Ntry 4: importo zero, non registrato."_s,
                                            u"Ntry 8: descrizione accorciata a 255 caratteri."_s}));

        const QByteArray dated = "<BookgDt><Dt>2026-03-09</Dt></BookgDt>";
        QCOMPARE(refusalOf(camtMessage(statement(stmt, entry("8.8501", "CRDT", dated)))),
                 u"Ntry 1: importo con frazioni di centesimo (Amt): \"8.8501\"; i conti tengono "
                 u"i centesimi interi."_s);
        QVERIFY(refusalOf(camtMessage(statement(stmt, entry("15.00", "DBIT", dated, "USD"))))
                    .startsWith(u"Ntry 1: nessun importo nella valuta del conto (EUR)"_s));
        QByteArray withDoctype = camtMessage(statement(stmt, entry("1.00", "CRDT", dated)));
        withDoctype.insert(withDoctype.indexOf("<Document"),
                           "<!DOCTYPE Document [<!ENTITY x \"QUOTA\">]>\n");
        QVERIFY(refusalOf(withDoctype).contains(u"DOCTYPE"_s));
        QByteArray badBytes = camtMessage(statement(stmt, entry("1.00", "CRDT", dated)));
        badBytes.replace("<Ntry>", "<Ntry>\n<AddtlNtryInf>caff\xe8</AddtlNtryInf>");
        QCOMPARE(refusalOf(badBytes), u"Il file non è nella codifica UTF-8 (riga 5)."_s);
        // The same statement in UTF-16 is a camt.053 file like any other.
        const QString text =
            QString::fromUtf8(camtMessage(statement(stmt, entry("1.00", "CRDT",
                                                                dated + "<AddtlNtryInf>Città"
                                                                        "</AddtlNtryInf>"))));
        QByteArray utf16("\xFF\xFE");
        utf16.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        QCOMPARE(recognisedFormat(utf16), StatementFormat::Camt053);
        QCOMPARE(camtOf(utf16).first().movements.first().description, u"Città"_s);
    }

    // The bank never books against itself: no rule, no proposal, no entry.
    void theBankIsNeverItsOwnCounterpart()
    {
        TestArchive a;
        const Chart c = chartOf(a);
        Connection connection(a.archive());
        QString error;
        BankRule itself{0, u"giroconto"_s, 0, {}, c.bank, c.bank, {}};
        QVERIFY(!saveBankRule(connection, itself, &error));
        // Entries that moved the bank on both sides of a row teach nothing.
        a.addEntry(QDate(2026, 1, 3), {{c.bank, c.bank, Money::fromCents(100), u"Giroconto"_s}});
        a.addEntry(QDate(2026, 1, 4), {{c.bank, c.gifts, Money::fromCents(100), u"Giroconto"_s}});
        const Proposal proposal = proposerFor(a, c.bank).propose(movement(u"Giroconto"_s, 100));
        QCOMPARE(proposal.subAccount, c.gifts);
    }

    // An earlier movement with the same text wins over merely similar ones; a tie goes to the
    // most recent booking.
    void identicalMovementsAreProposedFirst()
    {
        TestArchive a;
        const Chart c = chartOf(a);
        a.addEntry(QDate(2026, 1, 12),
                   {{c.fees, c.bank, Money::fromCents(100), u"COMMISSIONE RICARICA 0012"_s}});
        for (int day = 1; day <= 3; ++day)
            a.addEntry(QDate(2026, 1, day), {{c.energy, c.bank, Money::fromCents(100),
                                              u"RICARICA carta COMMISSIONE"_s}});
        Proposal p =
            proposerFor(a, c.bank).propose(movement(u"Commissione ricarica  3456"_s, -100));
        QCOMPARE(p.subAccount, c.fees);
        QCOMPARE(p.reason, u"identico al movimento del 12/01/2026"_s);

        a.addEntry(QDate(2026, 2, 1), {{c.bank, c.dues, Money::fromCents(100), u"Rossi Mario"_s}});
        a.addEntry(QDate(2026, 2, 9),
                   {{c.bank, c.gifts, Money::fromCents(100), u"Mario Rossi quota"_s}});
        p = proposerFor(a, c.bank).propose(movement(u"Bonifico Mario Rossi"_s, 100));
        QCOMPARE(p.subAccount, c.gifts);
    }

    // An entry typed by hand before the statement came is the movement: linked, never booked
    // twice; unticked, the movement is booked instead.
    void entriesTypedByHandAreRecognised()
    {
        TestArchive a;
        const Chart c = chartOf(a);
        const qint64 typed =
            a.addEntry(QDate(2026, 3, 8),
                       {{c.energy, c.bank, Money::fromCents(8770), u"Bolletta ENEL"_s}}, 0, 12);
        BankStatement read = camt(u"camt053-v02.xml"_s);
        QList<ReviewedMovement> items = review(a, c.bank, read);
        QCOMPARE(items[1].stateText(), u"già registrato (n. 12 del 08/03/2026)"_s);
        QVERIFY(!items[0].match);
        QString error;
        QVERIFY2(book(a, c.bank, read, items, &error), qPrintable(error));
        QCOMPARE(items[1].entryId, typed);
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 1);
        items = review(a, c.bank, read);
        QVERIFY(items[1].alreadyImported);

        // Unticking the match books the movement.
        a.exec(u"DELETE FROM movimenti_importati"_s);
        items = review(a, c.bank, read);
        QVERIFY(items[1].usesMatch());
        items[1].useMatch = false;
        items[1].counterpart = c.energy;
        QVERIFY(book(a, c.bank, read, items, &error));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 2);
    }

    // Book balance less the entries no movement is linked to plus the movements not booked is
    // the statement's balance; an entry linked by hand leaves both lists.
    void theReconciliationAddsUp()
    {
        TestArchive a;
        const Chart c = chartOf(a);
        a.addEntry(QDate(2026, 3, 1), {{c.bank, c.dues, Money::fromCents(100000), u"apertura"_s}},
                   1);
        const qint64 typed = a.addEntry(
            QDate(2026, 3, 20), {{c.bank, c.gifts, Money::fromCents(4200), u"Contanti versati"_s}});
        const BankStatement read = camt(u"camt053-v02.xml"_s);
        QList<ReviewedMovement> items = review(a, c.bank, read);
        items[0].counterpart = items[2].counterpart = c.dues;
        items[1].counterpart = c.energy;
        QString error;
        QVERIFY2(book(a, c.bank, read, items, &error), qPrintable(error));
        const auto reconcile = [&] {
            Connection connection(a.archive(), Connection::Mode::ReadOnly);
            QString failure;
            const std::optional<BankReconciliation> r =
                reconcileBank(connection.database(), c.bank, QDate(2026, 4, 10), &failure);
            if (!r)
                qFatal("%s", qPrintable(failure));
            return *r;
        };
        BankReconciliation r = reconcile();
        QCOMPARE(r.statementDate, QDate(2026, 3, 31));
        QCOMPARE(*r.statementBalance, Money::fromCents(121230));
        QCOMPARE(r.unlinkedEntries.size(), 1);
        QCOMPARE(r.unlinkedEntries.first().entryId, typed);
        QCOMPARE(r.unbookedMovements.size(), 1); // the 50,00 left without a counterpart
        QCOMPARE(r.unbookedMovements.first().amount, Money::fromCents(5000));
        QCOMPARE(*r.difference(), Money::fromCents(-4200 + 4200 - 5000 + 5000));
        QCOMPARE(r.bookBalance - Money::fromCents(4200) + Money::fromCents(5000),
                 *r.statementBalance);
        // The typed entry is not the movement: different amounts cannot be linked.
        QVERIFY(!linkEntryToMovement(a.archive(), c.bank, typed,
                                     r.unbookedMovements.first().fingerprint, &error));
        QVERIFY(error.startsWith(u"Gli importi non coincidono"_s));
        a.exec(u"UPDATE regdet SET importo = 500000 WHERE idRegMain = ?"_s, {typed});
        QVERIFY2(linkEntryToMovement(a.archive(), c.bank, typed,
                                     reconcile().unbookedMovements.first().fingerprint, &error),
                 qPrintable(error));
        r = reconcile();
        QVERIFY(r.unlinkedEntries.isEmpty() && r.unbookedMovements.isEmpty());
        QCOMPARE(*r.difference(), Money());
        const QJsonObject json = QJsonDocument::fromJson(reconciliationJson(r)).object();
        QCOMPARE(json[u"saldoEstratto"_s].toString(), u"1212.30"_s);
        QCOMPARE(json[u"differenza"_s].toString(), u"0.00"_s);
    }

    // After a renumbering the review shows the entries' numbers as they are now.
    void theReviewShowsCurrentNumbers()
    {
        TestArchive a;
        const Chart c = chartOf(a);
        const BankStatement read = camt(u"camt053-v02.xml"_s);
        QList<ReviewedMovement> items = review(a, c.bank, read);
        items[1].counterpart = c.energy;
        QString error;
        QVERIFY(book(a, c.bank, read, items, &error));
        a.addEntry(QDate(2026, 3, 1), {{c.bank, c.dues, Money::fromCents(100), u"prima"_s}}, 0, 1);
        a.exec(u"UPDATE regmain SET progressivo = 2 WHERE id = ?"_s, {items[1].entryId});
        Connection connection(a.archive(), Connection::Mode::ReadOnly);
        QVERIFY(refreshNumbers(connection.database(), items, &error));
        QCOMPARE(items[1].number.toInt(), 2);
    }

    void readsCsvExports()
    {
        QString error;
        const std::optional<BankStatement> utf8 =
            readCsvStatement(dataFile(u"estratto-utf8.csv"_s), semicolonProfile(), &error);
        QVERIFY2(utf8, qPrintable(error));
        QCOMPARE(utf8->movements.size(), 3);
        QCOMPARE(utf8->movements[0].description, u"Quota associativa 2026 Niccolò"_s);
        QCOMPARE(utf8->movements[1].amount, Money::fromCents(-108770));
        QCOMPARE(utf8->movements[1].description, u"Bolletta; energia \"verde\" febbraio"_s);
        QCOMPARE(utf8->movements[1].place, u"Riga 4"_s);
        // Two like movements on one day stay two, told apart by their order.
        const QList<QPair<QString, QString>> prints = movementFingerprints(utf8->movements);
        QVERIFY(prints[1].first != prints[2].first);
        QVERIFY(prints[2].first.endsWith(u"|2"_s));

        const std::optional<BankStatement> ansi =
            readCsvStatement(dataFile(u"estratto-1252.csv"_s), debitCreditProfile(), &error);
        QVERIFY2(ansi, qPrintable(error));
        QCOMPARE(ansi->movements[0].description, u"Contributo caffè € soci"_s);
        QCOMPARE(ansi->movements[0].amount, Money::fromCents(2500));
        QCOMPARE(ansi->movements[1].amount, Money::fromCents(-1250));
    }

    void refusesFilesThatAreNotWhatTheyClaim_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("csv");
        QTest::addColumn<QString>("message");
        const QByteArray head =
            "<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.053.001.02\">"
            "<BkToCstmrStmt><Stmt>\n";
        const QByteArray tail = "</Stmt></BkToCstmrStmt></Document>";
        QTest::newRow("not xml") << QByteArray("<Document>\n<Stmt></Document>") << false
                                 << u"Il file non è un documento XML valido (riga 2)"_s;
        QTest::newRow("other message")
            << QByteArray("<Document xmlns=\"urn:iso:std:iso:20022:tech:xsd:camt.054.001.02\">"
                          "<BkToCstmrDbtCdtNtfctn/></Document>")
            << false << u"Il file è un messaggio camt.054.001.02, non un estratto conto"_s;
        QTest::newRow("no amount") << head + "<Ntry><CdtDbtInd>CRDT</CdtDbtInd></Ntry>" + tail
                                   << false << u"Ntry 1: importo mancante (Amt)."_s;
        QTest::newRow("bad amount")
            << head + "<Ntry><Amt>12,50</Amt><CdtDbtInd>CRDT</CdtDbtInd></Ntry>" + tail << false
            << u"Ntry 1: importo non valido (Amt): \"12,50\"."_s;
        QTest::newRow("bad date") << head +
                                         "<Ntry><Amt>1.00</Amt><CdtDbtInd>DBIT</CdtDbtInd>"
                                         "<BookgDt><Dt>2026-02-30</Dt></BookgDt></Ntry>" +
                                         tail
                                  << false
                                  << u"Ntry 1: data di contabilizzazione non valida (BookgDt)."_s;
        const QByteArray csvHead = "x\ny\n";
        QTest::newRow("csv date") << csvHead + "31/02/2026;;1,00;a;b\n"
                                  << true << u"Riga 3: data non valida: \"31/02/2026\""_s;
        QTest::newRow("csv amount")
            << csvHead + "01/02/2026;;1.2,00;a;b\n"
            << true << u"Riga 3: importo mancante o non valido: \"1.2,00\"."_s;
        QTest::newRow("csv encoding") << csvHead + "01/02/2026;;1,00;caff\xe8;b\n"
                                      << true << u"Il file non è nella codifica UTF-8 (riga 3)."_s;
        QTest::newRow("csv fraction of a cent")
            << csvHead + "01/02/2026;;300,12345;a;b\n"
            << true << u"Riga 3: importo con frazioni di centesimo: \"300,12345\""_s;
        QTest::newRow("csv quote left open")
            << csvHead + "01/02/2026;;1,00;\"Bonifico;b\n02/02/2026;;2,00;x;y\n"
            << true << u"Il file CSV ha virgolette aperte e mai chiuse alla riga 3"_s;
        QTest::newRow("legacy excel")
            << QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1 rest of a workbook") << true
            << u"Il file è una cartella di lavoro Excel nel vecchio formato .xls"_s;
    }

    // A spreadsheet export: dates and amounts as the workbook stores them, read with the same
    // profile as a CSV.
    void readsXlsxExports()
    {
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.filePath(u"estratto.xlsx"_s));
        lxw_workbook *workbook = workbook_new(path.constData());
        lxw_worksheet *sheet = workbook_add_worksheet(workbook, nullptr);
        lxw_format *date = workbook_add_format(workbook);
        format_set_num_format(date, "dd/mm/yyyy");
        worksheet_write_string(sheet, 0, 0, "Data", nullptr);
        worksheet_write_string(sheet, 0, 1, "Importo", nullptr);
        worksheet_write_string(sheet, 0, 2, "Descrizione", nullptr);
        lxw_datetime day{2026, 3, 5, 0, 0, 0};
        worksheet_write_datetime(sheet, 1, 0, &day, date);
        worksheet_write_number(sheet, 1, 1, -1234.56, nullptr);
        worksheet_write_string(sheet, 1, 2, "Bonifico fornitore", nullptr);
        worksheet_write_string(sheet, 2, 0, "Saldo finale", nullptr);
        QCOMPARE(workbook_close(workbook), LXW_NO_ERROR);
        QFile file(dir.filePath(u"estratto.xlsx"_s));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QCOMPARE(recognisedFormat(bytes), StatementFormat::Xlsx);
        CsvProfile profile;
        profile.name = u"Foglio"_s;
        profile.skippedRows = 1;
        profile.dateColumn = 1;
        profile.amountColumn = 2;
        profile.descriptionColumn = 3;
        QString error;
        const std::optional<BankStatement> read = readXlsxStatement(bytes, profile, &error);
        QVERIFY2(read, qPrintable(error));
        QCOMPARE(read->movements.size(), 1);
        QCOMPARE(read->movements[0].bookingDate, QDate(2026, 3, 5));
        QCOMPARE(read->movements[0].amount, Money::fromCents(-123456));
        QCOMPARE(read->movements[0].place, u"Riga 2"_s);
    }

    void refusesFilesThatAreNotWhatTheyClaim()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, csv);
        QFETCH(QString, message);
        QString error;
        const bool read = csv ? readCsvStatement(file, semicolonProfile(), &error).has_value()
                              : readCamt053(file, &error).has_value();
        QVERIFY(!read);
        QVERIFY2(error.startsWith(message), qPrintable(error));
        // A byte Windows-1252 does not have is refused with its line.
        QVERIFY(!readCsvStatement("Data\n01/03/2026;;1,00;\x81\n", debitCreditProfile(), &error));
        QCOMPARE(error,
                 u"Il file contiene un carattere che la codifica Windows-1252 non ha (riga 2)."_s);
    }

    void proposesFromRulesThenIbanThenWords()
    {
        TestArchive a;
        const Chart c = chartOf(a);
        QString error;
        {
            Connection connection(a.archive());
            BankRule fees{0, u"commissioni"_s, -1, {}, c.fees, 0, {}};
            QVERIFY(saveBankRule(connection, fees, &error));
        }
        // History: the bank's earlier entries with one other sub-account.
        for (int i = 0; i < 3; ++i)
            a.addEntry(QDate(2026, 1, 10 + i),
                       {{c.bank, c.dues, Money::fromCents(5000), u"Quota associativa Rossi"_s}});
        a.addEntry(QDate(2026, 1, 20),
                   {{c.bank, c.gifts, Money::fromCents(5000), u"Erogazione liberale Rossi"_s}});
        a.addEntry(QDate(2026, 1, 21),
                   {{c.energy, c.bank, Money::fromCents(9000), u"Bolletta luce gennaio"_s}});
        const CounterpartProposer proposer = proposerFor(a, c.bank);

        Proposal p = proposer.propose(movement(u"COMMISSIONI bonifico"_s, -150));
        QCOMPARE(p.subAccount, c.fees);
        QCOMPARE(p.reason, u"regola: contiene 'commissioni', uscite"_s);
        // The rule's sign keeps it off money coming in.
        QVERIFY(proposer.propose(movement(u"Storno commissioni"_s, 150)).subAccount != c.fees);
        p = proposer.propose(movement(u"Quota associativa Bianchi"_s, 5000));
        QCOMPARE(p.subAccount, c.dues);
        QCOMPARE(p.reason, u"come 3 movimenti simili"_s);
        p = proposer.propose(movement(u"bolletta LUCE febbraio"_s, -8000));
        QCOMPARE(p.subAccount, c.energy);
        QCOMPARE(p.reason, u"come 1 movimento simile"_s);
        // A common word alone is not enough.
        QCOMPARE(proposer.propose(movement(u"Rossi"_s, 100)).subAccount, 0);
    }

    void booksOnceAndLearns()
    {
        TestArchive a;
        const Chart c = chartOf(a);
        BankStatement statement = camt(u"camt053-v02.xml"_s);
        QList<ReviewedMovement> items = review(a, c.bank, statement);
        QCOMPARE(items[0].stateText(), u"da assegnare"_s);
        items[0].counterpart = c.dues;
        items[1].counterpart = c.energy;
        items[1].description = u"Luce febbraio"_s;
        items[2].counterpart = c.dues;
        items[2].ticked = false;
        QString error;
        QVERIFY2(book(a, c.bank, statement, items, &error), qPrintable(error));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 2);
        QCOMPARE(a.scalar(u"SELECT contodare || ' ' || contoavere || ' ' || importo || ' ' || "
                          u"descrizione FROM regdet WHERE contodare = ?"_s,
                          {c.energy})
                     .toString(),
                 u"%1 %2 877000 Luce febbraio"_s.arg(c.energy).arg(c.bank));
        QCOMPARE(a.scalar(u"SELECT data FROM regmain WHERE progressivo = 2"_s).toString(),
                 u"2026-03-10"_s);

        // The same file again: what was booked is known, the rest is proposed from it.
        items = review(a, c.bank, statement);
        QCOMPARE(items[0].stateText(), u"già importato"_s);
        QCOMPARE(items[1].stateText(), u"già importato"_s);
        QCOMPARE(items[2].counterpart, c.dues);
        QVERIFY(book(a, c.bank, statement, items, &error));
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 3);
        // The same IBAN, booked to another counterpart, proposes the latest one.
        statement = camt(u"camt053-v08.xml"_s);
        items = review(a, c.bank, statement);
        QCOMPARE(items[1].counterpart, c.energy);
        QCOMPARE(items[1].reason, u"come 1 movimento simile (stesso IBAN)"_s);

        // Deleting an entry frees its movement for the next import.
        a.exec(u"DELETE FROM regmain WHERE progressivo = 1"_s);
        items = review(a, c.bank, camt(u"camt053-v02.xml"_s));
        QCOMPARE(items[0].stateText(), u"nuovo"_s);
    }

    // A later export overlapping the first: only the rows not seen before are new, the two like
    // rows of one day told apart by their order.
    void anOverlappingCsvBooksOnlyWhatIsNew()
    {
        TestArchive a;
        const Chart c = chartOf(a);
        QString error;
        const auto read = [&](const QByteArray &file) {
            const std::optional<BankStatement> statement =
                readCsvStatement(file, semicolonProfile(), &error);
            if (!statement)
                qFatal("%s", qPrintable(error));
            return *statement;
        };
        const QByteArray head = "Estratto\nData;Valuta;Importo;Descrizione;Controparte\n";
        const QByteArray fee = "10/03/2026;;-1,50;Commissione;\n";
        const BankStatement first = read(head + fee + fee);
        QList<ReviewedMovement> items = review(a, c.bank, first);
        for (ReviewedMovement &item : items)
            item.counterpart = c.fees;
        QVERIFY2(book(a, c.bank, first, items, &error), qPrintable(error));
        items = review(a, c.bank, read(head + fee + fee + fee + "11/03/2026;;20,00;Dono;Rossi\n"));
        QCOMPARE(items[1].stateText(), u"già importato"_s);
        // The third fee is new, proposed from the two booked before.
        QCOMPARE(items[2].stateText(), u"nuovo"_s);
        QCOMPARE(items[2].counterpart, c.fees);
        QCOMPARE(items[3].stateText(), u"da assegnare"_s);
    }

    void refusedMovementsStayOutTheOthersAreBooked()
    {
        TestArchive a;
        const Chart c = chartOf(a);
        a.addEntry(QDate(2025, 12, 31), {{c.dues, c.bank, Money::fromCents(100), u"chiusura"_s}},
                   -1);
        BankStatement statement;
        statement.movements = {movement(u"vecchio"_s, 100), movement(u"nuovo"_s, 200)};
        statement.movements[0].bookingDate = QDate(2025, 6, 1);
        QList<ReviewedMovement> items = review(a, c.bank, statement);
        items[0].counterpart = items[1].counterpart = c.gifts;
        QString error;
        QVERIFY(book(a, c.bank, statement, items, &error));
        QVERIFY(items[0].refusal.contains(u"chiuso"_s));
        QCOMPARE(items[0].entryId, 0);
        QVERIFY(items[1].entryId != 0);
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM movimenti_importati"_s).toInt(), 1);

        // A refusal between two movements: the others are booked, numbered in their order.
        statement.movements = {movement(u"uno"_s, 10), movement(u"stesso conto"_s, 20),
                               movement(u"due"_s, 30)};
        items = review(a, c.bank, statement);
        items[0].counterpart = items[2].counterpart = c.gifts;
        items[1].counterpart = c.bank;
        QVERIFY(book(a, c.bank, statement, items, &error));
        QVERIFY(items[1].refusal.contains(u"stesso sottoconto"_s));
        QCOMPARE(items[1].entryId, 0);
        QCOMPARE(items[2].number.toLongLong(), items[0].number.toLongLong() + 1);
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM movimenti_importati"_s).toInt(), 3);

        // A failure of the archive half-way keeps nothing of the run.
        statement.movements = {movement(u"primo"_s, 300), movement(u"secondo"_s, 400)};
        items = review(a, c.bank, statement);
        items[0].counterpart = c.gifts;
        items[1].counterpart = 999999;
        QVERIFY(!book(a, c.bank, statement, items, &error));
        QVERIFY(error.contains(u"FOREIGN KEY"_s, Qt::CaseInsensitive));
        QCOMPARE(items[0].entryId, 0);
        QCOMPARE(a.scalar(u"SELECT COUNT(*) FROM movimenti_importati"_s).toInt(), 3);
    }

    void comparesTheStatementBalancesWithTheBooks()
    {
        TestArchive a;
        const Chart c = chartOf(a);
        a.addEntry(QDate(2026, 1, 1), {{c.bank, c.dues, Money::fromCents(90000), u"apertura"_s}},
                   1);
        a.addEntry(QDate(2026, 2, 27), {{c.bank, c.gifts, Money::fromCents(10000), u"dono"_s}});
        // A later day's entry counts for neither.
        a.addEntry(QDate(2026, 4, 2), {{c.bank, c.gifts, Money::fromCents(777), u"dono"_s}});
        const BankStatement statement = camt(u"camt053-v02.xml"_s);
        const QList<ReviewedMovement> items = review(a, c.bank, statement);
        Connection connection(a.archive(), Connection::Mode::ReadOnly);
        QString error;
        const std::optional<QList<BalanceCheck>> checks =
            balanceChecks(connection.database(), c.bank, {statement}, items, &error);
        QVERIFY2(checks, qPrintable(error));
        QCOMPARE(checks->at(0).difference(), Money());
        // 1.000,00 + the statement's 212,30 still to book.
        QCOMPARE(checks->at(1).booked, Money::fromCents(121230));
        QCOMPARE(checks->at(1).text(), u"Saldo finale al 31/03/2026: estratto 1.212,30, "
                                       u"contabilità 1.212,30, differenza 0,00"_s);
    }
};

QTEST_GUILESS_MAIN(TestBankImport)
#include "tst_bankimport.moc"
