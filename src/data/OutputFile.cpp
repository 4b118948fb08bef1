#include "data/OutputFile.h"

#include "data/Database.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The names of an archive's own files; a folder holding one of them is an archive.
bool isArchiveFileName(const QString &name)
{
    static const QStringList names{u"contab.mdb"_s, u"contab.mdb-journal"_s, u"contab.mdb-wal"_s,
                                   u"contab.mdb-shm"_s, u"server.ini"_s};
    return names.contains(name, Qt::CaseInsensitive);
}

// Where writing path would really land: the end of its links, or the path itself when new.
QString resolvedTarget(const QFileInfo &target)
{
    if (target.exists())
        return target.canonicalFilePath();
    if (target.isSymLink())
        return QFileInfo(target.symLinkTarget()).absoluteFilePath();
    return target.absoluteFilePath();
}

bool syncPath(const QString &path, int flags)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    const bool synced = ::fsync(descriptor) == 0;
    return ::close(descriptor) == 0 && synced;
}

QString systemErrorNow()
{
    return italianSystemError(QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

QString outputTargetProblem(const QString &path)
{
    const QFileInfo target(path);
    const QString shown = QDir::toNativeSeparators(path);
    if (path.isEmpty() || target.fileName().isEmpty())
        return u"Indicare il nome del file da scrivere."_s;
    if (target.isDir())
        return u"%1 è una cartella: indicare il nome di un file."_s.arg(shown);
    const QString resolved = resolvedTarget(target);
    if (isArchiveFileName(target.fileName()) || isArchiveFileName(QFileInfo(resolved).fileName()))
        return u"Il file %1 appartiene a un archivio di contabilità e non può essere "
               u"sovrascritto: scegliere un altro nome."_s.arg(shown);
    const DatabaseFileKind kind = databaseFileKind(resolved);
    if (kind == DatabaseFileKind::Sqlite || kind == DatabaseFileKind::Access)
        return u"Il file %1 è un database e non può essere sovrascritto: scegliere un altro "
               u"nome."_s.arg(shown);
    return {};
}

QString italianSystemError(const QString &englishText)
{
    static const char16_t *const outOfMemory =
        u"Memoria insufficiente: chiudere altri programmi e riprovare.";
    static const std::pair<int, const char16_t *> known[] = {
        {ENOSPC, u"Il disco è pieno: liberare spazio e riprovare."},
        {EDQUOT, u"Lo spazio disponibile per l'utente è esaurito: liberare spazio e riprovare."},
        {EROFS, u"Il file system è di sola lettura: scegliere un'altra cartella."},
        {EACCES, u"Accesso negato: scegliere una cartella in cui si può scrivere."},
        {EPERM, u"Operazione non permessa: scegliere una cartella in cui si può scrivere."},
        {ENOMEM, outOfMemory},
        {EIO, u"Errore di lettura o scrittura sul disco."},
        {ENOENT, u"Il file o la cartella non esiste."},
        {ENAMETOOLONG, u"Il nome del file è troppo lungo."},
        {EFBIG, u"Il file è troppo grande."},
    };
    for (const auto &[code, italian] : known)
        if (englishText.contains(QString::fromLocal8Bit(std::strerror(code)), Qt::CaseInsensitive))
            return QString::fromUtf16(italian);
    if (englishText.contains(u"allocate memory"_s, Qt::CaseInsensitive) ||
        englishText.contains(u"out of memory"_s, Qt::CaseInsensitive))
        return QString::fromUtf16(outOfMemory);
    return englishText;
}

bool replaceFile(const QString &complete, const QString &target, QString *error)
{
    const auto failed = [&](const QString &reason) {
        *error =
            u"Impossibile scrivere il file %1. %2"_s.arg(QDir::toNativeSeparators(target), reason);
        return false;
    };
    if (!syncPath(complete, O_RDONLY))
        return failed(systemErrorNow());
    // rename() replaces a link itself, never the file it points to.
    if (std::rename(QFile::encodeName(complete).constData(),
                    QFile::encodeName(QFileInfo(target).absoluteFilePath()).constData()) != 0)
        return failed(systemErrorNow());
    syncPath(QFileInfo(target).absolutePath(), O_RDONLY | O_DIRECTORY);
    return true;
}

bool zipIsComplete(const QString &path, QString *error)
{
    // The end-of-central-directory record: 22 bytes plus a comment of up to 65535.
    constexpr qint64 RecordSize = 22;
    constexpr qint64 LongestTail = RecordSize + 0xffff;
    QFile file(path);
    const qint64 size = file.size();
    QByteArray tail;
    if (file.open(QIODevice::ReadOnly) && size >= RecordSize) {
        file.seek(std::max<qint64>(0, size - LongestTail));
        tail = file.readAll();
    }
    const auto little = [&](qsizetype at, int bytes) {
        quint64 value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = value << 8 | quint8(tail[at + i]);
        return value;
    };
    for (qsizetype at = tail.size() - RecordSize; at >= 0; --at) {
        if (little(at, 4) != 0x06054b50)
            continue;
        const quint64 directorySize = little(at + 12, 4);
        const quint64 directoryOffset = little(at + 16, 4);
        const quint64 recordOffset = quint64(size - tail.size() + at);
        if (directoryOffset + directorySize <= recordOffset)
            return true;
    }
    *error = u"Il file scritto non è completo: il disco potrebbe essere pieno."_s;
    return false;
}

qint64 OutputFile::Writes::writeData(const char *data, qint64 size)
{
    const qint64 done = m_file.write(data, size);
    if (done != size)
        m_cutShort = true;
    return done;
}

OutputFile::OutputFile(const QString &target) : m_target(target) {}

OutputFile::~OutputFile()
{
    m_writes.close();
    m_file.close();
    if (!m_done && !m_temporary.isEmpty())
        QFile::remove(m_temporary);
}

bool OutputFile::open(QString *error)
{
    if (const QString problem = outputTargetProblem(m_target); !problem.isEmpty()) {
        *error = problem;
        return false;
    }
    const QFileInfo target(m_target);
    QTemporaryFile temporary(target.absoluteDir().filePath(u".%1.XXXXXX"_s.arg(target.fileName())));
    if (!temporary.open()) {
        *error = u"Impossibile creare il file %1. %2"_s.arg(
            QDir::toNativeSeparators(m_target), italianSystemError(temporary.errorString()));
        return false;
    }
    temporary.setAutoRemove(false);
    m_temporary = temporary.fileName();
    temporary.close();
    QFile::setPermissions(m_temporary, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                           QFile::ReadOther);
    m_file.setFileName(m_temporary);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = u"Impossibile creare il file %1. %2"_s.arg(
            QDir::toNativeSeparators(m_target), italianSystemError(m_file.errorString()));
        return false;
    }
    m_writes.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    return true;
}

void OutputFile::closeDevice()
{
    if (!m_file.isOpen())
        return;
    // A buffered write fails only when flushed; what was written must all be on disk.
    const qint64 written = m_file.pos();
    if (!m_file.flush() || m_file.error() != QFileDevice::NoError)
        m_failure = italianSystemError(m_file.errorString());
    m_writes.close();
    m_file.close();
    if (m_failure.isEmpty() && (m_writes.cutShort() || QFileInfo(m_temporary).size() != written))
        m_failure = italianSystemError(QString::fromLocal8Bit(std::strerror(ENOSPC)));
}

bool OutputFile::commit(QString *error, const Check &check)
{
    const auto failed = [&](const QString &reason) {
        *error = u"Impossibile scrivere il file %1. %2"_s.arg(QDir::toNativeSeparators(m_target),
                                                              reason);
        return false;
    };
    if (m_temporary.isEmpty())
        return failed(u"Il file non è stato creato."_s);
    closeDevice();
    if (!m_failure.isEmpty())
        return failed(m_failure);
    if (QFileInfo(m_temporary).size() == 0)
        return failed(u"Il file scritto è vuoto."_s);
    if (QString reason; check && !check(m_temporary, &reason))
        return failed(reason);
    if (!replaceFile(m_temporary, m_target, error))
        return false;
    m_done = true;
    return true;
}

bool writeOutputFile(const QString &target, const QByteArray &content, QString *error)
{
    OutputFile file(target);
    if (!file.open(error))
        return false;
    file.device().write(content);
    return file.commit(error);
}
