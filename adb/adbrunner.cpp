#include "adb/adbrunner.h"
#include "adb/adbanswers.h"
#include "adb/adbcommands.h"
#include "adb/devicewatcher.h"
#include "app/cbrelvopico.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>

void keepHead(QByteArray &head, const QByteArray &more)
{
    head += more.left(qMax<qsizetype>(0, MaxAdbOutput - head.size()));
}

void CBrelvoPico::drainAdbOutput()
{
    keepHead(adbOut, process->readAllStandardOutput());
    keepHead(adbErr, process->readAllStandardError());
}

AdbRun CBrelvoPico::runAdbCommand(const QStringList &arguments, bool waitForFinish)
{
    // Every command starts here, and never over another: whatever an event served during a
    // wait asks for, the command that runs keeps its process and its output.
    if (process->state() != QProcess::NotRunning) {
        qWarning("adb is still running a command; not starting another one");
        return AdbRun{AdbRun::Refused, -1, QString(), QString()};
    }
    adbOut.clear();
    adbErr.clear();
    process->start(adbPath, arguments, QIODevice::ReadWrite);
    adbStarted = process->waitForStarted(-1);
    if (!adbStarted)
        return adbRunResult(false);
    if (!waitForFinish)
        return AdbRun{AdbRun::Started, -1, QString(), QString()};

    const bool hung = !waitForAdb(adbTimeout);
    if (hung) {
        // A hung adb must not keep running behind the program's back, nor hold the process.
        stopAdbCommand();
    }
    return adbRunResult(hung);
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

void CBrelvoPico::stopAdbCommand()
{
    process->kill();
    process->waitForFinished(-1);
}

void CBrelvoPico::stopAdb()
{
    watcher->stop();
    // Nothing may land on the headset after the window is gone.
    if (process->state() != QProcess::NotRunning)
        stopAdbCommand();
    // The server would go on running from the program's folder, which then cannot be deleted
    // or replaced; one that was running before, another program's, is left alone.
    if (startedServer) {
        startedServer = false;
        QProcess killer;
        killer.start(adbPath, Adb::killServer());
        if (!killer.waitForFinished(KillServerMs)) {
            killer.kill();
            killer.waitForFinished(-1);
        }
    }
}

AdbRun CBrelvoPico::adbRunResult(bool stopped)
{
    drainAdbOutput();
    AdbRun run;
    if (adbCouldNotStart())
        run.outcome = AdbRun::CouldNotStart;
    else if (stopped)
        run.outcome = AdbRun::Stopped;
    else if (process->exitStatus() == QProcess::CrashExit)
        run.outcome = AdbRun::Crashed;
    else
        run.outcome = AdbRun::Ended;
    run.exitCode = process->exitCode();
    run.out = QString::fromUtf8(adbOut);
    run.err = QString::fromUtf8(adbErr);
    // A server that the program started is the program's to stop when it ends.
    startedServer = startedServer || startedAdbServer(run.err);
    const QString notice = otherAdbServerNotice(run.err);
    if (!notice.isEmpty())
        otherAdbNotice = notice;
    return run;
}

bool CBrelvoPico::adbCouldNotStart() const
{
    return !adbStarted;
}
