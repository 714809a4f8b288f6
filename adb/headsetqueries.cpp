#include "adb/adbanswers.h"
#include "adb/adbcommands.h"
#include "app/cbrelvopico.h"

QString CBrelvoPico::queryHeadset(const QStringList &arguments, bool keepLineBreaks, bool *answered)
{
    const AdbRun run = runAdbCommand(arguments);
    // Empty output is an answer only when adb ran and had nothing to complain about; a headset
    // that is gone or hangs has not answered. adb's notices about its server are no complaint.
    // Since adb 35, a shell whose link drops ends with exit code 255.
    const bool dropped = run.outcome == AdbRun::Ended && run.exitCode == 255;
    if (dropped) {
        if (answered) {
            *answered = false;
            unanswered = QStringLiteral("The Pico headset was disconnected.");
        }
        return QString();
    }
    if (answered
        && (run.outcome != AdbRun::Ended
            || (run.out.isEmpty() && !withoutAdbNotices(run.err).trimmed().isEmpty()))) {
        *answered = false;
        unanswered = run.outcome == AdbRun::Stopped
                ? QStringLiteral("adb did not answer within %1 seconds.").arg(adbTimeout / 1000)
                : withoutAdbNotices(run.err);
    }
    if (keepLineBreaks)
        return run.out;
    QString out = run.out;
    out.remove(QLatin1Char('\r'));
    out.remove(QLatin1Char('\n'));
    return out;
}

QString CBrelvoPico::getDeviceModel(const QString &serial)
{
    return queryHeadset(Adb::getprop(serial, Adb::ModelProperty)).trimmed();
}

QString CBrelvoPico::getExternalStorage(const QString &serial)
{
    // White space around a path is never part of it.
    return queryHeadset(Adb::echoExternalStorage(serial)).trimmed();
}

QString CBrelvoPico::getInstalledPackage(const QString &serial, bool &answered)
{
    const QString listing = queryHeadset(Adb::listPackages(serial), true, &answered);
    return listsPackage(listing, Adb::PackageName) ? QLatin1String("package:") + Adb::PackageName
                                                   : QString();
}
