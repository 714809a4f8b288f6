#include "adb/adbrunner.h"
#include "adb/adbanswers.h"
#include "app/cbrelvopico.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>

// Appends to head what still fits in MaxAdbOutput.
static void keepHead(QByteArray &head, const QByteArray &more)
{
    head += more.left(qMax<qsizetype>(0, MaxAdbOutput - head.size()));
}

void CBrelvoPico::drainAdbOutput()
{
    keepHead(command.out, process->readAllStandardOutput());
    keepHead(command.err, process->readAllStandardError());
}

bool CBrelvoPico::startAdbCommand(const QStringList &arguments)
{
    // Every command starts here, and never over another: whatever an event served during a
    // wait asks for, the command that runs keeps its process and its output.
    if (process->state() != QProcess::NotRunning) {
        qWarning("adb is still running a command; not starting another one");
        return false;
    }
    command.out.clear();
    command.err.clear();
    process->start(adbPath, arguments, QIODevice::ReadWrite);
    command.started = process->waitForStarted(-1);
    return command.started;
}

AdbRun CBrelvoPico::runAdbCommand(const QStringList &arguments)
{
    if (!startAdbCommand(arguments))
        return process->state() == QProcess::NotRunning
                ? adbRunResult(AdbRun::Ended)
                : AdbRun{AdbRun::Refused, -1, QString(), QString()};
    if (waitForAdb(command.timeout))
        return adbRunResult(AdbRun::Ended);
    // A hung adb must not keep running behind the program's back, nor hold the process.
    stopAdbCommand();
    return adbRunResult(AdbRun::Stopped);
}

bool CBrelvoPico::waitForAdb(int bound)
{
    // The window keeps painting and answering meanwhile; the output is drained as it comes
    // (drainAdbOutput is connected to the process).
    if (process->state() != QProcess::NotRunning) {
        QEventLoop loop;
        connect(process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer timer;
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        if (bound >= 0)
            timer.start(bound);
        loop.exec();
    }
    return process->state() == QProcess::NotRunning;
}

void CBrelvoPico::pauseFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void CBrelvoPico::stopAdbCommand()
{
    process->kill();
    process->waitForFinished(-1);
}

AdbRun CBrelvoPico::adbRunResult(AdbRun::Outcome ending)
{
    drainAdbOutput();
    AdbRun run;
    if (!command.started)
        run.outcome = AdbRun::CouldNotStart;
    else if (ending == AdbRun::Ended && process->exitStatus() == QProcess::CrashExit)
        run.outcome = AdbRun::Crashed;
    else
        run.outcome = ending;
    run.exitCode = process->exitCode();
    run.out = QString::fromUtf8(command.out);
    run.err = QString::fromUtf8(command.err);
    // A server that the program started is the program's to stop when it ends.
    if (serverStart(run.err) != ServerStart::None) {
        server.ours = true;
        ++server.changes;
    }
    const QString notice = otherAdbServerNotice(run.err);
    if (!notice.isEmpty())
        server.otherAdbNotice = notice;
    return run;
}

QString CBrelvoPico::adbStartFailure() const
{
    return QStringLiteral("\"%1\" could not be started. -> Please check that it is there and "
                          "complete; security software may be blocking it.")
            .arg(adbPath);
}

QString CBrelvoPico::adbNoAnswer() const
{
    return QStringLiteral("adb did not answer within %1 seconds.").arg(command.timeout / 1000);
}

QString CBrelvoPico::adbProblem(const AdbRun &run) const
{
    const QString retry = QStringLiteral(" -> Please close other programs that use adb, or "
                                         "restart the computer, and try again.");
    switch (run.outcome) {
    case AdbRun::CouldNotStart:
        return adbStartFailure();
    case AdbRun::Stopped:
        return adbNoAnswer() + retry;
    case AdbRun::Crashed:
#ifdef Q_OS_WIN
        // STATUS_DLL_NOT_FOUND: Windows could not load adb at all.
        if (uint(run.exitCode) == 0xC0000135u)
            return QStringLiteral("adb could not run: a file it needs (such as AdbWinApi.dll) is "
                                  "missing beside it. -> Please restore the tools folder beside "
                                  "the program.");
#endif
        return QStringLiteral("adb stopped unexpectedly while looking for the headset. -> Please "
                              "check that the tools folder beside the program is complete, and "
                              "try again.");
    case AdbRun::Refused:
        return QStringLiteral("adb is still busy with another command.") + retry;
    case AdbRun::Ended:
        break;
    }
    QString said = withoutAdbNotices(run.err);
    if (said.isEmpty())
        said = QStringLiteral("adb ended with exit code %1.").arg(run.exitCode);
    return QStringLiteral("adb could not look for the headset.") + retry + QLatin1Char('\n') + said;
}
