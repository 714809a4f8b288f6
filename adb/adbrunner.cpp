#include "app/cbrelvopico.h"

#include <QProcess>

bool CBrelvoPico::runAdbCommand(QStringList arguments, QString &stdOut, QString &stdErr,
                                bool stripLineBreaks, bool waitForFinish)
{
    process->start(adbPath, arguments, QIODevice::ReadWrite);
    if (!waitForFinish)
        return process->waitForStarted(-1);

    bool endedOnItsOwn = true;
    if (!process->waitForFinished(adbTimeout) && process->state() != QProcess::NotRunning) {
        // A hung adb must not keep running behind the program's back, nor hold the process.
        process->kill();
        process->waitForFinished(-1);
        endedOnItsOwn = false;
    }

    QByteArray out = process->readAllStandardOutput();
    const QByteArray err = process->readAllStandardError();
    if (stripLineBreaks) {
        out.removeIf([](char c) { return c == '\r' || c == '\n'; });
    }
    stdOut = QString::fromUtf8(out);
    stdErr = QString::fromUtf8(err);
    return endedOnItsOwn && !adbCouldNotStart() && process->exitStatus() == QProcess::NormalExit;
}

bool CBrelvoPico::adbCouldNotStart() const
{
    return process->error() == QProcess::FailedToStart;
}
