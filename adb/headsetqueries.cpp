#include "adb/adbanswers.h"
#include "adb/adbcommands.h"
#include "app/cbrelvopico.h"

HeadsetAnswer CBrelvoPico::queryHeadset(const QStringList &arguments)
{
    const AdbRun run = runAdbCommand(arguments);
    HeadsetAnswer answer{run.out, true, QString()};
    // Empty output is an answer only when adb ran and had nothing to complain about; a headset
    // that is gone or hangs has not answered. adb's notices about its server are no complaint.
    // Since adb 35, a shell whose link drops ends with exit code 255.
    if (run.outcome == AdbRun::Ended && run.exitCode == 255)
        answer = {QString(), false, headsetDisconnected()};
    else if (run.outcome != AdbRun::Ended
             || (run.out.isEmpty() && !withoutAdbNotices(run.err).trimmed().isEmpty()))
        answer = {run.out, false,
                  run.outcome == AdbRun::Stopped ? adbNoAnswer() : withoutAdbNotices(run.err)};
    return answer;
}

QString CBrelvoPico::getDeviceModel(const QString &serial)
{
    return oneLine(queryHeadset(Adb::getprop(serial, Adb::ModelProperty)).text);
}

QString CBrelvoPico::getExternalStorage(const QString &serial)
{
    // White space around a path is never part of it.
    return oneLine(queryHeadset(Adb::echoExternalStorage(serial)).text);
}

HeadsetAnswer CBrelvoPico::getInstalledPackage(const QString &serial)
{
    HeadsetAnswer answer = queryHeadset(Adb::listPackages(serial));
    answer.text = listsPackage(answer.text, Adb::PackageName)
            ? QLatin1String("package:") + Adb::PackageName
            : QString();
    return answer;
}
