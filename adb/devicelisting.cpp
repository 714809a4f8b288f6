#include "adb/devicelisting.h"
#include "adb/adbanswers.h"
#include "adb/adbcommands.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

// The words of a listing's line: adb pads its columns with spaces, or tabs.
QStringList words(const QString &text)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"),
                                           QRegularExpression::UseUnicodePropertiesOption);
    return text.split(blanks, Qt::SkipEmptyParts);
}

} // namespace

bool ListedDevice::isReady() const
{
    return state == Adb::ReadyState;
}

bool ListedDevice::isConnecting() const
{
    return state == QLatin1String("offline") || state == QLatin1String("authorizing")
            || state == QLatin1String("connecting");
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

bool ListedDevice::isAddressEntry() const
{
    static const QRegularExpression address(QRegularExpression::anchoredPattern(
            QStringLiteral("(\\d{1,3}(\\.\\d{1,3}){3}|\\[[0-9A-Fa-f:.]+\\]|localhost):\\d+")));
    return address.match(serial).hasMatch();
}

QString ListedDevice::mdnsSerial() const
{
    static const QRegularExpression mdns(QRegularExpression::anchoredPattern(
            QStringLiteral("adb-(.+)-[^-.]+\\._adb[-a-z]*\\._tcp\\.?")));
    return mdns.match(serial).captured(1);
}

QString ListedDevice::field(const QString &name) const
{
    const QString key = name + QLatin1Char(':');
    for (const QString &word : words(details)) {
        if (word.startsWith(key))
            return word.mid(key.size());
    }
    return QString();
}

QString headsetName(const QString &modelField)
{
    // What Pico headsets report as their model (ro.product.model), and how their users know
    // them, as open-source XR projects' device tables give them.
    static const std::pair<const char *, const char *> names[] = {
            {"A8110", "Pico 4"},
            {"A8A10", "Pico 4 Pro"},
            {"A8E50", "Pico 4 Enterprise"},
            {"A9210", "Pico 4 Ultra"},
            {"A7Q10", "Pico G3"},
            {"Pico Neo 3", "Pico Neo 3"},
            {"Pico Neo3 Link", "Pico Neo 3 Link"}};
    // adb writes every character that is not a letter or digit as "_".
    static const QRegularExpression other(QStringLiteral("[^A-Za-z0-9]"));
    for (const auto &[model, name] : names) {
        if (QString::fromLatin1(model).replace(other, QStringLiteral("_")) == modelField)
            return QString::fromLatin1(name);
    }
    return QString();
}

QString ListedDevice::displayName() const
{
    const QString field = this->field(QStringLiteral("model"));
    // adb writes the model's spaces as underscores.
    const QString model = QString(field).replace(QLatin1Char('_'), QLatin1Char(' '));
    const QString name = headsetName(field);
    if (model.isEmpty())
        return serial;
    if (name.isEmpty() || name == model)
        return QStringLiteral("%1 (%2)").arg(model, serial);
    return QStringLiteral("%1 (%2, %3)").arg(name, model, serial);
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
    QList<ListedDevice> devices;
    for (const QString &line : answerLines(listing)) {
        // The header, and adb's own notices such as "* daemon started successfully".
        const QString text = line.trimmed();
        if (text.startsWith(QLatin1Char('*')) || isAdbNotice(text)
            || text == QLatin1String("List of devices attached"))
            continue;
        // A device line is the serial, then the state, then named fields.
        const QStringList word = words(text);
        if (word.size() < 2)
            continue;
        // The one state of two words: "no permissions (reason); see [URL]".
        const bool noPermissions = word.at(1) == QLatin1String("no")
                && word.value(2).startsWith(QLatin1String("permissions"));
        const QString state = noPermissions ? QStringLiteral("no permissions") : word.at(1);
        devices.append({word.at(0), state, word.mid(noPermissions ? 3 : 2).join(QLatin1Char(' '))});
    }
    return devices;
}

bool isPicoMaker(const QString &maker)
{
    return maker.contains(QLatin1String("pico"), Qt::CaseInsensitive);
}

namespace {

// The entry that this one is a second way to, among the ready entries, or empty.
QString firstEntryOf(const ListedDevice &device, const QList<ListedDevice> &ready,
                     const QHash<QString, QString> &serialNumbers)
{
    const auto listed = [&ready, &device](const QString &serial) {
        return serial != device.serial
                && std::any_of(ready.cbegin(), ready.cend(),
                               [&serial](const ListedDevice &d) { return d.serial == serial; });
    };
    const QString mdns = device.mdnsSerial();
    if (!mdns.isEmpty())
        return listed(mdns) ? mdns : QString();
    // adb numbers an emulator's console port N and its adb port N+1.
    static const QRegularExpression loopback(
            QRegularExpression::anchoredPattern(QStringLiteral("127\\.0\\.0\\.1:(\\d+)")));
    const QRegularExpressionMatch local = loopback.match(device.serial);
    if (local.hasMatch()) {
        const QString emulator = QStringLiteral("emulator-%1").arg(local.captured(1).toInt() - 1);
        if (listed(emulator))
            return emulator;
    }
    const QString serialNumber = serialNumbers.value(device.serial);
    if (device.isAddressEntry() && !serialNumber.isEmpty() && listed(serialNumber))
        return serialNumber;
    return QString();
}

} // namespace

QList<ReadyDevice> readyDevices(const QList<ListedDevice> &devices,
                                const QHash<QString, QString> &serialNumbers)
{
    QList<ListedDevice> ready;
    std::copy_if(devices.cbegin(), devices.cend(), std::back_inserter(ready),
                 [](const ListedDevice &device) { return device.isReady(); });
    QList<ReadyDevice> result;
    QList<std::pair<QString, ListedDevice>> seconds;
    for (const ListedDevice &device : ready) {
        const QString first = firstEntryOf(device, ready, serialNumbers);
        if (first.isEmpty())
            result.append({device, {}});
        else
            seconds.append({first, device});
    }
    for (const auto &[first, device] : seconds) {
        for (ReadyDevice &one : result) {
            if (one.entry.serial == first)
                one.alsoListedAs.append(device);
        }
    }
    return result;
}

QStringList devicesToAskSerialNumber(const QList<ListedDevice> &devices)
{
    QStringList serials;
    const QList<ReadyDevice> ready = readyDevices(devices);
    if (ready.size() < 2)
        return serials;
    for (const ReadyDevice &device : ready) {
        if (device.entry.isAddressEntry())
            serials << device.entry.serial;
    }
    return serials;
}

QStringList devicesToAskMaker(const QList<ListedDevice> &devices, const DeviceAnswers &answers)
{
    QStringList serials;
    for (const ReadyDevice &device : readyDevices(devices, answers.serialNumbers)) {
        if (!device.entry.isPico())
            serials << device.entry.serial;
    }
    return serials;
}

HeadsetChoice chooseHeadset(const QList<ListedDevice> &devices, const DeviceAnswers &answers)
{
    HeadsetChoice choice;
    const QList<ReadyDevice> ready = readyDevices(devices, answers.serialNumbers);
    QList<ReadyDevice> picos;
    for (const ReadyDevice &device : ready) {
        choice.ready << device.entry;
        if (device.entry.isPico() || isPicoMaker(answers.makers.value(device.entry.serial)))
            picos << device;
    }
    QList<ListedDevice> notReady;
    std::copy_if(devices.cbegin(), devices.cend(), std::back_inserter(notReady),
                 [](const ListedDevice &device) { return !device.isReady(); });

    const auto use = [&choice](const ReadyDevice &device, bool knownPico) {
        choice.kind = HeadsetChoice::Ready;
        choice.headset = device.entry;
        choice.alsoListedAs = device.alsoListedAs;
        choice.knownPico = knownPico;
    };
    if (picos.size() == 1) {
        use(picos.first(), true);
    } else if (picos.size() > 1) {
        choice.kind = HeadsetChoice::SeveralReady;
    } else if (!notReady.isEmpty()) {
        // adb lists a device that is not ready without its model: it may be the headset.
        choice.kind = HeadsetChoice::NotReady;
        choice.notReady = notReady.first();
        choice.settling =
                std::all_of(notReady.cbegin(), notReady.cend(),
                            [](const ListedDevice &device) { return device.isConnecting(); });
    } else if (const auto silent =
                       std::find_if(ready.cbegin(), ready.cend(),
                                    [&answers](const ReadyDevice &device) {
                                        return answers.unanswered.contains(device.entry.serial);
                                    });
               silent != ready.cend()) {
        // A device that could not say who made it may be a phone as much as the headset.
        choice.kind = HeadsetChoice::NoAnswer;
        choice.headset = silent->entry;
    } else if (ready.size() > 1) {
        choice.kind = HeadsetChoice::SeveralReady;
    } else if (ready.size() == 1) {
        if (answers.makers.value(ready.first().entry.serial).trimmed().isEmpty()) {
            use(ready.first(), false);
        } else {
            choice.kind = HeadsetChoice::NotAPico;
            choice.headset = ready.first().entry;
        }
    }
    return choice;
}
