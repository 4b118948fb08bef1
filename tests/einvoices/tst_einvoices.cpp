#include "InvoiceBooks.h"
#include "bankimport/CounterpartProposer.h"
#include "data/JournalGate.h"
#include "einvoices/InvoiceImport.h"
#include "einvoices/InvoicePage.h"
#include "support/CliUser.h"
#include "support/TestArchive.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString Alpha = u"acquisti_due_fatture.xml"_s; // two bodies, purchases
const QString Irpef = u"parcella_ritenuta.xml"_s;    // withholding, stamp
const QString CreditNote = u"nota_di_credito.xml"_s;

// Debits less credits of the rows, whatever they name: zero when the entry balances.
Money sidesDifference(const QList<EntryRow> &rows)
{
    Money sum;
    for (const EntryRow &row : rows)
        sum += row.contodare.isNull() ? -row.importo : row.importo;
    return sum;
}

// The amount of the entry's rows on account, debit positive.
Money balanceOf(const InvoiceReview &item, qint64 account)
{
    Money sum;
    for (const EntryRow &row : item.entry.rows) {
        if (row.contodare.toLongLong() == account)
            sum += row.importo;
        if (row.contoavere.toLongLong() == account)
            sum -= row.importo;
    }
    return sum;
}

QByteArray signedFile(const QString &xml, bool base64)
{
    QTemporaryDir folder;
    const QString key = folder.filePath(u"key.pem"_s), certificate = folder.filePath(u"c.pem"_s);
    const QString out = folder.filePath(u"f.p7m"_s);
    const auto openssl = [](const QStringList &arguments) {
        QProcess process;
        process.start(u"openssl"_s, arguments);
        process.waitForFinished();
    };
    openssl({u"req"_s, u"-x509"_s, u"-newkey"_s, u"rsa:2048"_s, u"-nodes"_s, u"-keyout"_s, key,
             u"-out"_s, certificate, u"-subj"_s, u"/CN=Prova"_s, u"-days"_s, u"1"_s});
    openssl({u"cms"_s, u"-sign"_s, u"-binary"_s, u"-nodetach"_s, u"-in"_s, xml, u"-signer"_s,
             certificate, u"-inkey"_s, key, u"-outform"_s, u"DER"_s, u"-out"_s, out});
    QFile file(out);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("openssl made no signed file");
    const QByteArray der = file.readAll();
    return base64 ? der.toBase64() : der;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace

class TestElectronicInvoices : public QObject {
    Q_OBJECT

private slots:
    // Every file of the tax agency's examples and of the generated invoices beside the project is
    // read, and the one without a body is refused naming it.
    void realFilesAreRead()
    {
        const QDir folder(QStringLiteral(TOVRIN_REAL_DATA) + u"/fatturapa"_s);
        if (!folder.exists())
            QSKIP("the real invoices are not beside the project");
        int invoices = 0;
        for (const QString &name : folder.entryList({u"*.xml"_s}, QDir::Files)) {
            QString error;
            const std::optional<QList<ElectronicInvoice>> read =
                readInvoiceXml(fileBytes(folder.filePath(name)), name, &error);
            if (name.contains(u"bad"_s)) {
                QVERIFY(!read);
                QVERIFY2(error.contains(u"FatturaElettronicaBody"_s), qPrintable(error));
                continue;
            }
            QVERIFY2(read, qPrintable(error));
            invoices += int(read->size());
        }
        QCOMPARE(invoices, 12);
    }

    // An invoice is read as its VAT summary says, and its entry balances to the cent.
    void invoicesGiveTheirSummariesFigures()
    {
        QString error;
        QVERIFY(!readInvoiceXml(fileBytes(invoiceFile(u"senza_corpo.xml"_s)), u"x"_s, &error));
        QVERIFY2(error.contains(u"FatturaElettronicaBody"_s), qPrintable(error));
        Books books;
        const QList<InvoiceBatch> alpha =
            books.review({invoiceFile(Alpha)}, books.settings(u"09876543210"_s));
        QCOMPARE(alpha.first().invoices.size(), 2);
        const InvoiceReview &second = alpha.first().invoices[1];
        QCOMPARE(second.direction, InvoiceDirection::Purchase);
        QCOMPARE(second.invoice.number, u"456"_s);
        QCOMPARE(second.state, InvoiceState::ToAssign);
        QCOMPARE(balanceOf(second, books.purchaseVat), Money::fromCents(44000));
        QVERIFY(sidesDifference(second.entry.rows).isZero());
        // The declaration says windows-1252; the bytes are UTF-8, and read as such.
        const std::optional<QList<ElectronicInvoice>> lying = readInvoiceXml(
            fileBytes(invoiceFile(u"codifica_dichiarata_errata.xml"_s)), {}, nullptr);
        QCOMPARE(lying->first().supplier.name, u"MªF. Services"_s);
    }

    // A purchase with withholding: the supplier gets the total less it, the treasury the
    // withholding; without deduction the VAT is a cost. A credit note reverses every row.
    void withholdingNonDeductibleVatAndCreditNotes()
    {
        Books books;
        InvoiceSettings settings = books.settings(u"MRALNE80E05H501C"_s, false);
        settings.defaultSubAccount = books.costs;
        const InvoiceReview irpef =
            books.review({invoiceFile(Irpef)}, settings).first().invoices[0];
        QCOMPARE(irpef.direction, InvoiceDirection::Purchase);
        QCOMPARE(irpef.state, InvoiceState::New);
        QCOMPARE(balanceOf(irpef, books.withholding), -Money::fromCents(37400));
        QCOMPARE(irpef.counterpartAmount(), Money::fromCents(208874 - 37400));
        // Taxable 1,720.00 + VAT 356.40 + stamp duty 12.34, all costs.
        QCOMPARE(balanceOf(irpef, books.costs), Money::fromCents(208874));
        QCOMPARE(irpef.warnings.size(), 2);
        QVERIFY(irpef.warnings.first().contains(u"1026.74"_s));

        const InvoiceReview sale =
            books.review({invoiceFile(CreditNote)}, books.settings(u"12345678903"_s))
                .first()
                .invoices[0];
        QCOMPARE(sale.direction, InvoiceDirection::Sale);
        QVERIFY(sale.entry.rows.last().contoavere.isValid()); // the customer, credited
        QCOMPARE(balanceOf(sale, books.salesVat), Money::fromCents(35640));
        QVERIFY(sidesDifference(sale.entry.rows).isZero());
    }

    // Signed (DER and base64), inside a ZIP with stray files, or plain: one invoice is booked
    // once, with its supplier's own sub-account; deleting its entry frees it.
    void signedBatchesAndNeverTwice()
    {
        Books books;
        InvoiceSettings settings = books.settings(u"09876543210"_s);
        settings.defaultSubAccount = books.costs;
        QTemporaryDir folder;
        const QString der = folder.filePath(u"alpha.xml.p7m"_s);
        writeFile(der, signedFile(invoiceFile(Alpha), false));
        const QString batch = folder.filePath(u"lotto.zip"_s);
        writeZip(batch, {{u"alpha.xml.p7m"_s, signedFile(invoiceFile(Alpha), true)},
                         {u"IT01234567890_MT_001.xml"_s, "<metadati/>"},
                         {u"leggimi.txt"_s, "ciao"}});

        const QList<InvoiceBatch> first = books.book({der}, settings);
        QCOMPARE(first.first().invoices[0].state, InvoiceState::Booked);
        QCOMPARE(first.first().invoices[1].state, InvoiceState::Booked);
        const qint64 supplier = first.first().invoices[0].counterpart;
        QCOMPARE(books.a.scalar(u"SELECT idConto FROM sottoconti WHERE id = ?"_s, {supplier})
                     .toLongLong(),
                 books.suppliers);
        QCOMPARE(books.a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 2);
        // The signed file, as it came, is kept beside each entry.
        const QString attached = books.a
                                     .scalar(u"SELECT attached FROM regmain WHERE id = ?"_s,
                                             {first.first().invoices[1].entryId})
                                     .toString();
        QVERIFY2(attached.endsWith(u"_TD01_456_2017-01-20.xml.p7m"_s), qPrintable(attached));
        const QString kept = QDir(books.a.archive().attachmentsFolder()).filePath(attached);
        QCOMPARE(fileBytes(kept), fileBytes(der));
        // The entry's page shows its own invoice of the two the file holds.
        const std::optional<QList<ElectronicInvoice>> page = readInvoiceFile(kept, nullptr);
        QCOMPARE(page->size(), 1);
        QCOMPARE(page->first().number, u"456"_s);

        const QList<InvoiceBatch> again = books.book({batch, invoiceFile(Alpha)}, settings);
        QCOMPARE(again[0].source.skipped, (QStringList{u"lotto.zip/IT01234567890_MT_001.xml"_s,
                                                       u"lotto.zip/leggimi.txt"_s}));
        for (const InvoiceBatch &read : again)
            for (const InvoiceReview &item : read.invoices)
                QCOMPARE(item.state, InvoiceState::AlreadyImported);
        QCOMPARE(books.a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 2);

        QString error;
        QVERIFY2(
            removeEntry(books.a.archive(), first.first().invoices[0].entryId, std::nullopt, &error),
            qPrintable(error));
        const QList<InvoiceBatch> freed = books.book({invoiceFile(Alpha)}, settings);
        QCOMPARE(freed.first().invoices[0].state, InvoiceState::Booked);
        QCOMPARE(freed.first().invoices[0].counterpart, supplier);
        QCOMPARE(freed.first().invoices[1].state, InvoiceState::AlreadyImported);
        // The supplier's next invoice proposes the sub-account of its last one.
        settings.defaultSubAccount.reset();
        const InvoiceReview next =
            books.review({invoiceFile(u"acquisto_altra_sede.xml"_s)}, settings).first().invoices[0];
        QCOMPARE(next.state, InvoiceState::New);
        QCOMPARE(balanceOf(next, books.costs), Money::fromCents(2700));
        QVERIFY2(next.proposalReason.startsWith(u"come la fattura n. "_s),
                 qPrintable(next.proposalReason));
    }

    // A new supplier's invoice takes the sub-account that earlier rows with its lines' words were
    // booked to; it is registered on a later day, never an earlier one; its kept file reads as a
    // page with every text of the file escaped.
    void newSupplierByWordsLaterDayReadablePage()
    {
        Books books;
        const qint64 services =
            books.a.scalar(u"SELECT idConto FROM sottoconti WHERE id = ?"_s, {books.costs})
                .toLongLong();
        const qint64 upkeep = books.a.addSottoconto(services, u"Manutenzioni"_s);
        books.a.addEntry(QDate(2014, 1, 10),
                         {{upkeep, books.salesVat, Money::fromCents(1000), u"Servizio"_s},
                          {books.costs, books.salesVat, Money::fromCents(900), u"Consulenza"_s}});
        QTemporaryDir folder;
        const QString path = folder.filePath(u"f.xml"_s);
        writeFile(path, fileBytes(invoiceFile(u"acquisto_altra_sede.xml"_s))
                            .replace("<Descrizione>Servizio", "<Descrizione>Servizio &lt;b&gt;"));
        QList<InvoiceBatch> batches = books.review({path}, books.settings(u"09876543210"_s));
        InvoiceReview &item = batches.first().invoices[0];
        QCOMPARE(item.state, InvoiceState::New);
        QCOMPARE(item.proposalReason, u"come 1 registrazione simile"_s);
        QCOMPARE(balanceOf(item, upkeep), Money::fromCents(2700));

        QString error;
        QVERIFY(!setRegistrationDate(item, item.invoice.date.addDays(-1), &error));
        QVERIFY2(error.contains(u"18/12/2014"_s), qPrintable(error));
        QVERIFY(setRegistrationDate(item, QDate(2015, 1, 8), &error));
        QVERIFY2(bookInvoices(books.a.archive(), batches, &error), qPrintable(error));
        const qint64 entry = batches.first().invoices[0].entryId;
        QCOMPARE(books.a.scalar(u"SELECT data FROM regmain WHERE id = ?"_s, {entry}).toString(),
                 u"2015-01-08"_s);

        const QString attached =
            books.a.scalar(u"SELECT attached FROM regmain WHERE id = ?"_s, {entry}).toString();
        const std::optional<QList<ElectronicInvoice>> kept =
            readInvoiceFile(QDir(books.a.archive().attachmentsFolder()).filePath(attached), &error);
        QVERIFY2(kept, qPrintable(error));
        const QString page = invoicePageHtml(kept->first());
        for (const QString &shown : {u"Fattura (TD01) n. 123 del 18/12/2014"_s,
                                     u"SOCIETA' ALPHA SRL"_s, u"Servizio &lt;b&gt;"_s, u"5,95"_s})
            QVERIFY2(page.contains(shown), qPrintable(shown));
    }

    // Another organisation's invoice, a forged signature or a file that is no invoice refuse
    // their whole batch.
    void refusalsStopTheirBatch()
    {
        Books books;
        InvoiceSettings settings = books.settings(u"00000000000"_s);
        settings.defaultSubAccount = books.costs;
        QCOMPARE(books.review({invoiceFile(Alpha)}, settings).first().refusal(),
                 Alpha + u": fattura di un altro soggetto"_s);
        QTemporaryDir folder;
        QByteArray forged = signedFile(invoiceFile(Alpha), false);
        forged.replace("ALPHA SRL", "OMEGA SRL");
        writeFile(folder.filePath(u"f.xml.p7m"_s), forged);
        writeFile(folder.filePath(u"g.xml"_s), "<?xml version=\"1.0\"?><Ordine/>");
        settings.ownTaxCode = u"09876543210"_s;
        const QList<InvoiceBatch> batches =
            books.book({folder.filePath(u"f.xml.p7m"_s), folder.filePath(u"g.xml"_s)}, settings);
        QVERIFY2(batches[0].refusal().contains(u"firma"_s), qPrintable(batches[0].refusal()));
        QVERIFY2(batches[1].refusal().contains(u"Ordine"_s), qPrintable(batches[1].refusal()));
        QCOMPARE(books.a.scalar(u"SELECT COUNT(*) FROM regmain"_s).toInt(), 0);
    }

    // A bank movement paying an open invoice proposes its supplier, by the invoice's number in
    // the text or by the IBAN of its payment terms; a paid invoice is no longer proposed.
    void paymentsRecogniseTheirInvoice()
    {
        Books books;
        InvoiceSettings settings = books.settings(u"MRALNE80E05H501C"_s);
        settings.defaultSubAccount = books.costs;
        const InvoiceReview irpef = books.book({invoiceFile(Irpef)}, settings).first().invoices[0];
        const qint64 bank = books.a.addSottoconto(books.customers, u"Banca"_s);
        const auto proposal = [&](const BankMovement &movement) {
            QString error;
            const Connection connection(books.a.archive(), Connection::Mode::ReadOnly);
            return CounterpartProposer::load(connection.database(), bank, &error)
                ->propose(movement);
        };
        BankMovement byNumber;
        byNumber.amount = -Money::fromCents(100000);
        byNumber.description = u"Bonifico saldo fatt. SAMPLE-001 del 2/3"_s;
        QCOMPARE(proposal(byNumber).subAccount, irpef.counterpart);
        QCOMPARE(proposal(byNumber).reason,
                 u"pagamento fattura n. SAMPLE-001 di Rossi Digital Services"_s);
        BankMovement byIban;
        byIban.amount = -Money::fromCents(50000);
        byIban.counterpartyIban = u"IT60 X054 2811 1010 0000 0123 456"_s;
        QCOMPARE(proposal(byIban).subAccount, irpef.counterpart);
        BankMovement incoming = byNumber;
        incoming.amount = Money::fromCents(100000);
        QVERIFY(!proposal(incoming).reason.startsWith(u"pagamento fattura"_s));

        books.a.addEntry(QDate(2023, 4, 2),
                         {{irpef.counterpart, bank, irpef.counterpartAmount(), u"Bonifico"_s}});
        QVERIFY(!proposal(byNumber).reason.startsWith(u"pagamento fattura"_s));

        // Two invoices of one supplier: a payment settles the older, the newer stays open.
        settings.ownTaxCode = u"09876543210"_s;
        const QList<InvoiceReview> alpha = books.book({invoiceFile(Alpha)}, settings)[0].invoices;
        books.a.addEntry(QDate(2017, 2, 1), {{alpha[0].counterpart, bank,
                                              alpha[0].counterpartAmount(), u"Bonifico"_s}});
        BankMovement older;
        older.amount = -Money::fromCents(100);
        older.description = u"Saldo fattura "_s + alpha[0].invoice.number;
        QVERIFY(!proposal(older).reason.startsWith(u"pagamento fattura"_s));
        BankMovement newer = older;
        newer.description = u"Saldo fattura "_s + alpha[1].invoice.number;
        QCOMPARE(proposal(newer).reason,
                 u"pagamento fattura n. 456 di "_s + alpha[1].counterpartParty().name);
    }

    // The command line books what it can, exits 1 for a refused file or a wrong option, and
    // prints the invoices as JSON.
    void commandLine()
    {
        Books books;
        books.a.exec(u"INSERT INTO parametri (chiave, valore) VALUES ('ana06', '09876543210')"_s);
        // Without the preference a chart that is not a business's does not deduct VAT.
        const auto deductible = [&] {
            const Connection connection(books.a.archive(), Connection::Mode::ReadOnly);
            return archiveInvoiceSettings(connection.database(), nullptr)->vatDeductible;
        };
        QVERIFY(!deductible());
        books.a.exec(u"INSERT INTO parametri (chiave, valore) VALUES ('ivadetraibile', '1')"_s);
        QVERIFY(deductible());
        const CliUser user;
        const QStringList common{u"import-fatture"_s, u"--archive"_s, books.a.folder(), u"--file"_s,
                                 invoiceFile(Alpha)};
        CliUser::Run run = user.run(common + QStringList{u"--iva"_s, u"forse"_s});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(u"--iva"_s), qPrintable(run.err));
        run = user.run(common +
                       QStringList{u"--default-subaccount"_s, QString::number(books.purchaseVat)});
        QCOMPARE(run.exitCode, 1);
        run = user.run(common + QStringList{u"--file"_s, invoiceFile(u"senza_corpo.xml"_s),
                                            u"--default-subaccount"_s, QString::number(books.costs),
                                            u"--json"_s});
        QCOMPARE(run.exitCode, 1);
        const QJsonArray invoices =
            QJsonDocument::fromJson(run.out.toUtf8()).object().value(u"fatture"_s).toArray();
        QCOMPARE(invoices.size(), 2);
        QCOMPARE(invoices[1].toObject().value(u"stato"_s).toString(), u"registrata"_s);
        QCOMPARE(invoices[1].toObject().value(u"totale"_s).toString(), u"2440.00"_s);
        QVERIFY(
            run.err.contains(u"Registrate: 2; già importate: 0; da assegnare: 0; rifiutate: 0."_s));
    }
};

QTEST_GUILESS_MAIN(TestElectronicInvoices)
#include "tst_einvoices.moc"
