#pragma once

#include <QFile>
#include <QString>

#include <functional>

// Files the program writes for the user (reports, exports, filled statements, final prints) go
// through here, so that none of them can land on an archive and a failed write never leaves a
// damaged file in place of a good one.

// Why path may not be written, in Italian; empty when it may. Refused: a folder, and a file that
// is, or reaches through links, a file of an archive (its database, the database's journal,
// server.ini) or any SQLite database.
QString outputTargetProblem(const QString &path);

// The Italian sentence for a failure of the operating system or of a library, when its English
// text names a known cause (a full disk, a read-only file system, missing memory...); the text
// itself otherwise.
QString italianSystemError(const QString &englishText);

// A file written under a temporary name in its target's folder. commit() flushes and syncs it,
// checks it, and only then renames it over the target; until then, and after any failure, the
// target stays as it was and the temporary file is removed.
class OutputFile {
public:
    // Checks the temporary file once complete (reads it back); false with the reason, one
    // sentence, in *error.
    using Check = std::function<bool(const QString &temporaryPath, QString *error)>;

    explicit OutputFile(const QString &target);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Checks the target and creates the temporary file, open for writing through device().
    // A write through it that the system cuts short (a full disk) fails the commit.
    bool open(QString *error);
    QIODevice &device() { return m_writes; }
    // The temporary file's path, for writers that take a file name: they write it after
    // closeDevice(), which also finds out whether the writes through device() all reached the
    // disk.
    QString temporaryPath() const { return m_temporary; }
    void closeDevice();

    // Makes the written file the target.
    bool commit(QString *error, const Check &check = {});

private:
    // Passes writes to the file and remembers one that was cut short.
    class Writes : public QIODevice {
    public:
        explicit Writes(QFile &file) : m_file(file) {}
        bool cutShort() const { return m_cutShort; }

    protected:
        qint64 readData(char *, qint64) override { return -1; }
        qint64 writeData(const char *data, qint64 size) override;

    private:
        QFile &m_file;
        bool m_cutShort = false;
    };

    QString m_target;
    QString m_temporary;
    QFile m_file;
    Writes m_writes{m_file};
    QString m_failure; // a write through device() that did not reach the disk
    bool m_done = false;
};

// Writes the whole content to target through an OutputFile; false with the reason, the target
// untouched.
bool writeOutputFile(const QString &target, const QByteArray &content, QString *error);

// The check of a zip file (.xlsx) once written: its closing directory record is there and
// points inside the file, so a file cut short is caught.
bool zipIsComplete(const QString &path, QString *error);

// Syncs a complete file and renames it over target, syncing the folder; false with the
// Italian reason in *error, the target untouched.
bool replaceFile(const QString &complete, const QString &target, QString *error);
