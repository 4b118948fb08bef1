#include "einvoices/InvoiceFiles.h"

#include "data/ZipPackage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <openssl/bio.h>
#include <openssl/cms.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

bool isSigned(const QString &name)
{
    return name.endsWith(u".p7m"_s, Qt::CaseInsensitive);
}

bool isInvoiceName(const QString &name)
{
    const QString file = QFileInfo(name).fileName();
    // The exchange system's receipts and metadata travel beside the invoices they describe.
    if (file.contains(u"_MT_"_s, Qt::CaseInsensitive) ||
        file.contains(u"_RC_"_s, Qt::CaseInsensitive) ||
        file.contains(u"_NS_"_s, Qt::CaseInsensitive))
        return false;
    return file.endsWith(u".xml"_s, Qt::CaseInsensitive) || isSigned(file);
}

// The invoice file of the bytes read under name; a signed one is taken out of its envelope.
void addFile(InvoiceSource &source, const QString &name, const QByteArray &bytes)
{
    if (!isSigned(name)) {
        source.files.append({name, bytes, {}});
        return;
    }
    QString error;
    const QByteArray content = signedContent(bytes, &error);
    if (content.isEmpty() && source.refusal.isEmpty())
        source.refusal = name + u": "_s + error;
    source.files.append({name, content, bytes});
}

void readBatch(InvoiceSource &source)
{
    ZipReader zip(source.path);
    if (!zip.isOpen()) {
        source.refusal = u"%1: il file ZIP non si legge (%2)"_s.arg(source.path, zip.errorText());
        return;
    }
    const QString batch = QFileInfo(source.path).fileName();
    for (const std::string &entry : zip.entryNames()) {
        const QString name = QString::fromStdString(entry);
        if (name.endsWith(u'/'))
            continue;
        if (!isInvoiceName(name)) {
            source.skipped.append(batch + u'/' + name);
            continue;
        }
        QByteArray bytes;
        if (zip.read(entry, &bytes) != ZipReader::Read::Done) {
            source.refusal =
                u"%1/%2: il file non si legge o supera i limiti di dimensione"_s.arg(batch, name);
            return;
        }
        addFile(source, batch + u'/' + name, bytes);
    }
}

void readFolder(InvoiceSource &source)
{
    const QDir folder(source.path);
    for (const QFileInfo &entry : folder.entryInfoList(QDir::Files, QDir::Name)) {
        if (!isInvoiceName(entry.fileName())) {
            source.skipped.append(entry.fileName());
            continue;
        }
        QFile file(entry.filePath());
        if (!file.open(QIODevice::ReadOnly)) {
            source.refusal = u"%1: %2"_s.arg(entry.fileName(), file.errorString());
            return;
        }
        addFile(source, entry.fileName(), file.readAll());
    }
}

struct BioFree {
    void operator()(BIO *bio) const { BIO_free(bio); }
};
struct CmsFree {
    void operator()(CMS_ContentInfo *cms) const { CMS_ContentInfo_free(cms); }
};

} // namespace

QByteArray signedContent(const QByteArray &bytes, QString *error)
{
    // A DER envelope starts with a SEQUENCE; a base64 one is text, perhaps with PEM's lines.
    QByteArray der = bytes;
    if (!bytes.startsWith('\x30')) {
        QByteArray text;
        for (const QByteArray &line : bytes.split('\n'))
            if (!line.trimmed().startsWith("-----"))
                text += line.trimmed();
        der = QByteArray::fromBase64(text);
    }
    std::unique_ptr<BIO, BioFree> in(BIO_new_mem_buf(der.constData(), int(der.size())));
    std::unique_ptr<CMS_ContentInfo, CmsFree> cms(d2i_CMS_bio(in.get(), nullptr));
    if (!cms) {
        *error = u"non è un file firmato (.p7m) leggibile"_s;
        return {};
    }
    std::unique_ptr<BIO, BioFree> out(BIO_new(BIO_s_mem()));
    // The signature must match the content and the signer's certificate inside the file; who
    // issued that certificate is not checked.
    if (CMS_verify(cms.get(), nullptr, nullptr, nullptr, out.get(),
                   CMS_NO_SIGNER_CERT_VERIFY | CMS_BINARY) != 1) {
        *error = u"la firma del file non corrisponde al suo contenuto"_s;
        return {};
    }
    char *data = nullptr;
    const long size = BIO_get_mem_data(out.get(), &data);
    return QByteArray(data, qsizetype(size));
}

InvoiceSource readInvoiceSource(const QString &path)
{
    InvoiceSource source;
    source.path = path;
    const QFileInfo info(path);
    if (info.isDir()) {
        readFolder(source);
        return source;
    }
    if (info.suffix().compare(u"zip"_s, Qt::CaseInsensitive) == 0) {
        readBatch(source);
        return source;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        source.refusal = u"%1: %2"_s.arg(path, file.errorString());
        return source;
    }
    if (!isInvoiceName(info.fileName())) {
        source.skipped.append(info.fileName());
        return source;
    }
    addFile(source, info.fileName(), file.readAll());
    return source;
}
