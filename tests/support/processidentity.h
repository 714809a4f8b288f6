#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#endif

// When a process started, as the system counts it, or -1 when no process has that id. A process id
// alone does not name a process for long: Windows (and Wine) give a freed id to the next process
// soon, so a test that looks up an adb it started by its id also compares this.
inline qint64 processStartTime(qint64 pid)
{
#ifdef Q_OS_WIN
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!process)
        return -1;
    FILETIME created, exited, kernel, user;
    const bool known = GetProcessTimes(process, &created, &exited, &kernel, &user);
    CloseHandle(process);
    return known ? qint64((quint64(created.dwHighDateTime) << 32) | created.dwLowDateTime) : -1;
#else
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    // The name in parentheses may hold spaces; the state is the first field after it and the
    // start time the 20th.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    bool number = false;
    const qint64 start = fields.value(19).toLongLong(&number);
    return number ? start : -1;
#endif
}
