#pragma once

#include <QLockFile>
#include <QString>

// The per-user lock that keeps two copies of the program (or the program and a writing
// command line) from working at once. It lives in the user's runtime folder, so a lock file
// there that names another host, or that cannot be read at all (empty, garbled), cannot belong
// to a running copy and is taken over, like one left by a process that is gone.
class InstanceLock {
public:
    // The lock file "tovrin3.lock" inside folder.
    explicit InstanceLock(const QString &folder = defaultFolder());

    // Takes the lock without waiting; false while a running copy holds it.
    bool tryLock();
    void unlock() { m_lock.unlock(); }
    bool isLocked() const { return m_lock.isLocked(); }

    // The user's runtime folder.
    static QString defaultFolder();

private:
    bool heldByNoRunningCopy() const;

    QLockFile m_lock;
};
