#include "simulatedheadset.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QMap>
#include <QSet>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

struct Output
{
    QByteArray out;
    QByteArray err;
    int exitCode = 0;
};

bool writeJson(const QString &path, const QJsonObject &object)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            && file.write(QJsonDocument(object).toJson(QJsonDocument::Compact)) >= 0;
}

class Headset
{
public:
    explicit Headset(QJsonObject device) : d(std::move(device)) { }
    QJsonObject state() const { return d; }

    Output shell(const QStringList &args);
    Output install(const QStringList &args);
    Output uninstall(const QStringList &args);

private:
    QString env(const QString &name) const
    {
        return d.value(QLatin1String("env")).toObject().value(name).toString();
    }
    QJsonObject files() const { return d.value(QLatin1String("files")).toObject(); }
    QStringList dirs() const { return toStringList(d.value(QLatin1String("dirs")).toArray()); }
    QStringList packages() const
    {
        return toStringList(d.value(QLatin1String("packages")).toArray());
    }
    bool isFile(const QString &path) const { return files().contains(path); }
    // Older firmware: a shell without the shell protocol merges stderr into stdout and always
    // ends with exit code 0; installs are pushed and run through pm.
    bool oldShell() const { return d.value(QLatin1String("oldShell")).toBool(); }
    bool isDir(const QString &path) const;
    QStringList words(const QString &line) const;
    Output listing(const QStringList &paths) const;
    Output remove(const QStringList &args);

    QJsonObject d;
};

bool Headset::isDir(const QString &path) const
{
    if (path == QLatin1String("/"))
        return true;
    const QString inside = path + QLatin1Char('/');
    if (dirs().contains(path))
        return true;
    for (const QString &dir : dirs()) {
        if (dir.startsWith(inside))
            return true;
    }
    const QJsonObject all = files();
    for (auto it = all.begin(); it != all.end(); ++it) {
        if (it.key().startsWith(inside))
            return true;
    }
    return false;
}

// The headset's shell sees the arguments joined by spaces; it splits them again at white space,
// honours quotes, and expands $NAME outside single quotes.
QStringList Headset::words(const QString &line) const
{
    QStringList result;
    QString word;
    bool inWord = false;
    QChar quote;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quote.isNull() && (c == u' ' || c == u'\t')) {
            if (inWord)
                result << word;
            word.clear();
            inWord = false;
            continue;
        }
        inWord = true;
        if (quote.isNull() && (c == u'"' || c == u'\'')) {
            quote = c;
        } else if (!quote.isNull() && c == quote) {
            quote = QChar();
        } else if (c == u'\\' && quote != u'\'' && i + 1 < line.size()) {
            word += line.at(++i);
        } else if (c == u'$' && quote != u'\'') {
            int end = i + 1;
            while (end < line.size() && (line.at(end).isLetterOrNumber() || line.at(end) == u'_'))
                ++end;
            word += env(line.mid(i + 1, end - i - 1));
            i = end - 1;
        } else {
            word += c;
        }
    }
    if (inWord)
        result << word;
    return result;
}

Output Headset::listing(const QStringList &paths) const
{
    Output o;
    for (const QString &path : paths) {
        if (isFile(path)) {
            o.out += path.toUtf8() + '\n';
        } else if (isDir(path)) {
            o.out += path.toUtf8() + ":\n";
        } else {
            o.err += "ls: " + path.toUtf8() + ": No such file or directory\n";
            o.exitCode = 1;
        }
    }
    return o;
}

Output Headset::remove(const QStringList &args)
{
    Output o;
    bool recursive = false;
    QJsonObject keptFiles = files();
    QStringList keptDirs = dirs();
    for (const QString &arg : args) {
        if (arg.startsWith(QLatin1Char('-'))) {
            recursive = recursive || arg.contains(QLatin1Char('r'));
            continue;
        }
        if (isFile(arg)) {
            keptFiles.remove(arg);
        } else if (isDir(arg)) {
            if (!recursive) {
                o.err += "rm: " + arg.toUtf8() + ": Is a directory\n";
                o.exitCode = 1;
                continue;
            }
            const QString inside = arg == QLatin1String("/") ? arg : arg + QLatin1Char('/');
            for (const QString &key : keptFiles.keys()) {
                if (key.startsWith(inside))
                    keptFiles.remove(key);
            }
            keptDirs.removeIf(
                    [&](const QString &dir) { return dir == arg || dir.startsWith(inside); });
        } else {
            o.err += "rm: " + arg.toUtf8() + ": No such file or directory\n";
            o.exitCode = 1;
        }
        d.insert(QLatin1String("files"), keptFiles);
        d.insert(QLatin1String("dirs"), QJsonArray::fromStringList(keptDirs));
    }
    return o;
}

Output Headset::shell(const QStringList &args)
{
    const QStringList argv = words(args.join(QLatin1Char(' ')));
    Output o;
    if (argv.isEmpty())
        return o;
    const QString command = argv.first();
    if (command == QLatin1String("getprop")) {
        const QJsonObject props = d.value(QLatin1String("properties")).toObject();
        o.out = props.value(argv.value(1)).toString().toUtf8() + '\n';
    } else if (command == QLatin1String("echo")) {
        o.out = argv.mid(1).join(QLatin1Char(' ')).toUtf8() + '\n';
    } else if (command == QLatin1String("pm") && argv.value(1) == QLatin1String("list")
               && argv.value(2) == QLatin1String("packages")) {
        for (const QString &package : packages()) {
            if (package.contains(argv.value(3)))
                o.out += "package:" + package.toUtf8() + '\n';
        }
    } else if (command == QLatin1String("cat")) {
        for (const QString &path : argv.mid(1)) {
            if (isFile(path)) {
                o.out += files().value(path).toString().toUtf8();
            } else {
                o.err += "cat: " + path.toUtf8()
                        + (isDir(path) ? ": Is a directory\n" : ": No such file or directory\n");
                o.exitCode = 1;
            }
        }
    } else if (command == QLatin1String("ls")) {
        o = listing(argv.mid(1));
    } else if (command == QLatin1String("rm")) {
        o = remove(argv.mid(1));
    } else {
        o.err = "/system/bin/sh: " + command.toUtf8() + ": inaccessible or not found\n";
        o.exitCode = 127;
    }
    if (oldShell()) {
        o.out += o.err;
        o.err.clear();
        o.exitCode = 0;
    }
    return o;
}

Output Headset::install(const QStringList &args)
{
    Output o;
    const QString apk = args.value(args.size() - 1);
    // Older firmware is pushed the APK, then runs pm through a shell that has one stream and no
    // exit code; adb checks the file only once it said which.
    o.out = oldShell() ? "Performing Push Install\n" : "Performing Streamed Install\n";
    if (!apk.endsWith(QLatin1String(".apk")) && !apk.endsWith(QLatin1String(".apex"))) {
        o.err = "adb: filename doesn't end .apk or .apex: " + apk.toUtf8() + '\n';
        o.exitCode = 1;
        return o;
    }
    if (!QFileInfo(apk).isFile()) {
        o.err = "adb: failed to stat " + apk.toUtf8() + ": No such file or directory\n";
        o.exitCode = 1;
        return o;
    }
    QThread::msleep(ulong(d.value(QLatin1String("installMs")).toInt()));
    const QString result =
            d.value(QLatin1String("installResult")).toString(QStringLiteral("Success"));
    QStringList installed = packages();
    const QString package = QString::fromLatin1("com.Brelvo.BrelvoVRViewer");
    if (installed.contains(package) && !args.contains(QLatin1String("-r"))) {
        o.err = "adb: failed to install " + apk.toUtf8()
                + ": Failure [INSTALL_FAILED_ALREADY_EXISTS]\n";
        o.exitCode = 1;
    } else if (oldShell()) {
        o.out += apk.toUtf8() + ": 1 file pushed, 0 skipped. 0.1 MB/s ("
                + QByteArray::number(QFileInfo(apk).size()) + " bytes in 0.001s)\n"
                + (result == QLatin1String("Success") ? QByteArray("Success\n")
                                                      : "Failure [" + result.toUtf8() + "]\n");
    } else if (result != QLatin1String("Success")) {
        o.err = "adb: failed to install " + apk.toUtf8() + ": Failure [" + result.toUtf8() + "]\n";
        o.exitCode = 1;
    } else {
        o.out += "Success\n";
    }
    if (result == QLatin1String("Success")) {
        if (!installed.contains(package))
            installed << package;
        d.insert(QLatin1String("packages"), QJsonArray::fromStringList(installed));
        d.insert(QLatin1String("installedApk"), QFileInfo(apk).fileName());
    }
    return o;
}

Output Headset::uninstall(const QStringList &args)
{
    Output o;
    QStringList installed = packages();
    // A device policy, for one, can refuse to let the app go.
    const QString refusal = d.value(QLatin1String("uninstallResult")).toString();
    // The package manager answers through the headset's terminal, which ends lines in CR LF;
    // older firmware's shell has none.
    const QByteArray eol = oldShell() ? "\n" : "\r\n";
    if (refusal.isEmpty() && installed.removeAll(args.value(0)) > 0) {
        d.insert(QLatin1String("packages"), QJsonArray::fromStringList(installed));
        o.out = "Success" + eol;
    } else {
        o.out = "Failure ["
                + (refusal.isEmpty() ? QByteArray("DELETE_FAILED_INTERNAL_ERROR")
                                     : refusal.toUtf8())
                + "]" + eol;
        o.exitCode = oldShell() ? 0 : 1;
    }
    return o;
}

QString modelField(const QString &model)
{
    QString field = model;
    for (QChar &c : field) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128))
            c = u'_';
    }
    return field;
}

} // namespace

QJsonDocument readJson(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll());
}

QStringList toStringList(const QJsonArray &array)
{
    QStringList list;
    for (const QJsonValue &value : array)
        list << value.toString();
    return list;
}

void writeOut(const QByteArray &out, const QByteArray &err)
{
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
    std::fwrite(err.constData(), 1, size_t(err.size()), stderr);
    std::fflush(stderr);
}

[[noreturn]] void hang()
{
    for (;;)
        QThread::sleep(1);
}

namespace {

QJsonArray currentDevices(const QJsonObject &scenario, const QString &statePath, int earlierCalls)
{
    QJsonArray devices = readJson(statePath).object().value(QLatin1String("devices")).toArray();
    if (devices.isEmpty())
        devices = scenario.value(QLatin1String("devices")).toArray();
    // The headset is unplugged after that many adb calls (as counted in the journal).
    const QJsonValue vanishAfter = scenario.value(QLatin1String("vanishAfter"));
    if (vanishAfter.isDouble() && earlierCalls >= vanishAfter.toInt())
        devices = QJsonArray();
    QJsonArray plugged;
    for (const QJsonValue &device : devices) {
        if (!device.toObject().value(QLatin1String("unplugged")).toBool())
            plugged << device;
    }
    return plugged;
}

// The device lines of `adb devices -l`, sorted by serial as adb sorts them: a ready device with
// its description (and a USB port when it has no network address), one that goes with its last
// description, and a device that is listed twice under its other name too.
QByteArray deviceLines(const QJsonArray &devices)
{
    QMap<QString, QString> lines;
    for (int i = 0; i < devices.size(); ++i) {
        const QJsonObject dev = devices.at(i).toObject();
        const QString state = dev.value(QLatin1String("state")).toString();
        for (const char *name : {"serial", "alsoListedAs"}) {
            const QString serial = dev.value(QLatin1String(name)).toString();
            if (serial.isEmpty())
                continue;
            QString line = QStringLiteral("%1 %2").arg(serial, -22, QLatin1Char(' ')).arg(state);
            if (state == QLatin1String("device") || dev.value(QLatin1String("going")).toBool()) {
                if (!serial.contains(QLatin1Char(':')) && !serial.contains(QLatin1Char('.'))
                    && !serial.startsWith(QLatin1String("emulator-")))
                    line += QStringLiteral(" usb:1-1");
                for (const char *field : {"product", "model", "device"}) {
                    const QString value = dev.value(QLatin1String(field)).toString();
                    if (!value.isEmpty())
                        line += QStringLiteral(" %1:%2").arg(QLatin1String(field),
                                                             modelField(value));
                }
            }
            lines.insert(serial, line + QStringLiteral(" transport_id:%1\n").arg(i + 1));
        }
    }
    QByteArray out;
    for (const QString &line : lines)
        out += line.toUtf8();
    return out;
}

// `adb track-devices`: the device lines whenever they change, each behind its length in four
// hex digits, until adb is stopped. The devices are read afresh from the scenario, which the
// test changes; it ends with the test's folder, or when the program that started it is gone.
// A device that comes is listed as offline while adb connects it; adb 34 and later list one
// that goes as offline first.
[[noreturn]] void trackDevices(const QString &scenarioPath, const QString &statePath)
{
    const QJsonObject scenario = readJson(scenarioPath).object();
    // adb.exe writes each LF as CR LF, which the lengths do not count.
    const bool crlf = scenario.value(QLatin1String("crlf")).toBool();
    const int client = scenario.value(QLatin1String("client")).toInt(29);
    // It ends with its server, which another program's adb replaces.
    const int serverLastsMs = scenario.value(QLatin1String("otherAdbPollsMs")).toInt();
    QElapsedTimer running;
    running.start();
    QThread::msleep(ulong(scenario.value(QLatin1String("firstListingMs")).toInt()));
    QByteArray last = "none yet";
    QHash<QString, QJsonObject> listed; // as last written, by serial
    bool first = true;
    for (;;) {
        if (serverLastsMs > 0 && running.elapsed() >= serverLastsMs)
            std::exit(0);
#ifdef Q_OS_UNIX
        if (getppid() == 1)
            std::exit(0);
#endif
        if (!QFileInfo::exists(scenarioPath))
            std::exit(0);
        const QJsonArray now = currentDevices(readJson(scenarioPath).object(), statePath, 0);
        QJsonArray shown;
        QSet<QString> present;
        for (const QJsonValue &value : now) {
            QJsonObject device = value.toObject();
            const QString serial = device.value(QLatin1String("serial")).toString();
            present << serial;
            if (!first && !listed.contains(serial)
                && device.value(QLatin1String("state")).toString() == QLatin1String("device"))
                device = QJsonObject{{QLatin1String("serial"), serial},
                                     {QLatin1String("state"), QLatin1String("offline")}};
            shown << device;
        }
        for (auto it = listed.cbegin(); client >= 34 && it != listed.cend(); ++it) {
            if (!present.contains(it.key())
                && it->value(QLatin1String("state")).toString() == QLatin1String("device")) {
                QJsonObject going = *it;
                going.insert(QLatin1String("state"), QLatin1String("offline"));
                going.insert(QLatin1String("going"), true);
                shown << going;
            }
        }
        first = false;
        listed.clear();
        for (const QJsonValue &device : shown)
            listed.insert(device.toObject().value(QLatin1String("serial")).toString(),
                          device.toObject());
        const QByteArray lines = deviceLines(shown);
        if (lines != last) {
            writeOut(QByteArray::number(lines.size(), 16).rightJustified(4, '0')
                             + (crlf ? QByteArray(lines).replace("\n", "\r\n") : lines),
                     {});
            last = lines;
            // A line for each listing written, which tests wait for.
            QFile listings(statePath + QLatin1String(".listings"));
            if (listings.open(QIODevice::WriteOnly | QIODevice::Append))
                listings.write("\n");
        }
        QThread::msleep(50);
    }
}

} // namespace

int simulate(const QString &scenarioPath, const QJsonObject &scenario, const QString &statePath,
             int earlierCalls, QStringList args)
{
    const QJsonArray devices = currentDevices(scenario, statePath, earlierCalls);
    // adb.exe writes each LF as CR LF, its notices too.
    const bool crlf = scenario.value(QLatin1String("crlf")).toBool();
    const auto say = [crlf](QByteArray out, QByteArray err) {
        if (crlf) {
            out.replace("\n", "\r\n");
            err.replace("\n", "\r\n");
        }
        writeOut(out, err);
    };
    // The client's own words: adb 33 and later begin them with "adb: " (36 with its file name,
    // "adb.exe: "), older ones with "error: "; an install's failures begin with "adb: " always.
    const int client = scenario.value(QLatin1String("client")).toInt(29);
    const QByteArray self = client >= 36 ? QByteArray("adb.exe: ") : QByteArray("adb: ");
    const QByteArray error = client >= 33 ? self : QByteArray("error: ");

    // Another program's adb had its server running: adb says so, replaces it, and goes on. One
    // that polls the devices does so before every command but the first.
    const int otherAdbPollsMs = scenario.value(QLatin1String("otherAdbPollsMs")).toInt();
    if (scenario.value(QLatin1String("noticesAt")).toArray().contains(earlierCalls)
        || (otherAdbPollsMs > 0 && earlierCalls > 0))
        say({},
            "adb server version (40) doesn't match this client (41); killing...\n"
            "* daemon started successfully\n");
    // adb's own server, when the scenario keeps one ("serverStartMs": how long it takes to
    // start): started by a command that finds none, stopped by kill-server.
    const QString server = statePath + QLatin1String(".server");
    const int serverStartMs = scenario.value(QLatin1String("serverStartMs")).toInt(-1);
    if (args.value(0) == QLatin1String("kill-server")) {
        QFile::remove(server);
        return 0;
    }
    if (serverStartMs >= 0 && !QFileInfo::exists(server)) {
        say({}, "* daemon not running; starting now at tcp:5037\n");
        QThread::msleep(ulong(serverStartMs));
        QFile(server).open(QIODevice::WriteOnly);
        say({}, "* daemon started successfully\n");
    }

    QString serial;
    bool named = false;
    while (args.size() >= 2 && args.first() == QLatin1String("-s")) {
        serial = args.at(1);
        named = true;
        args = args.mid(2);
    }
    const QString command = args.value(0);

    if (command == QLatin1String("devices")) {
        say("List of devices attached\n" + deviceLines(devices) + '\n', {});
        return 0;
    }
    if (command == QLatin1String("track-devices"))
        trackDevices(scenarioPath, statePath);
    if (command == QLatin1String("start-server"))
        return 0;

    int index = -1;
    if (named) {
        for (int i = 0; i < devices.size(); ++i) {
            const QJsonObject dev = devices.at(i).toObject();
            if (dev.value(QLatin1String("serial")).toString() == serial
                || dev.value(QLatin1String("alsoListedAs")).toString() == serial)
                index = i;
        }
    } else if (devices.size() == 1) {
        index = 0;
    } else if (devices.size() > 1) {
        say({}, error + "more than one device/emulator\n");
        return 1;
    }
    if (index < 0) {
        const QByteArray missing = named ? "device '" + serial.toUtf8() + "' not found"
                                         : QByteArray("no devices/emulators found");
        // adb 33 and later say so; 1.0.41 still tries an install, and waits for ever for the
        // device of an uninstall.
        if (client < 33 && command == QLatin1String("install")) {
            say("Performing Push Install\nadb: error: failed to get feature set: " + missing + '\n',
                "error: " + missing + '\n');
            return 255;
        }
        say({}, error + missing + '\n');
        if (client < 33 && command == QLatin1String("uninstall")) {
            say({}, "- waiting for device -\n");
            hang();
        }
        return 1;
    }
    QJsonObject device = devices.at(index).toObject();
    const QString state = device.value(QLatin1String("state")).toString();
    if (state != QLatin1String("device")) {
        if (client < 33
            && (command == QLatin1String("install") || command == QLatin1String("uninstall"))) {
            say({}, "- waiting for device -\n");
            hang();
        }
        say({},
            error + "device " + state.toUtf8()
                    + (state == QLatin1String("unauthorized")
                               ? ".\nThis adb server's $ADB_VENDOR_KEYS is not set\nTry 'adb "
                                 "kill-server' if that seems wrong.\nOtherwise check for a "
                                 "confirmation dialog on your device.\n"
                               : "\n"));
        return 1;
    }

    const auto unplug = [&](QJsonObject gone) {
        gone.insert(QLatin1String("unplugged"), true);
        QJsonArray left = devices;
        left.replace(index, gone);
        writeJson(statePath, QJsonObject{{QLatin1String("devices"), left}});
    };
    // The cable pulled as the command starts: adb before 35 ends it with no word at all.
    const QString dropOn = device.value(QLatin1String("dropOn")).toString();
    if (!dropOn.isEmpty() && args.join(QLatin1Char(' ')).contains(dropOn)) {
        unplug(device);
        return 0;
    }
    QThread::msleep(ulong(device.value(QLatin1String("latencyMs")).toInt()));
    Headset headset(device);
    Output o;
    if (command == QLatin1String("shell")) {
        o = headset.shell(args.mid(1));
    } else if (command == QLatin1String("install")
               && device.value(QLatin1String("dropDuringInstall")).toBool()) {
        // The link drops mid-stream: adb's sentence ends at its colon, and the device is gone.
        unplug(device);
        say("Performing Streamed Install\n",
            self + "failed to install " + args.constLast().toUtf8() + ": ");
        return 1;
    } else if (command == QLatin1String("install")) {
        o = headset.install(args.mid(1));
        // Another program's adb replaced the server while the install ran: the headset got the
        // APK, and adb's sentence ends at its colon.
        if (otherAdbPollsMs > 0
            && device.value(QLatin1String("installMs")).toInt() > otherAdbPollsMs)
            o = {"Performing Streamed Install\n",
                 self + "failed to install " + args.constLast().toUtf8() + ": ", 1};
    } else if (command == QLatin1String("uninstall")) {
        o = headset.uninstall(args.mid(1));
    } else {
        o.err = "adb: unknown command " + command.toUtf8() + '\n';
        o.exitCode = 1;
    }
    QJsonArray changed = devices;
    changed.replace(index, headset.state());
    writeJson(statePath, QJsonObject{{QLatin1String("devices"), changed}});
    if (o.err.startsWith("adb: "))
        o.err = self + o.err.mid(5);
    say(o.out, o.err);
    return o.exitCode;
}
