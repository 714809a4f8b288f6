#include "tests/support/bench.h"
#include "tests/support/expected.h"

#include "adb/adbanswers.h"
#include "adb/devicelisting.h"
#include "adb/devicewatcher.h"
#include "app/activitylog.h"
#include "app/advice.h"
#include "ops/uninstall.h"
#include "probe/openxrruntime.h"
#include "probe/picoosversion.h"

#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include <functional>

// What the program makes of a device listing: which device it works on, whether that is a
// Pico Neo 2, and what more it knows: whether a Pico (and under which other entries it is
// listed), or the state it tells of a device that is not ready.
struct Detected
{
    HeadsetChoice::Kind kind = HeadsetChoice::NoDevice;
    QString serial;
    bool isNeo2 = false;
    QString more;

    friend bool operator==(const Detected &a, const Detected &b)
    {
        return a.kind == b.kind && a.serial == b.serial && a.isNeo2 == b.isNeo2 && a.more == b.more;
    }
};
Q_DECLARE_METATYPE(Detected)
Q_DECLARE_METATYPE(DeviceAnswers)

static Detected detected(const HeadsetChoice &choice)
{
    QString more = choice.notReady.state;
    if (choice.kind == HeadsetChoice::Ready) {
        more = choice.knownPico ? "Pico" : "maker unknown";
        for (const ListedDevice &entry : choice.alsoListedAs)
            more += ", also " + entry.serial;
    }
    return {choice.kind, choice.headset.serial, choice.headset.isNeo2(), more};
}

char *toString(const Detected &detected)
{
    return qstrdup(qPrintable(QStringLiteral("{kind %1, serial \"%2\", isNeo2 %3, %4}")
                                      .arg(detected.kind)
                                      .arg(detected.serial)
                                      .arg(detected.isNeo2)
                                      .arg(detected.more)));
}

char *toString(const ListedDevice &device)
{
    return qstrdup(qPrintable(
            QStringLiteral("{%1 | %2 | %3}").arg(device.serial, device.state, device.details)));
}

// The rules by which the program reads adb's and the headset's texts, without a window or a
// process: real answers captured from adb (tests/data/adb/), and the edge cases around them.
class TestTextRules : public QObject
{
    Q_OBJECT

private slots:
    void listedDevices_data();
    void listedDevices();
    void headsetChoice_data();
    void headsetChoice();
    void headsetNames_data();
    void headsetNames();
    void trackedListings_data();
    void trackedListings();
    void yesOrNo_data();
    void yesOrNo();
    void packageVerdict_data();
    void packageVerdict();
    void runtimeLibraryName_data();
    void runtimeLibraryName();
    void advice_data();
    void advice();
    void logLine_data();
    void logLine();
};

// A query's answer as the program reads it: standard output without its line breaks.
static QString queried(const QString &capture)
{
    QString out = adbCapture(capture).out;
    out.remove(QLatin1Char('\r'));
    out.remove(QLatin1Char('\n'));
    return out.trimmed();
}

// The folders of captures, one for each client: adb 1.0.41 of 29.0.6 and 34.0.5 have all of the
// rows' captures, adb.exe (34.0.5) a part of them.
static const QStringList clients = {"", "adb-34.0.5/", "adb-34.0.5-windows/"};
static bool captured(const QString &client, const char *name)
{
    static const QStringList ofAdbExe = {"devices-none",         "devices-pico4",
                                         "devices-unauthorized", "devices-phone-and-pico4",
                                         "install-success",      "install-failure",
                                         "uninstall-success",    "uninstall-not-installed"};
    return !client.endsWith("windows/") || ofAdbExe.contains(QLatin1String(name));
}

using Expected::readyLine;
static const QString header = Expected::listingHeader;
static QString other(const QString &serial, const QString &state)
{
    return QString("%1 %2 transport_id:2\n").arg(serial, -22).arg(state);
}

void TestTextRules::listedDevices_data()
{
    QTest::addColumn<QString>("capture");
    QTest::addColumn<QList<ListedDevice>>("devices");

    const ListedDevice pico4{"127.0.0.1:6101", "device",
                             "product:A8150 model:Pico_4 device:PICOA8150 transport_id:1"};
    QTest::newRow("devices-none") << "devices-none" << QList<ListedDevice>{};
    QTest::newRow("devices-pico4") << "devices-pico4" << QList<ListedDevice>{pico4};
    QTest::newRow("adb.exe: devices-pico4")
            << "adb-34.0.5-windows/devices-pico4" << QList<ListedDevice>{pico4};
    QTest::newRow("devices-unauthorized")
            << "devices-unauthorized"
            << QList<ListedDevice>{{"127.0.0.1:6109", "unauthorized", "transport_id:3"}};
    QTest::newRow("devices-phone-and-pico4")
            << "devices-phone-and-pico4"
            << QList<ListedDevice>{{"127.0.0.1:6101", "device",
                                    "product:A8150 model:Pico_4 device:PICOA8150 transport_id:6"},
                                   {"127.0.0.1:6107", "device",
                                    "product:panther model:Pixel_7 device:panther transport_id:5"}};
}

void TestTextRules::listedDevices()
{
    QFETCH(QString, capture);
    QFETCH(QList<ListedDevice>, devices);
    QCOMPARE(parseDeviceListing(adbCapture(capture).out), devices);
}

void TestTextRules::headsetChoice_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<DeviceAnswers>("answers");
    QTest::addColumn<Detected>("expected");

    const Detected none{HeadsetChoice::NoDevice, "", false, ""};
    const Detected several{HeadsetChoice::SeveralReady, "", false, ""};
    const auto notReady = [](const QString &state) {
        return Detected{HeadsetChoice::NotReady, "", false, state};
    };
    const auto ready = [](const QString &serial, bool neo2 = false, const QString &more = "Pico") {
        return Detected{HeadsetChoice::Ready, serial, neo2, more};
    };
    const auto unknown = [&ready](const QString &serial) {
        return ready(serial, false, "maker unknown");
    };
    const auto notAPico = [](const QString &serial) {
        return Detected{HeadsetChoice::NotAPico, serial, false, ""};
    };
    const DeviceAnswers noAnswers;
    const QList<std::pair<const char *, Detected>> captured = {
            {"devices-none", none},
            {"devices-pico4", ready("127.0.0.1:6101")},
            {"devices-neo2", ready("127.0.0.1:6103", true)},
            {"devices-unauthorized", notReady("unauthorized")},
            {"devices-offline", notReady("offline")},
            // Beside a phone, the Pico; never one of two Picos.
            {"devices-phone-and-pico4", ready("127.0.0.1:6101")},
            {"devices-pico4-and-neo2", several}};
    // The same devices, as adb 1.0.41 (29.0.6), 34.0.5 and 34.0.5's adb.exe list them.
    for (const QString &client : clients) {
        for (const auto &[name, expected] : captured) {
            if (::captured(client, name))
                QTest::newRow(qPrintable(client + name))
                        << adbCapture(client + name).out << noAnswers << expected;
        }
    }

    QTest::newRow("empty output") << "" << noAnswers << none;
    QTest::newRow("recovery") << header + other("A1", "recovery") << noAnswers
                              << notReady("recovery");
    QTest::newRow("authorizing") << header + other("A1", "authorizing") << noAnswers
                                 << notReady("authorizing");
    // adb 36.0.0 (client/adb_client.cpp, transport.cpp: ConnectionState "detached").
    QTest::newRow("detached, derived from adb 36's source")
            << header + other("A1", "detached") << noAnswers << notReady("detached");
    QTest::newRow("no permissions") << header
                    + other("A1",
                            "no permissions (missing udev rules? user is in the plugdev "
                            "group); see [http://developer.android.com/tools/device.html]")
                                    << noAnswers << notReady("no permissions");
    QTest::newRow("not ready Neo 2 stays no Neo 2")
            << header + other("A1", "unauthorized model:Pico_Neo_2") << noAnswers
            << notReady("unauthorized");

    // A phone is never taken for a headset that is not ready, nor used when it says who made it.
    const QString phone = readyLine("PHONE1", "Pixel_7");
    DeviceAnswers google;
    google.makers = {{"PHONE1", "Google"}};
    QTest::newRow("ready phone beside an unauthorized headset")
            << header + other("PICO1", "unauthorized") + phone << noAnswers
            << notReady("unauthorized");
    QTest::newRow("ready phone beside an offline headset")
            << header + other("PICO1", "offline") + phone << google << notReady("offline");
    QTest::newRow("a phone alone that says who made it")
            << header + phone << google << notAPico("PHONE1");
    QTest::newRow("one device alone that does not say")
            << header + phone << noAnswers << unknown("PHONE1");
    QTest::newRow("ready first, unready Neo 2 second")
            << header + readyLine("PICO1", "Pico_4") + other("NEO", "offline model:Pico_Neo_2")
            << noAnswers << ready("PICO1");
    QTest::newRow("two phones") << header + readyLine("P1", "Pixel_7") + readyLine("P2", "SM_G991B")
                                << noAnswers << several;
    QTest::newRow("Pico named by its product field only")
            << header + "PA1 device product:PicoA8150 model:A8150 device:x\n"
                    + readyLine("P1", "Pixel_7")
            << noAnswers << ready("PA1");
    // A Pico whose listing names only its model number says it is one when asked.
    DeviceAnswers picoSays;
    picoSays.makers = {{"PA8110", "Pico"}, {"PHONE1", "Google"}};
    QTest::newRow("Pico named by its own answer, beside a phone")
            << header + readyLine("PA8110", "A8110") + phone << picoSays << ready("PA8110");
    DeviceAnswers brand;
    brand.makers = {{"PA8110", "PICO"}};
    QTest::newRow("Pico named by its answer alone")
            << header + readyLine("PA8110", "A8110") << brand << ready("PA8110");
    DeviceAnswers twoSay;
    twoSay.makers = {{"PA8110", "Pico"}, {"PA9", "pico"}};
    QTest::newRow("two Picos, one named by its answer")
            << header + readyLine("PA8110", "A8110") + readyLine("PA9", "Pico_4") << twoSay
            << several;

    // One headset listed twice is one headset, used by its USB entry.
    const QString mdns = "adb-PA8110MGH7200123-kO2Rsd._adb-tls-connect._tcp";
    const QString usb = readyLine("PA8110MGH7200123", "A8110");
    DeviceAnswers usbSays;
    usbSays.makers = {{"PA8110MGH7200123", "Pico"}};
    // adb 35.0.2 and later on Windows (client/transport_mdns.cpp: the service instance name).
    QTest::newRow("USB and mDNS entries, derived from adb 35's source")
            << header + usb + readyLine(mdns, "A8110") << usbSays
            << ready("PA8110MGH7200123", false, "Pico, also " + mdns);
    QTest::newRow("mDNS entry first") << header + readyLine(mdns, "A8110") + usb << usbSays
                                      << ready("PA8110MGH7200123", false, "Pico, also " + mdns);
    DeviceAnswers serialSays = usbSays;
    serialSays.serialNumbers = {{"192.168.1.20:5555", "PA8110MGH7200123"}};
    QTest::newRow("USB and IP entries of one headset")
            << header + readyLine("192.168.1.20:5555", "A8110") + usb << serialSays
            << ready("PA8110MGH7200123", false, "Pico, also 192.168.1.20:5555");
    QTest::newRow("an IP entry of another device")
            << header + readyLine("192.168.1.20:5555", "A8110") + readyLine("PA1", "Pico_4")
            << serialSays << ready("PA1");
    QTest::newRow("emulator-5554 and 127.0.0.1:5555 are one daemon")
            << header + readyLine("emulator-5554", "Pico_4") + readyLine("127.0.0.1:5555", "Pico_4")
            << noAnswers << ready("emulator-5554", false, "Pico, also 127.0.0.1:5555");
    // Debian's adbd, connected: a daemon that names no model and answers no getprop.
    DeviceAnswers adbdSays;
    adbdSays.serialNumbers = {{"127.0.0.1:5555", ""}};
    adbdSays.makers = {{"emulator-5554", ""}};
    QTest::newRow("adb-34.0.5/devices-adbd-connected")
            << adbCapture("adb-34.0.5/devices-adbd-connected").out << adbdSays
            << ready("emulator-5554", false, "maker unknown, also 127.0.0.1:5555");
    QTest::newRow("emulator-5554 and 127.0.0.1:5557 are two")
            << header + readyLine("emulator-5554", "Pico_4") + readyLine("127.0.0.1:5557", "Pico_4")
            << noAnswers << several;

    QTest::newRow("model in capitals")
            << header + readyLine("N", "PICO_NEO_2") << noAnswers << ready("N", true);
    QTest::newRow("model with suffix")
            << header + readyLine("N", "pico_neo_2_eye") << noAnswers << ready("N", true);
    QTest::newRow("only CR") << "List of devices attached\r"
                    + readyLine("S1", "M").replace("\n", "\r")
                             << noAnswers << unknown("S1");
    QTest::newRow("server notice on standard output")
            << "* daemon started successfully\n" + header + readyLine("S1", "M") << noAnswers
            << unknown("S1");
    QTest::newRow("version notice on standard output")
            << "adb server version (40) doesn't match this client (41); killing...\n" + header
            << noAnswers << none;
    QTest::newRow("22-character serial") << header + readyLine("ABCDEFGHIJKLMNOPQRSTUV", "M")
                                         << noAnswers << unknown("ABCDEFGHIJKLMNOPQRSTUV");
    QTest::newRow("longer serial") << header + readyLine("192.168.1.20:5555-extra-long-serial", "M")
                                   << noAnswers << unknown("192.168.1.20:5555-extra-long-serial");
    QTest::newRow("tab separated") << header + "S1\tdevice\n" << noAnswers << unknown("S1");
    QTest::newRow("indented notice") << header + " *  device\n" << noAnswers << none;
    QTest::newRow("other white space")
            << header + QString("S1\u00a0device\n") << noAnswers << unknown("S1");
    QTest::newRow("device word only in fields")
            << header + other("A1", "offline device:thing") << noAnswers << notReady("offline");
}

void TestTextRules::headsetChoice()
{
    QFETCH(QString, text);
    QFETCH(DeviceAnswers, answers);
    QFETCH(Detected, expected);
    const QList<ListedDevice> devices = parseDeviceListing(text);
    QCOMPARE(detected(chooseHeadset(devices, answers)), expected);
}

void TestTextRules::headsetNames_data()
{
    QTest::addColumn<QString>("model"); // as adb lists it
    QTest::addColumn<QString>("name");

    const std::pair<const char *, const char *> rows[] = {
            {"A8110", "Pico 4 (A8110, S1)"},
            {"A8A10", "Pico 4 Pro (A8A10, S1)"},
            {"A8E50", "Pico 4 Enterprise (A8E50, S1)"},
            {"A9210", "Pico 4 Ultra (A9210, S1)"},
            {"A7Q10", "Pico G3 (A7Q10, S1)"},
            {"Pico_Neo_3", "Pico Neo 3 (S1)"},
            {"Pico_Neo3_Link", "Pico Neo 3 Link (Pico Neo3 Link, S1)"},
            // A model that the table does not know is shown as the device gives it.
            {"Pixel_7", "Pixel 7 (S1)"},
            {"", "S1"}};
    for (const auto &[model, name] : rows)
        QTest::newRow(*model ? model : "no model") << QString(model) << QString(name);
}

void TestTextRules::headsetNames()
{
    QFETCH(QString, model);
    QFETCH(QString, name);
    const ListedDevice device{"S1", "device", model.isEmpty() ? "" : "model:" + model};
    QCOMPARE(device.displayName(), name);
}

void TestTextRules::trackedListings_data()
{
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QStringList>("listings");
    QTest::addColumn<QByteArray>("pending");
    QTest::addColumn<bool>("ok");

    // The captured streams are read by the window in tst_startup; these are the cuts.
    const QByteArray captured = adbCapture("track-devices-plug-in-and-out").out.toUtf8();
    QByteArray crlf = captured;
    crlf.replace("\n", "\r\n");
    QTest::newRow("cut between CR and LF") << crlf.left(crlf.indexOf("\r\n") + 1) << QStringList{""}
                                           << crlf.mid(4, crlf.indexOf("\r\n") - 3) << true;
    QTest::newRow("cut within a listing")
            << captured.left(20) << QStringList{""} << captured.mid(4, 16) << true;
    QTest::newRow("cut within a length")
            << QByteArray("00") << QStringList{} << QByteArray("00") << true;
    QTest::newRow("not a length") << QByteArray("List of devices attached\n") << QStringList{}
                                  << QByteArray("List of devices attached\n") << false;
}

void TestTextRules::trackedListings()
{
    QFETCH(QByteArray, written);
    QFETCH(QStringList, listings);
    QFETCH(QByteArray, pending);
    QFETCH(bool, ok);
    bool gotOk = !ok;
    QCOMPARE(takeTrackedListings(written, gotOk), listings);
    QCOMPARE(written, pending);
    QCOMPARE(gotOk, ok);
}

// The rules that say yes or no of a text: adb's notices, the package and library listings, the
// firmware version and the storage path.
void TestTextRules::yesOrNo_data()
{
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("yes");
    const auto row = [](const char *rule, const QString &name, const QString &text, bool yes) {
        QTest::addRow("%s: %s", rule, qPrintable(name)) << QString::fromLatin1(rule) << text << yes;
    };
    const auto captured = [&](const char *rule, const char *capture, bool yes) {
        row(rule, capture, adbCapture(capture).out, yes);
    };

    for (const char *capture : {"devices-none-server-starts", "devices-server-version-mismatch"}) {
        for (const QString &line : answerLines(adbCapture(capture).err))
            row("notice", QString("%1: %2").arg(capture, line), line, true);
    }
    for (const QString &line : answerLines(adbCapture("devices-daemon-cannot-start").err)) {
        if (line.startsWith("* failed") || line.startsWith("adb:"))
            row("notice", "devices-daemon-cannot-start: " + line, line, false);
    }
    row("notice", "older client, starting", "* daemon not running. starting it now on port 5037 *",
        true);
    row("notice", "older client, started", "* daemon started successfully *", true);
    row("notice", "older client, out of date", "adb server is out of date.  killing...", true);
    row("notice", "shell-no-devices", adbCapture("shell-no-devices").err.trimmed(), false);

    captured("package", "pm-list-installed", true);
    captured("package", "pm-list-none", false);
    // pm matches any name that contains the one asked for.
    captured("package", "pm-list-beta-only", false);
    row("package", "among others, CR LF",
        "package:com.Brelvo.BrelvoVRViewer.beta\r\npackage:com.Brelvo.BrelvoVRViewer\r\n", true);
    row("package", "a complaint naming it", "Error: package:com.Brelvo.BrelvoVRViewer not found\n",
        false);

    captured("library", "ls-runtime-found", true);
    captured("library", "ls-runtime-missing", false);
    // Older headsets put ls's complaints, which name the path, on the same stream.
    captured("library", "ls-runtime-missing-old-shell", false);
    row("library", "second path, CR LF",
        "ls: /system/lib64/libopenxr_forwardloader.so: No such file or directory\r\n"
        "/vendor/lib64/libopenxr_forwardloader.so\r\n",
        true);

    row("version", "getprop-version", queried("getprop-version"), true);
    row("version", "getprop-unset", queried("getprop-unset"), false);
    row("version", "leading zeros", "5.07.10", true);
    row("version", "suffix", "5.9.0-beta", true);
    row("version", "trailing dot", "5.", true);
    row("version", "build number", "831", false);
    row("version", "letter first", "V5.7.1", false);
    row("version", "dot only in the suffix", "5-build.3", true);
    row("version", "dot first", ".5", false);
    row("version", "sign first", "+6m5.2", false);

    row("storage", "echo-storage", queried("echo-storage"), true);
    row("storage", "sdcard", "/sdcard", true);
    row("storage", "trailing slash", "/sdcard/", true);
    row("storage", "dots in names", "/mnt/user.0/a-b_c", true);
    row("storage", "empty", "", false);
    row("storage", "root", "/", false);
    row("storage", "root twice", "//", false);
    row("storage", "root with dots", "/./.", false);
    row("storage", "relative", "sdcard", false);
    row("storage", "space", "/sdcard ", false);
    row("storage", "space inside", "/storage/emulated/0 x", false);
    row("storage", "parent segment", "/sdcard/../system", false);
    row("storage", "parent at the end", "/sdcard/..", false);
    row("storage", "glob", "/sdcard/*", false);
    row("storage", "shell", "/sdcard;reboot", false);
    row("storage", "variable", "$EXTERNAL_STORAGE", false);
    row("storage", "line break", "/sdcard\n/system", false);
    row("storage", "final line break", "/sdcard\n", false);
    row("storage", "non-ASCII letter", QString::fromUtf8("/sdcard/\xc3\xa9"), false);
}

void TestTextRules::yesOrNo()
{
    QFETCH(QString, rule);
    QFETCH(QString, text);
    QFETCH(bool, yes);
    const QHash<QString, std::function<bool(const QString &)>> rules = {
            {"notice", isAdbNotice},
            {"package",
             [](const QString &out) {
                 return listsPackage(out, "com.Brelvo.BrelvoVRViewer");
             }},
            {"library",
             [](const QString &out) {
                 return listsAnyPath(out,
                                     {"/system/lib64/libopenxr_forwardloader.so",
                                      "/vendor/lib64/libopenxr_forwardloader.so"});
             }},
            {"version", isAcceptedPicoOsVersion},
            {"storage", isSafeStoragePath}};
    QVERIFY(rules.contains(rule));
    QCOMPARE(rules.value(rule)(text), yes);
}

void TestTextRules::packageVerdict_data()
{
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::addColumn<QString>("failure");

    const QList<std::pair<const char *, QString>> captured = {
            {"install-success", ""},
            {"install-success-old-firmware", ""},
            {"uninstall-success", ""},
            {"install-failure",
             "adb: failed to install /tmp/BrelvoVRViewer.apk: Failure "
             "[INSTALL_FAILED_INSUFFICIENT_STORAGE]"},
            // Older headsets report a failure on standard output, with exit code 0.
            {"install-failure-old-firmware", "Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]"},
            {"uninstall-not-installed-old-firmware", "Failure [DELETE_FAILED_INTERNAL_ERROR]"},
            {"uninstall-not-installed", "Failure [DELETE_FAILED_INTERNAL_ERROR]"},
            {"uninstall-refused", "Failure [DELETE_FAILED_DEVICE_POLICY_MANAGER]"},
            {"install-missing-apk",
             "adb: failed to stat /tmp/missing/BrelvoVRViewer.apk: No such file or directory"}};
    for (const QString &client : clients) {
        for (const auto &[name, failure] : captured) {
            if (!::captured(client, name))
                continue;
            const AdbCapture capture = adbCapture(client + name);
            QTest::newRow(qPrintable(client + name))
                    << capture.exitCode << capture.out << capture.err << failure;
        }
    }
    const QString notices = adbCapture("devices-server-version-mismatch").err;
    QTest::newRow("notices, then success") << 0 << "Performing Streamed Install\nSuccess\n"
                                           << notices << "";
    QTest::newRow("notices, then a failure")
            << 1 << "" << notices + "adb: failed to install x.apk: Failure [X]\n"
            << "adb: failed to install x.apk: Failure [X]";
    QTest::newRow("success and failure") << 0 << "Success\nFailure [X]\n"
                                         << ""
                                         << "Success\nFailure [X]";
    QTest::newRow("success, exit code 1") << 1 << "Success\n"
                                          << ""
                                          << "Success";
    QTest::newRow("success only within a line") << 0 << "No Success\n"
                                                << ""
                                                << "No Success";
    QTest::newRow("nothing said, exit code 0") << 0 << ""
                                               << ""
                                               << "adb did not report success.";
    QTest::newRow("nothing said, exit code 3") << 3 << "Performing Streamed Install\n"
                                               << ""
                                               << "adb ended with exit code 3.";
    QTest::newRow("a warning beside success")
            << 0 << "Success\n"
            << "WARNING: linker: app_process has text relocations.\n"
            << "";
}

void TestTextRules::packageVerdict()
{
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QString, failure);
    QCOMPARE(packageCommandFailure(exitCode, out, err), failure);
}

void TestTextRules::runtimeLibraryName_data()
{
    QTest::addColumn<QString>("manifest");
    QTest::addColumn<QString>("library");

    const QString def = "libopenxr_forwardloader.so";
    QTest::newRow("cat-manifest") << adbCapture("cat-manifest").out << def;
    QTest::newRow("cat-manifest-missing") << adbCapture("cat-manifest-missing").out << def;
    QTest::newRow("bare name")
            << R"({"file_format_version": "1.0.0", "runtime": {"library_path": "libxr_vendor_runtime.so"}})"
            << "libxr_vendor_runtime.so";
    QTest::newRow("first key counts")
            << R"({"library_path": "first.so", "library_path": "second.so"})"
            << "first.so";
    QTest::newRow("other letter case") << R"({"Library_Path": "libx.so"})" << def;
    QTest::newRow("blanks inside the quotes") << R"({"library_path": "  libx.so "})"
                                              << "libx.so";
    QTest::newRow("no colon") << R"({"library_path" "libx.so"})" << def;
    QTest::newRow("no closing quote") << R"({"library_path": "libx.so)" << def;
    QTest::newRow("no value quote") << R"({"library_path": 5})" << def;
    QTest::newRow("key and value on two lines") << "{\"library_path\":\r\n  \"libx.so\"}"
                                                << "libx.so";
    // A path is looked for by its file name.
    QTest::newRow("relative path") << R"({"library_path": "./lib/libruntime.so"})"
                                   << "libruntime.so";
    QTest::newRow("escaped slashes") << R"({"library_path": "\/vendor\/lib64\/libr.so"})"
                                     << "libr.so";
    // Nothing that names no file can be a library.
    QTest::newRow("empty value") << R"({"library_path": ""})" << def;
    QTest::newRow("blank value") << R"({"library_path": "   "})" << def;
    QTest::newRow("dot") << R"({"library_path": "."})" << def;
    QTest::newRow("dot dot") << R"({"library_path": "/vendor/lib64/.."})" << def;
    QTest::newRow("path ending in a slash") << R"({"library_path": "/vendor/lib64/"})" << def;
    // The name goes into a command line for the headset's shell.
    QTest::newRow("shell command") << R"({"library_path": "x;rm -r $EXTERNAL_STORAGE"})" << def;
    QTest::newRow("spaces inside") << R"({"library_path": "lib a.so"})" << def;
}

void TestTextRules::runtimeLibraryName()
{
    QFETCH(QString, manifest);
    QFETCH(QString, library);
    QCOMPARE(::runtimeLibraryName(manifest), library);
}

void TestTextRules::advice_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QStringList>("mentions");

    QFile file(BRELVO_TEST_DATA "/adb/failures.json");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonArray failures = QJsonDocument::fromJson(file.readAll())["failures"].toArray();
    QVERIFY(failures.size() > 30);
    for (const QJsonValue &failure : failures) {
        QStringList mentions;
        for (const QJsonValue &mention : failure["mentions"].toArray())
            mentions << mention.toString();
        QTest::newRow(qPrintable(failure["source"].toString()))
                << failure["text"].toString() << failure["advice"].toString() << mentions;
    }
}

void TestTextRules::advice()
{
    QFETCH(QString, text);
    QFETCH(QString, id);
    QFETCH(QStringList, mentions);
    const Advice advice = adviceFor(text);
    QCOMPARE(advice.id, id);
    QCOMPARE(advice.text.isEmpty(), id.isEmpty());
    // What to do comes after the arrow, as in every line of the program.
    if (!id.isEmpty())
        QVERIFY2(advice.text.contains(" -> "), qPrintable(advice.text));
    for (const QString &mention : mentions)
        QVERIFY2(advice.text.contains(mention), qPrintable(advice.text));
}

void TestTextRules::logLine_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("rows");

    const QString ellipsis(QChar(0x2026));
    QTest::newRow("plain") << "Starting" << QStringList{"Starting"};
    QTest::newRow("markup stays text") << "<b>&\"" << QStringList{"<b>&\""};
    QTest::newRow("runs of spaces and tabs") << "Pico  4\tPro" << QStringList{"Pico  4\tPro"};
    QTest::newRow("CR LF, CR, LF") << "a\r\nb\rc\nd" << QStringList{"a", "b", "c", "d"};
    QTest::newRow("no empty rows") << "\n\na\n\n\nb\n\n" << QStringList{"a", "b"};
    QTest::newRow("Unicode line separator")
            << QString("a") + QChar::LineSeparator + "b" << QStringList{"a", "b"};
    QTest::newRow("NUL and other control characters")
            << QString("a") + QChar(0) + "b\x01\tc" << QStringList{"ab\tc"};
    QTest::newRow("empty") << "" << QStringList{""};
    QTest::newRow("capped in characters") << QString(MaxLogLineLength + 5, 'x')
                                          << QStringList{QString(MaxLogLineLength, 'x') + ellipsis};
    QStringList many;
    for (int i = 0; i < 1500; ++i)
        many << QString::number(i);
    QStringList shown = many.mid(0, MaxLogRows);
    shown.last() += ellipsis;
    QTest::newRow("capped in rows") << many.join("\n") << shown;
    QTest::newRow("1,500 line breaks") << QString(1500, '\n') + "x" << QStringList{"x"};
}

void TestTextRules::logLine()
{
    QFETCH(QString, text);
    QFETCH(QStringList, rows);
    QCOMPARE(logRows(text), rows);
}

QTEST_GUILESS_MAIN(TestTextRules)
#include "tst_textrules.moc"
