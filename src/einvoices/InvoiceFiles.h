#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// One invoice file as read from the disk, a ZIP batch or a folder, signed or not.
struct InvoiceFile {
    QString name;           // "fattura.xml", inside a batch "lotto.zip/fattura.xml"
    QByteArray content;     // the XML, taken out of its signature
    QByteArray signedBytes; // the signed file as it came; empty for a plain one

    // What is kept beside the entry: the file as it came.
    const QByteArray &original() const { return signedBytes.isEmpty() ? content : signedBytes; }
};

// What the user chose to import: a file, a ZIP batch or a folder. Files of a batch that are no
// invoice (the exchange system's metadata "..._MT_...", any other file) are skipped by name; a
// batch whose file cannot be read is refused whole.
struct InvoiceSource {
    QString path;
    QList<InvoiceFile> files;
    QStringList skipped;
    QString refusal; // why nothing of the source may be read
};

// Reads a file, a ZIP batch (within the same limits as spreadsheet packages) or a folder.
InvoiceSource readInvoiceSource(const QString &path);

// The XML inside a signed file (.p7m, DER or base64): the signature's structure is checked, the
// signer's certificate chain is not. Empty with the reason in *error when it is not one.
QByteArray signedContent(const QByteArray &bytes, QString *error);
