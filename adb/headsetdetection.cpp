#include "adb/headsetdetection.h"
#include "adb/adbcommands.h"
#include "app/cbrelvopico.h"

#include <QRegularExpression>

DeviceListing parseDeviceListing(const QString &listing)
{
    static const QRegularExpression lineBreak(QStringLiteral("[\r\n]"));
    static const QRegularExpression blanks(QStringLiteral("\\s+"),
                                           QRegularExpression::UseUnicodePropertiesOption);

    DeviceListing result;
    const QStringList lines = listing.split(lineBreak, Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        // The header, and adb's own notices such as "* daemon started successfully".
        const QString text = line.trimmed();
        if (text.startsWith(QLatin1Char('*')) || text == QLatin1String("List of devices attached"))
            continue;
        // A device line is the serial, then the state, then named fields.
        const QStringList fields = text.split(blanks, Qt::SkipEmptyParts);
        if (fields.size() < 2)
            continue;
        result.anyDevice = true;
        if (result.serial.isEmpty() && fields.at(1) == Adb::ReadyState) {
            result.serial = fields.at(0);
            result.isNeo2 = line.contains(Adb::Neo2Model, Qt::CaseInsensitive);
        }
    }
    return result;
}

QString CBrelvoPico::findDevice(bool &authorized, bool &isNeo2)
{
    isNeo2 = false;
    QString stdOut;
    QString stdErr;
    // The listing is read line by line, so its line breaks are kept.
    runAdbCommand(Adb::devices(), stdOut, stdErr, false, true);

    const DeviceListing listing = parseDeviceListing(stdOut);
    if (!listing.anyDevice)
        return QString();
    authorized = !listing.serial.isEmpty();
    isNeo2 = listing.isNeo2;
    return listing.serial;
}
