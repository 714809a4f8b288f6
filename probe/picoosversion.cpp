#include "probe/picoosversion.h"
#include "adb/adbanswers.h"
#include "adb/adbcommands.h"
#include "app/cbrelvopico.h"

#include <QVersionNumber>

bool isAcceptedPicoOsVersion(const QString &candidate)
{
    // QVersionNumber also reads a leading sign ("+6.1"), which no version shows.
    return !candidate.isEmpty() && candidate.at(0) >= u'0' && candidate.at(0) <= u'9'
            && !QVersionNumber::fromString(candidate).isNull()
            && candidate.contains(QLatin1Char('.'));
}

QString CBrelvoPico::getPicoOsVersion(const QString &serial)
{
    const QStringList properties = Adb::picoOsVersionProperties();
    for (const QString &property : properties) {
        const QString candidate = oneLine(queryHeadset(Adb::getprop(serial, property)).text);
        if (isAcceptedPicoOsVersion(candidate))
            return candidate;
    }
    return QString();
}
