#include "app/cbrelvopico.h"
#include "tests/support/bench.h"
#include "tests/support/expected.h"

#include <QDir>
#include <QTest>

using Calls = QList<QStringList>;
using namespace Expected;

// Which device the program works on when adb lists more than the headset, or the headset more
// than once; what today's adb clients say when the headset goes; and one action at a time,
// whatever the order of the first paint and the first click.
class TestDevices : public QObject
{
    Q_OBJECT

private slots:
    void phoneBesideAHeadsetNotReady_data();
    void phoneBesideAHeadsetNotReady();
    void headsetOnlyItsAnswerNames_data();
    void headsetOnlyItsAnswerNames();
    void notReadyStates_data();
    void notReadyStates();
    void statusLine_data();
    void statusLine();
    void newerClients_data();
    void newerClients();
    void clickBeforeTheFirstPaint();
    void noHeadsetAndAClickBeforeTheFirstPaint();
    void besideAnotherProgramsAdb();
};

static const QString usbSerial = "PA8110MGH7200123";
static const QString mdnsName = "adb-PA8110MGH7200123-kO2Rsd._adb-tls-connect._tcp";
static const QString phoneName = "Pixel 7 (0A1B2C3D4E5F)";

static QStringList getprop(const QString &serial, const QString &property)
{
    return {"-s", serial, "shell", "getprop", property};
}

// A phone with USB debugging on, with the app and its saved games.
static QJsonObject phone()
{
    return {{"serial", "0A1B2C3D4E5F"},
            {"state", "device"},
            {"model", "Pixel 7"},
            {"product", "panther"},
            {"device", "panther"},
            {"properties",
             QJsonObject{{"ro.product.model", "Pixel 7"},
                         {"ro.product.manufacturer", "Google"},
                         {"ro.product.brand", "google"}}},
            {"env", QJsonObject{{"EXTERNAL_STORAGE", "/sdcard"}}},
            {"files", QJsonObject{{"/sdcard/UE4Game/BrelvoVRViewer/Saved/SaveGame.sav", "x"}}},
            {"packages", QJsonArray{package}}};
}
static const Calls askPhone = {getprop("0A1B2C3D4E5F", "ro.product.manufacturer"),
                               getprop("0A1B2C3D4E5F", "ro.product.brand")};

// A Pico headset whose listing names only its model number, as some firmware has it.
static QJsonObject a8110(const QString &state = "device")
{
    QJsonObject device = Bench::pico(usbSerial, "A8110");
    device.insert("state", state);
    device.insert("product", "A8110");
    device.insert("device", "A8110");
    QJsonObject properties = device.value("properties").toObject();
    properties.insert("ro.product.manufacturer", "Pico");
    properties.insert("ro.serialno", usbSerial);
    device.insert("properties", properties);
    return device;
}

static QStringList installOn(const Bench &bench, const QString &serial)
{
    return {"-s", serial, "install", "-r",
            QDir::toNativeSeparators(bench.path("BrelvoVRViewer.apk"))};
}

void TestDevices::phoneBesideAHeadsetNotReady_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QStringList>("lines");

    for (const char *button : {"installPushButton", "uninstallPushButton"}) {
        QTest::addRow("%s, headset unauthorized", button)
                << button << "unauthorized" << notAuthorized;
        QTest::addRow("%s, headset offline", button)
                << button << "offline" << notAnswering("offline");
    }
}

void TestDevices::phoneBesideAHeadsetNotReady()
{
    QFETCH(QString, button);
    QFETCH(QString, state);
    QFETCH(QStringList, lines);

    Bench bench(Bench::simulated({QJsonObject{{"serial", "PA1"}, {"state", state}}, phone()}));
    QCOMPARE(bench.click(qPrintable(button)), lines);
    // The phone is asked who made it, and nothing else.
    QCOMPARE(bench.journal(), Calls{devices} + askPhone);
}

void TestDevices::headsetOnlyItsAnswerNames_data()
{
    QTest::addColumn<QJsonArray>("devices");
    QTest::addColumn<QString>("usingLine");
    QTest::addColumn<Calls>("asked");

    const QString picoAsked = "-s " + usbSerial + " shell getprop ro.product.manufacturer";
    const auto a8110Also = [](const QString &alias) {
        QJsonObject device = a8110();
        device.insert("alsoListedAs", alias);
        return device;
    };
    QTest::newRow("beside a phone")
            << QJsonArray{a8110(), phone()}
            << "I Using the Pico headset Pico 4 (A8110, " + usbSerial
                    + "); other Android devices are connected too."
            << askPhone + Calls{getprop(usbSerial, "ro.product.manufacturer")};
    // adb 35.0.2 and later on Windows also reach a paired headset through mDNS.
    QTest::newRow("listed twice, by USB and mDNS") << QJsonArray{a8110Also(mdnsName)}
                                                   << "I Using the Pico headset Pico 4 (A8110, "
                    + usbSerial + "); it is also connected wirelessly (" + mdnsName
                    + ")." << Calls{getprop(usbSerial, "ro.product.manufacturer")};
    QTest::newRow("listed twice, by USB and adb connect")
            << QJsonArray{a8110Also("192.168.1.20:5555")}
            << "I Using the Pico headset Pico 4 (A8110, " + usbSerial
                    + "); it is also connected wirelessly (192.168.1.20:5555)."
            << Calls{getprop("192.168.1.20:5555", "ro.serialno"),
                     getprop(usbSerial, "ro.product.manufacturer")};
}

void TestDevices::headsetOnlyItsAnswerNames()
{
    QFETCH(QJsonArray, devices);
    QFETCH(QString, usingLine);
    QFETCH(Calls, asked);

    Bench bench(Bench::simulated(devices));
    const QStringList lines = bench.click("installPushButton");
    QCOMPARE(lines.value(0), usingLine);
    QCOMPARE(lines.constLast(), installed);
    // Each device is asked once; everything after names the USB entry.
    const Calls calls = bench.journal();
    QCOMPARE(calls.mid(0, 1 + asked.size()), Calls{Expected::devices} + asked);
    QCOMPARE(calls.value(1 + asked.size()), Expected::devices);
    for (const QStringList &call : calls.mid(2 + asked.size()))
        QCOMPARE(call.mid(0, 2), (QStringList{"-s", usbSerial}));
    QCOMPARE(calls.constLast(), installOn(bench, usbSerial));
}

void TestDevices::notReadyStates_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("detached") << "detached" << notAnswering("detached");
    QTest::newRow("connecting") << "connecting" << notAnswering("connecting");
    QTest::newRow("authorizing") << "authorizing" << notAuthorized;
    QTest::newRow("no permissions")
            << "no permissions (missing udev rules? user is in the plugdev group); see "
               "[http://developer.android.com/tools/device.html]"
            << QStringList{"E adb may not use the Pico headset's USB connection (adb lists it as "
                           "\"no permissions\"). -> Please add the udev rule for it and try "
                           "again.",
                           "I On Linux, adb may use a USB device only through a udev rule. -> "
                           "Please install the package android-sdk-platform-tools-common "
                           "(Debian, Ubuntu) or add a rule for the headset to "
                           "/etc/udev/rules.d/, make sure that you are in the plugdev group, "
                           "then unplug the headset and plug it in again."};
    QTest::newRow("recovery")
            << "recovery"
            << QStringList{"E The Pico headset is not ready (adb lists it as recovery). -> Please "
                           "restart it and try again.",
                           "I The headset is in a mode for repairing or updating its system, not "
                           "for apps. -> Please restart it normally (hold its power button), then "
                           "try again."};
}

void TestDevices::notReadyStates()
{
    QFETCH(QString, state);
    QFETCH(QStringList, lines);
    Bench bench(Bench::simulated({QJsonObject{{"serial", "PA1"}, {"state", state}}}));
    QCOMPARE(bench.click("installPushButton"), lines);
    QCOMPARE(bench.journal(), Calls{devices});
}

void TestDevices::statusLine_data()
{
    QTest::addColumn<QJsonArray>("devices");
    QTest::addColumn<QString>("line");

    QJsonObject twice = a8110();
    twice.insert("alsoListedAs", mdnsName);
    QTest::newRow("phone alone") << QJsonArray{phone()}
                                 << "I " + phoneName
                    + " is not a Pico headset. -> Please connect the Pico headset by USB, with "
                      "developer mode and USB debugging turned on.";
    QTest::newRow("headset named by its answer, beside a phone")
            << QJsonArray{a8110(), phone()}
            << "I Pico headset connected: Pico 4 (A8110, " + usbSerial
                    + "). Other Android devices are connected too.";
    // Known by the name its users give it, though its listing names no Pico.
    QJsonObject ultra = a8110();
    ultra.insert("model", "A9210");
    ultra.insert("product", "sparrow");
    ultra.insert("device", "sparrow");
    QTest::newRow("Pico 4 Ultra") << QJsonArray{
            ultra} << "I Pico headset connected: Pico 4 Ultra (A9210, " + usbSerial + ").";
    QTest::newRow("headset listed twice") << QJsonArray{twice}
                                          << "I Pico headset connected: Pico 4 (A8110, " + usbSerial
                    + "). It is also connected wirelessly.";
    QJsonObject silent = phone();
    silent.insert("properties", QJsonObject{{"ro.product.model", "Pixel 7"}});
    QTest::newRow("one device that does not say who made it")
            << QJsonArray{silent}
            << "I Android device connected: " + phoneName
                    + ". It does not say who made it; the program takes it for the headset.";
}

void TestDevices::statusLine()
{
    QFETCH(QJsonArray, devices);
    QFETCH(QString, line);
    Bench bench(Bench::simulated(devices));
    bench.window()->show();
    QTRY_VERIFY_WITH_TIMEOUT(logLines(bench.window()).size() > 1, 20000);
    // The watcher's first listing is the same: nothing more is said, nothing asked again, until
    // the devices change.
    QTRY_VERIFY_WITH_TIMEOUT(bench.trackedListings() > 0, 20000);
    bench.setScenario(Bench::simulated({recoveryDevice}));
    QTRY_COMPARE_WITH_TIMEOUT(logLines(bench.window()).constLast(), recoveryLine, 20000);
    QCOMPARE(logLines(bench.window()).mid(1), (QStringList{line, recoveryLine}));
    const Calls calls = bench.journal();
    for (const QStringList &call : calls)
        QCOMPARE(calls.count(call), 1);
    bench.killRunningAdb();
}

void TestDevices::newerClients_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QJsonObject>("scenario");
    QTest::addColumn<QStringList>("lines");

    QJsonObject installed = Bench::pico("PA1");
    installed.insert("packages", QJsonArray{package});
    // The headset goes right before the command: the devices, pm, the devices once more.
    QJsonObject gone = Bench::simulated({installed});
    gone.insert("client", 34);
    gone.insert("vanishAfter", 3);
    QTest::newRow("uninstall, headset gone, adb 34")
            << "uninstallPushButton" << gone
            << QStringList{uninstalling} + disconnected("uninstalling");

    QJsonObject full = Bench::pico("PA1");
    full.insert("installResult", "INSTALL_FAILED_INSUFFICIENT_STORAGE");
    QJsonObject full36 = Bench::simulated({full});
    full36.insert("client", 36);
    QTest::newRow("install refused, adb 36 as adb.exe")
            << "installPushButton" << full36
            << QStringList{installing,
                           "I PICO OS version: 5.7.1",
                           "I Device model: Pico 4",
                           openXrLine,
                           "E Error installing Package: adb.exe: failed to install %APK%: "
                           "Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]",
                           storageAdvice};
    QJsonObject dropping = Bench::pico("PA1");
    dropping.insert("dropDuringInstall", true);
    QTest::newRow("headset lost during the install, adb's sentence cut")
            << "installPushButton" << Bench::simulated({dropping})
            << QStringList{installing, "I PICO OS version: 5.7.1", "I Device model: Pico 4",
                           openXrLine}
                    + disconnected("installing");
    // adb 1.0.41 and 34.0.5 end a command whose link dropped with exit code 0 and no word.
    QJsonObject dropsAtQuery =
            Bench::simulated({installed},
                             {Bench::rule({"-s", "PA1", "shell", "pm", "list", "packages", package},
                                          {Bench::replay("adb-34.0.5/shell-link-dropped")})});
    dropsAtQuery.insert("vanishAfter", 2);
    QTest::newRow("link drops during the package query, adb 34")
            << "uninstallPushButton" << dropsAtQuery << QStringList{uninstalling} + notFound;
    QJsonObject dropsAtUninstall =
            Bench::simulated({installed},
                             {Bench::rule({"-s", "PA1", "uninstall", package},
                                          {Bench::replay("uninstall-link-dropped")})});
    // The devices, pm, the devices once more, and the uninstall during which it goes.
    dropsAtUninstall.insert("vanishAfter", 4);
    QTest::newRow("link drops during the uninstall, adb 1.0.41")
            << "uninstallPushButton" << dropsAtUninstall
            << QStringList{uninstalling} + disconnected("uninstalling");
    // adb 35.0.1 and later (client/commandline.cpp: a shell whose link drops returns 255).
    QTest::newRow("link drops during a query, derived from adb 35's source")
            << "uninstallPushButton"
            << Bench::simulated(
                       {installed},
                       {Bench::rule({"-s", "PA1", "shell", "pm", "list", "packages", package},
                                    Bench::reply("", "", 255))})
            << QStringList{uninstalling, notAsked, reconnectAdvice};
}

void TestDevices::newerClients()
{
    QFETCH(QString, button);
    QFETCH(QJsonObject, scenario);
    QFETCH(QStringList, lines);
    Bench bench(scenario);
    lines.replaceInStrings("%APK%", QDir::toNativeSeparators(bench.path("BrelvoVRViewer.apk")));
    QCOMPARE(bench.click(qPrintable(button)), lines);
}

void TestDevices::clickBeforeTheFirstPaint()
{
    QJsonObject slow = Bench::pico("PA1");
    slow.insert("installMs", 2000);
    Bench bench(Bench::simulated({slow}));
    CBrelvoPico *window = bench.window();
    QList<bool> enabledDuring;
    probeButtonsDuringAction(window, enabledDuring);
    // The window is painted inside the action's first wait.
    window->show();
    const QStringList lines = bench.click("installPushButton");
    QCOMPARE(lines.constFirst(), installing);
    QCOMPARE(lines.constLast(), installed);
    QCOMPARE(enabledDuring, (QList<bool>{false, false, true}));
    // The two detections of the action, and no third of the start-up's.
    const Calls calls = bench.journal();
    QCOMPARE(calls.count(devices), 2);
    QCOMPARE(calls.count(installOn(bench, "PA1")), 1);
    bench.killRunningAdb();
}

void TestDevices::noHeadsetAndAClickBeforeTheFirstPaint()
{
    // The window is painted while the click lists the devices, and the watcher, started then,
    // lists them once the click is over.
    QJsonObject slowListing = Bench::replay("devices-none");
    slowListing.insert("delayMs", 500);
    QJsonObject scenario = Bench::simulated({}, {Bench::rule(devices, slowListing)});
    scenario.insert("firstListingMs", 1500);
    Bench bench(scenario);
    CBrelvoPico *window = bench.window();
    window->show();
    QCOMPARE(bench.click("uninstallPushButton"), notFound);
    // The watcher's first listing tells nothing new; the headset plugged in is told.
    QTRY_COMPARE_WITH_TIMEOUT(bench.trackedListings(), 1, 20000);
    bench.setScenario(Bench::simulated({Bench::pico("PA1")}));
    const QString connected = "I Pico headset connected: Pico 4 (PA1).";
    QTRY_COMPARE_WITH_TIMEOUT(logLines(window).constLast(), connected, 20000);
    QCOMPARE(logLines(window).mid(1), notFound + QStringList{connected});
    bench.killRunningAdb();
}

void TestDevices::besideAnotherProgramsAdb()
{
    // Another program's adb replaces the server every 300 ms, and this program's replaces it
    // back; the install takes longer than that.
    QJsonObject slow = Bench::pico("PA1");
    slow.insert("installMs", 1500);
    QJsonObject scenario = Bench::simulated({slow});
    scenario.insert("otherAdbPollsMs", 300);
    Bench bench(scenario);
    CBrelvoPico *window = bench.window();
    window->show();
    const QString connected = "I Pico headset connected: Pico 4 (PA1).";
    QTRY_COMPARE_WITH_TIMEOUT(logLines(window).mid(1), (QStringList{connected, otherAdbAdvice}),
                              20000);
    // The watcher rests once its server was replaced: no adb of its own keeps the fight going,
    // not while the user waits, nor while the install runs; the word on it is said once.
    QCOMPARE(bench.journal().count({"track-devices", "-l"}), 1);
    QCOMPARE(bench.click("installPushButton"),
             (QStringList{installing, "I PICO OS version: 5.7.1", "I Device model: Pico 4",
                          openXrLine,
                          "E Error installing Package: adb's background service was replaced in "
                          "the middle, most likely by another program's adb; the app may already "
                          "be on the headset. -> Please press Install again to make sure."}));
    QCOMPARE(bench.deviceState().value("installedApk"), "BrelvoVRViewer.apk");
    // After the action it follows the devices again.
    QTRY_COMPARE_WITH_TIMEOUT(bench.journal().constLast(), (QStringList{"track-devices", "-l"}),
                              20000);
    QCOMPARE(bench.journal().count({"track-devices", "-l"}), 1);
    bench.killRunningAdb();
}

QTEST_MAIN(TestDevices)
#include "tst_devices.moc"
