#include "adb/headsetdetection.h"
#include "adb/adbanswers.h"
#include "adb/adbcommands.h"
#include "app/cbrelvopico.h"

#include <QRegularExpression>

#include <algorithm>

bool ListedDevice::isReady() const
{
    return state == Adb::ReadyState;
}

bool ListedDevice::isNeo2() const
{
    return details.contains(Adb::Neo2Model, Qt::CaseInsensitive);
}

bool ListedDevice::isPico() const
{
    for (const char *name : {"model", "product", "device"}) {
        if (field(QLatin1String(name)).contains(QLatin1String("pico"), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString ListedDevice::field(const QString &name) const
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"),
                                           QRegularExpression::UseUnicodePropertiesOption);
    const QString key = name + QLatin1Char(':');
    for (const QString &word : details.split(blanks, Qt::SkipEmptyParts)) {
        if (word.startsWith(key))
            return word.mid(key.size());
    }
    return QString();
}

QString ListedDevice::displayName() const
{
    // adb writes the model's spaces as underscores.
    const QString model =
            field(QStringLiteral("model")).replace(QLatin1Char('_'), QLatin1Char(' '));
    return model.isEmpty() ? serial : QStringLiteral("%1 (%2)").arg(model, serial);
}

QString displayNames(const QList<ListedDevice> &devices)
{
    QStringList names;
    for (const ListedDevice &device : devices)
        names << device.displayName();
    return names.join(QLatin1String(", "));
}

QList<ListedDevice> parseDeviceListing(const QString &listing)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"),
                                           QRegularExpression::UseUnicodePropertiesOption);
    QList<ListedDevice> devices;
    for (const QString &line : answerLines(listing)) {
        // The header, and adb's own notices such as "* daemon started successfully".
        const QString text = line.trimmed();
        if (text.startsWith(QLatin1Char('*')) || isAdbNotice(text)
            || text == QLatin1String("List of devices attached"))
            continue;
        // A device line is the serial, then the state, then named fields.
        const QStringList words = text.split(blanks, Qt::SkipEmptyParts);
        if (words.size() < 2)
            continue;
        devices.append({words.at(0), words.at(1), words.mid(2).join(QLatin1Char(' '))});
    }
    return devices;
}

HeadsetChoice chooseHeadset(const QList<ListedDevice> &devices)
{
    HeadsetChoice choice;
    std::copy_if(devices.cbegin(), devices.cend(), std::back_inserter(choice.ready),
                 [](const ListedDevice &device) { return device.isReady(); });
    if (choice.ready.size() == 1) {
        choice.kind = HeadsetChoice::Ready;
        choice.headset = choice.ready.first();
    } else if (choice.ready.size() > 1) {
        QList<ListedDevice> picos;
        std::copy_if(choice.ready.cbegin(), choice.ready.cend(), std::back_inserter(picos),
                     [](const ListedDevice &device) { return device.isPico(); });
        choice.kind = picos.size() == 1 ? HeadsetChoice::Ready : HeadsetChoice::SeveralReady;
        if (picos.size() == 1)
            choice.headset = picos.first();
    } else {
        choice.kind = devices.isEmpty() ? HeadsetChoice::NoDevice : HeadsetChoice::NotReady;
        choice.settling = !devices.isEmpty()
                && std::all_of(devices.cbegin(), devices.cend(), [](const ListedDevice &device) {
                       return device.state == QLatin1String("offline")
                               || device.state == QLatin1String("authorizing")
                               || device.state == QLatin1String("connecting");
                   });
    }
    return choice;
}

HeadsetChoice CBrelvoPico::findDevice()
{
    const AdbRun run = runAdbCommand(Adb::devices());
    // A listing is an answer whatever else adb said; without one, adb itself is in trouble.
    const bool listed = run.out.contains(QLatin1String("List of devices attached"));
    if (run.outcome != AdbRun::Ended || (run.exitCode != 0 && !listed)) {
        HeadsetChoice failed;
        failed.kind = HeadsetChoice::AdbFailed;
        failed.problem = adbProblem(run);
        return failed;
    }
    return chooseHeadset(parseDeviceListing(run.out));
}
