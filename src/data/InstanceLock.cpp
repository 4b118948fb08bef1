#include "data/InstanceLock.h"

#include <QDir>
#include <QStandardPaths>
#include <QSysInfo>

using namespace Qt::StringLiterals;

InstanceLock::InstanceLock(const QString &folder) : m_lock(QDir(folder).filePath(u"tovrin3.lock"_s))
{
    // Only a holder that is gone makes the lock stale, never its age.
    m_lock.setStaleLockTime(0);
}

QString InstanceLock::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

bool InstanceLock::heldByNoRunningCopy() const
{
    qint64 pid = 0;
    QString host;
    QString application;
    if (!m_lock.getLockInfo(&pid, &host, &application))
        return true;
    return !host.isEmpty() && host != QSysInfo::machineHostName();
}

bool InstanceLock::tryLock()
{
    if (m_lock.tryLock(0))
        return true;
    if (m_lock.error() != QLockFile::LockFailedError || !heldByNoRunningCopy())
        return false;
    // A running copy keeps its file locked by the system, so removing it fails for a live one.
    return m_lock.removeStaleLockFile() && m_lock.tryLock(0);
}
