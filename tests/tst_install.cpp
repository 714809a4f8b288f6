#include "adbbench.h"
#include "cbrelvopico.h"
#include "expected.h"

#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using Calls = QList<QStringList>;
using namespace Expected;

// The Install button from the click to the last line in the log, against a simulated headset
// and against canned adb answers.
class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void earlyStops_data();
    void earlyStops();
    void builds_data();
    void builds();
    void verdicts_data();
    void verdicts();
    void adbCannotStart();
    void headsetGoneAtTheSecondDetection();
    void headsetLostDuringTheInstall();
    void buttonsAreDisabledWhileAdbWorks();

private:
    QStringList clickInstall();

    AdbBench *bench = nullptr;
    CBrelvoPico *window = nullptr;
};

void TestInstall::cleanup()
{
    delete window;
    window = nullptr;
    delete bench;
    bench = nullptr;
}

QStringList TestInstall::clickInstall()
{
    if (!window)
        window = new CBrelvoPico;
    return clickAndRead(*bench, window, "installPushButton");
}

void TestInstall::earlyStops_data()
{
    QTest::addColumn<bool>("adb");
    QTest::addColumn<int>("apks");
    QTest::addColumn<QJsonObject>("scenario");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<Calls>("calls");

    const int all = AdbBench::AllApks;
    const QJsonObject neo2 = AdbBench::simulated({AdbBench::pico("N2", "Pico Neo 2")});
    const QJsonObject unauthorized =
            AdbBench::simulated({QJsonObject{{"serial", "PA1"}, {"state", "unauthorized"}}});
    QTest::newRow("no adb, no APK")
            << false << 0 << neo2 << QStringList{"E Error: Cannot find adb"} << Calls{};
    QTest::newRow("no OpenXR APK, Neo 2 build present")
            << true << (all & ~AdbBench::OpenXrApk) << neo2
            << QStringList{"E Error: Cannot find Brelvo VR Viewer APK"} << Calls{};
    QTest::newRow("not authorized")
            << true << all << unauthorized << QStringList{notAuthorized} << Calls{devices};
    QTest::newRow("offline beside nothing")
            << true << all
            << AdbBench::simulated({QJsonObject{{"serial", "PA1"}, {"state", "offline"}}})
            << QStringList{notAuthorized} << Calls{devices};
    QTest::newRow("no headset") << true << all << AdbBench::simulated({}) << QStringList{notFound}
                                << Calls{devices};
    QTest::newRow("adb prints nothing")
            << true << all
            << QJsonObject{{"rules", QJsonArray{AdbBench::catchAll(AdbBench::reply(""))}}}
            << QStringList{notFound} << Calls{devices};
}

void TestInstall::earlyStops()
{
    QFETCH(bool, adb);
    QFETCH(int, apks);
    QFETCH(QJsonObject, scenario);
    QFETCH(QStringList, lines);
    QFETCH(Calls, calls);

    bench = new AdbBench(apks, adb);
    bench->setScenario(scenario);
    QCOMPARE(clickInstall(), lines);
    QCOMPARE(bench->journal(), calls);
}

void TestInstall::builds_data()
{
    QTest::addColumn<QJsonObject>("device");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("apk");
    QTest::addColumn<int>("queries"); // adb runs between the two detections and the install

    QTest::newRow("Pico Neo 2") << AdbBench::pico("N2", "Pico Neo 2")
                                << QStringList{installing, "I Package installed successfully!"}
                                << "BrelvoVRViewer-Pico2.apk" << 0;
    QTest::newRow("OpenXR") << AdbBench::pico("P4", "Pico 4", "5.7.1", true)
                            << QStringList{installing, "I PICO OS version: 5.7.1",
                                           "I Device model: Pico 4", openXrLine,
                                           "I Package installed successfully!"}
                            << "BrelvoVRViewer.apk" << 4;
    QTest::newRow("Legacy") << AdbBench::pico("G2", "Pico G2 4K", "4.8.19", false)
                            << QStringList{installing, "I PICO OS version: 4.8.19",
                                           "I Device model: Pico G2 4K", legacyLine,
                                           "I Package installed successfully!"}
                            << "BrelvoVRViewer-Legacy.apk" << 4;
    QJsonObject bare = AdbBench::pico("X1", "", "", true);
    QTest::newRow("no version, no model")
            << bare << QStringList{installing, openXrLine, "I Package installed successfully!"}
            << "BrelvoVRViewer.apk" << 8;
    QTest::newRow("model with markup")
            << AdbBench::pico("X2", "<b>Pico</b> & Co", "5.9.0-beta", false)
            << QStringList{installing, "I PICO OS version: 5.9.0-beta",
                           "I Device model: <b>Pico</b> & Co", legacyLine,
                           "I Package installed successfully!"}
            << "BrelvoVRViewer-Legacy.apk" << 4;
}

void TestInstall::builds()
{
    QFETCH(QJsonObject, device);
    QFETCH(QStringList, lines);
    QFETCH(QString, apk);
    QFETCH(int, queries);

    bench = new AdbBench;
    bench->setScenario(AdbBench::simulated({device}));
    QCOMPARE(clickInstall(), lines);

    const QString serial = device.value("serial").toString();
    const Calls calls = bench->journal();
    QCOMPARE(calls.size(), 2 + queries + 1);
    QCOMPARE(calls.at(0), devices);
    QCOMPARE(calls.at(1), devices);
    for (int i = 2; i < 2 + queries; ++i)
        QCOMPARE(calls.at(i).mid(0, 3), (QStringList{"-s", serial, "shell"}));
    QCOMPARE(calls.constLast(), (QStringList{"-s", serial, "install", "-r", bench->path(apk)}));
    QCOMPARE(bench->deviceState().value("installedApk").toString(), apk);
}

void TestInstall::verdicts_data()
{
    QTest::addColumn<QJsonObject>("answer");
    QTest::addColumn<QString>("line");

    QTest::newRow("success") << AdbBench::reply("Performing Streamed Install\r\nSuccess\r\n")
                             << "I Package installed successfully!";
    QTest::newRow("failure over several lines")
            << AdbBench::reply("Performing Streamed Install\n",
                               "adb: failed to install x.apk: Failure "
                               "[INSTALL_FAILED_INSUFFICIENT_STORAGE]\nsecond line\n",
                               1)
            << "E Error installing Package: adb: failed to install x.apk: Failure "
               "[INSTALL_FAILED_INSUFFICIENT_STORAGE]|E second line";
    QTest::newRow("non-zero exit, empty error stream")
            << AdbBench::reply("Failure [INSTALL_FAILED_VERSION_DOWNGRADE]\n", "", 1)
            << "E Error installing Package: Failure [INSTALL_FAILED_VERSION_DOWNGRADE]";
    QTest::newRow("warning on the error stream")
            << AdbBench::reply("Success\n", "WARNING: linker: something\n", 0)
            << "E Error installing Package: WARNING: linker: something";
    QTest::newRow("non-zero exit, no output")
            << AdbBench::reply("", "", 3)
            << "E Error installing Package: adb ended with exit code 3.";
    QTest::newRow("crash") << QJsonObject{{"stdout", "Performing Streamed Install\n"},
                                          {"crash", true}}
                           << "E Error installing Package: adb stopped unexpectedly. -> Please "
                              "reconnect the headset and try again.";
    QTest::newRow("markup in the error")
            << AdbBench::reply("", "<font color=#cccccc>Package installed successfully!</font>", 1)
            << "E Error installing Package: <font color=#cccccc>Package installed "
               "successfully!</font>";
}

void TestInstall::verdicts()
{
    QFETCH(QJsonObject, answer);
    QFETCH(QString, line);

    bench = new AdbBench;
    QJsonObject scenario = AdbBench::simulated({AdbBench::pico("N2", "Pico Neo 2")});
    scenario.insert("rules",
                    QJsonArray{AdbBench::rule(
                            {"-s", "N2", "install", "-r", bench->path("BrelvoVRViewer-Pico2.apk")},
                            answer)});
    bench->setScenario(scenario);
    QCOMPARE(clickInstall(), QStringList{installing} + line.split('|'));
    QCOMPARE(bench->runningAdbCount(), 0);
}

void TestInstall::adbCannotStart()
{
    bench = new AdbBench;
    window = new CBrelvoPico;
    // adb answers both detections, then cannot be run any more (as when security software
    // steps in).
    const QString neo2 = listingHeader + readyLine("N2", "Pico_Neo_2");
    QJsonObject breaks = AdbBench::reply(neo2);
    breaks.insert("breakAdb", true);
    bench->setScenario(
            {{"rules",
              QJsonArray{AdbBench::rule(devices, QJsonArray{AdbBench::reply(neo2), breaks})}}});
    QCOMPARE(clickInstall(),
             (QStringList{installing,
                          "E Error installing Package: \"./" + AdbBench::adbFileName()
                                  + "\" could not be started. -> Please check that it "
                                    "is there and complete; security software may be "
                                    "blocking it."}));
    QCOMPARE(bench->journal(), (Calls{devices, devices}));
}

void TestInstall::headsetGoneAtTheSecondDetection()
{
    bench = new AdbBench;
    bench->setScenario(
            {{"rules",
              QJsonArray{QJsonObject{
                      {"args", QJsonArray{"devices", "-l"}},
                      {"responses",
                       QJsonArray{AdbBench::reply(listingHeader + readyLine("P4", "Pico_4")),
                                  AdbBench::reply(listingHeader + "\n")}}}}}});
    QCOMPARE(clickInstall(), (QStringList{installing, notFound}));
    QCOMPARE(bench->journal(), (Calls{devices, devices}));
}

void TestInstall::headsetLostDuringTheInstall()
{
    bench = new AdbBench;
    QJsonObject scenario = AdbBench::simulated({AdbBench::pico("N2", "Pico Neo 2")});
    scenario.insert("rules",
                    QJsonArray{AdbBench::rule(
                            {"-s", "N2", "install", "-r", bench->path("BrelvoVRViewer-Pico2.apk")},
                            QJsonObject{{"stderr", "- waiting for device -\n"}, {"hang", true}})});
    bench->setScenario(scenario);
    QCOMPARE(clickInstall(),
             (QStringList{installing,
                          "E Error installing Package: The Pico headset was "
                          "disconnected. -> Please reconnect it and try again."}));
    QCOMPARE(bench->runningAdbCount(), 0);
}

void TestInstall::buttonsAreDisabledWhileAdbWorks()
{
    bench = new AdbBench;
    QJsonObject device = AdbBench::pico("N2", "Pico Neo 2");
    device.insert("installMs", 1500);
    bench->setScenario(AdbBench::simulated({device}));
    window = new CBrelvoPico;

    QList<bool> during;
    probeButtonsDuringAction(window, during);
    QCOMPARE(clickInstall(), (QStringList{installing, installed}));
    QCOMPARE(during, (QList<bool>{false, false, true}));
    QCOMPARE(bench->journal().size(), 3); // the second clicks started nothing
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
