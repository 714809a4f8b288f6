#include "adb/adbcommands.h"
#include "app/cbrelvopico.h"

QString CBrelvoPico::queryHeadset(const QString &serial, const QStringList &command)
{
    QString stdOut;
    QString stdErr;
    runAdbCommand(Adb::forDevice(serial, command), stdOut, stdErr, true, true);
    return stdOut;
}

QString CBrelvoPico::getDeviceModel(const QString &serial)
{
    return queryHeadset(serial,
                        {QStringLiteral("shell"), QStringLiteral("getprop"), Adb::ModelProperty})
            .trimmed();
}

QString CBrelvoPico::getExternalStorage(const QString &serial)
{
    // White space around a path is never part of it.
    return queryHeadset(serial, {QStringLiteral("shell"), Adb::EchoExternalStorage}).trimmed();
}

QString CBrelvoPico::getInstalledPackage(const QString &serial, bool &answered)
{
    QString stdOut;
    QString stdErr;
    const bool ran = runAdbCommand(
            Adb::forDevice(serial,
                           {QStringLiteral("shell"), QStringLiteral("pm"), QStringLiteral("list"),
                            QStringLiteral("packages"), Adb::PackageName}),
            stdOut, stdErr, true, true);
    // An empty listing means "not installed" only when adb ran and had nothing to complain
    // about; a headset that is gone or hangs has not answered.
    if (!ran || (stdOut.isEmpty() && !stdErr.trimmed().isEmpty()))
        answered = false;
    return stdOut;
}
