#include "app/cbrelvopico.h"
#include "tests/support/bench.h"
#include "tests/support/expected.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <algorithm>

using Calls = QList<QStringList>;
using namespace Expected;

// The Install button from the click to the last line in the log, against a simulated headset
// and against canned adb answers.
class TestInstall : public QObject
{
    Q_OBJECT

private slots:
    void earlyStops_data();
    void earlyStops();
    void builds_data();
    void builds();
    void adbAnswers_data();
    void adbAnswers();
    void verdicts_data();
    void verdicts();
    void unansweredQuestions_data();
    void unansweredQuestions();
    void adbCannotStart();
    void waitingLineCountsTheSeconds();
};

static QStringList installNeo2(const Bench &bench)
{
    return {"-s", "N2", "install", "-r",
            QDir::toNativeSeparators(bench.path("BrelvoVRViewer-Pico2.apk"))};
}

void TestInstall::earlyStops_data()
{
    QTest::addColumn<bool>("adb");
    QTest::addColumn<int>("apks");
    QTest::addColumn<QJsonObject>("scenario");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<Calls>("calls");

    const int all = Bench::AllApks;
    const QJsonObject neo2 = Bench::simulated({Bench::pico("N2", "Pico Neo 2")});
    QTest::newRow("no adb, no APK")
            << false << 0 << neo2 << QStringList{"E Error: Cannot find adb"} << Calls{};
    QTest::newRow("no OpenXR APK, Neo 2 build present")
            << true << (all & ~Bench::OpenXrApk) << neo2
            << QStringList{"E Error: Cannot find Brelvo VR Viewer APK"} << Calls{};
    QTest::newRow("not authorized")
            << true << all << Bench::rules({Bench::listing(adbCapture("devices-unauthorized").out)})
            << notAuthorized << Calls{devices};
    QTest::newRow("offline beside nothing")
            << true << all << Bench::rules({Bench::listing(adbCapture("devices-offline").out)})
            << notAnswering("offline") << Calls{devices};
    QTest::newRow("no headset") << true << all
                                << Bench::rules(
                                           {Bench::rule(devices, Bench::replay("devices-none"))})
                                << notFound << Calls{devices};
    QTest::newRow("adb crashes")
            << true << all << Bench::rules({Bench::rule(devices, QJsonObject{{"crash", true}})})
            << QStringList{"E Error: adb stopped unexpectedly while looking for the headset. -> "
                           "Please check that the tools folder beside the program is complete, "
                           "and try again."}
            << Calls{devices};
    QTest::newRow("adb's server cannot start")
            << true
            << all
            // the last lines of what the real adb says then
            << Bench::rules({Bench::rule(devices,
                                         Bench::reply("",
                                                      "* failed to start daemon\nadb: failed to "
                                                      "check server version: cannot connect to "
                                                      "daemon\n",
                                                      1))})
            << QStringList{"E Error: adb could not look for the headset. -> Please close other "
                           "programs that use adb, or restart the computer, and try again.",
                           "E * failed to start daemon",
                           "E adb: failed to check server version: cannot connect to daemon",
                           adbServiceAdvice}
            << Calls{devices};
    QTest::newRow("adb prints nothing")
            << true << all << Bench::rules({Bench::catchAll(Bench::reply(""))}) << notFound
            << Calls{devices};
    const QString lookFailed = "E Error: adb could not look for the headset. -> Please close "
                               "other programs that use adb, or restart the computer, and try "
                               "again.";
    QTest::newRow("adb ends with an exit code and says nothing")
            << true << all << Bench::rules({Bench::rule(devices, Bench::reply("", "", 1))})
            << QStringList{lookFailed, "E adb ended with exit code 1."} << Calls{devices};
    QTest::newRow("adb does not answer")
            << true << all << Bench::rules({Bench::rule(devices, QJsonObject{{"hang", true}})})
            << QStringList{"E Error: adb did not answer within 1 seconds. -> Please close other "
                           "programs that use adb, or restart the computer, and try again.",
                           noAnswerAdvice}
            << Calls{devices};
}

void TestInstall::earlyStops()
{
    QFETCH(bool, adb);
    QFETCH(int, apks);
    QFETCH(QJsonObject, scenario);
    QFETCH(QStringList, lines);
    QFETCH(Calls, calls);

    Bench bench(scenario, apks, adb);
    // A short bound where adb hangs; elsewhere the real one, for a slow machine's sake.
    if (QJsonDocument(scenario).toJson().contains("\"hang\""))
        bench.window()->setAdbTimeout(1000);
    QCOMPARE(bench.click("installPushButton"), lines);
    QCOMPARE(bench.journal(), calls);
    QCOMPARE(bench.runningAdb(), QList<QStringList>());
}

void TestInstall::builds_data()
{
    QTest::addColumn<QJsonObject>("device");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("apk");

    QTest::newRow("Pico Neo 2") << Bench::pico("N2", "Pico Neo 2")
                                << QStringList{installing, installed} << "BrelvoVRViewer-Pico2.apk";
    QTest::newRow("OpenXR") << Bench::pico("P4", "Pico 4", "5.7.1", true)
                            << QStringList{installing, "I PICO OS version: 5.7.1",
                                           "I Device model: Pico 4", openXrLine, installed}
                            << "BrelvoVRViewer.apk";
    QTest::newRow("Legacy") << Bench::pico("G2", "Pico G2 4K", "4.8.19", false)
                            << QStringList{installing, "I PICO OS version: 4.8.19",
                                           "I Device model: Pico G2 4K", legacyLine, installed}
                            << "BrelvoVRViewer-Legacy.apk";
    QTest::newRow("no version, no model")
            << Bench::pico("X1", "", "", true) << QStringList{installing, openXrLine, installed}
            << "BrelvoVRViewer.apk";
    QTest::newRow("model with markup")
            << Bench::pico("X2", "<b>Pico</b> & Co", "5.9.0-beta", false)
            << QStringList{installing, "I PICO OS version: 5.9.0-beta",
                           "I Device model: <b>Pico</b> & Co", legacyLine, installed}
            << "BrelvoVRViewer-Legacy.apk";
}

// The install commands that reached adb, by the file they install.
static QStringList installs(const Calls &calls)
{
    QStringList apks;
    for (const QStringList &call : calls) {
        if (call.value(2) == "install")
            apks << QFileInfo(call.constLast()).fileName();
    }
    return apks;
}

void TestInstall::builds()
{
    QFETCH(QJsonObject, device);
    QFETCH(QStringList, lines);
    QFETCH(QString, apk);

    Bench bench(Bench::simulated({device}));
    QCOMPARE(bench.click("installPushButton"), lines);
    // Exactly one install reached adb, the last command, on the headset found twice.
    const QString serial = device.value("serial").toString();
    const Calls calls = bench.journal();
    QCOMPARE(calls.mid(0, 2), (Calls{devices, devices}));
    QCOMPARE(installs(calls), QStringList{apk});
    QCOMPARE(calls.constLast(),
             (QStringList{"-s", serial, "install", "-r",
                          QDir::toNativeSeparators(bench.path(apk))}));
    QCOMPARE(bench.deviceState().value("installedApk").toString(), apk);
}

void TestInstall::adbAnswers_data()
{
    QTest::addColumn<QJsonObject>("scenario");
    QTest::addColumn<int>("apks");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("apk"); // in the install command; empty: none was sent

    const int all = Bench::AllApks;
    const QJsonObject neo2 = Bench::pico("N2", "Pico Neo 2");
    QJsonObject olderG2 = Bench::pico("G2", "Pico G2 4K", "4.8.19", false);
    olderG2.insert("oldShell", true);
    const QStringList g2Lines = {installing, "I PICO OS version: 4.8.19",
                                 "I Device model: Pico G2 4K", legacyLine};
    const QJsonObject phone{{"serial", "PHONE"}, {"state", "device"}, {"model", "Pixel 7"}};
    const QJsonObject emulator{{"serial", "emulator-5554"}, {"state", "device"}, {"model", "sdk"}};
    QJsonObject notices = Bench::simulated({neo2});
    notices.insert("noticesAt", QJsonArray{0, 1, 2});
    QJsonObject refusing = olderG2;
    refusing.insert("installResult", "INSTALL_FAILED_INSUFFICIENT_STORAGE");
    const QJsonArray changing = {Bench::reply(listingHeader + readyLine("N2", "Pico_Neo_2")),
                                 Bench::reply(listingHeader + readyLine("PHONE", "Pixel_7"))};

    QJsonObject windowsLineEnds = Bench::simulated({neo2});
    windowsLineEnds.insert("crlf", true);
    QTest::newRow("Windows line ends")
            << windowsLineEnds << all << QStringList{installing, installed}
            << "BrelvoVRViewer-Pico2.apk";
    QTest::newRow("another program's adb server")
            << notices << all << QStringList{installing, installed, otherAdbAdvice}
            << "BrelvoVRViewer-Pico2.apk";
    QTest::newRow("older firmware without a runtime")
            << Bench::simulated({olderG2}) << all << g2Lines + QStringList{installed}
            << "BrelvoVRViewer-Legacy.apk";
    QTest::newRow("older firmware refuses the install") << Bench::simulated({refusing}) << all
                                                        << g2Lines
                    + QStringList{"E Error installing Package: Failure "
                                  "[INSTALL_FAILED_INSUFFICIENT_STORAGE]",
                                  storageAdvice} << "BrelvoVRViewer-Legacy.apk";
    QTest::newRow("a phone beside the headset")
            << Bench::simulated({phone, neo2}) << all
            << QStringList{"I Using the Pico headset Pico Neo 2 (N2); other Android devices are "
                           "connected too.",
                           installing, installed}
            << "BrelvoVRViewer-Pico2.apk";
    QTest::newRow("a phone and an emulator")
            << Bench::simulated({phone, emulator}) << all
            << QStringList{"E Several Android devices are connected: Pixel 7 (PHONE), sdk "
                           "(emulator-5554). -> Please unplug all but the Pico headset and try "
                           "again."}
            << "";
    QTest::newRow("another device at the second detection")
            << Bench::simulated({neo2, phone}, {Bench::rule(devices, changing)}) << all
            << QStringList{installing,
                           "E The connected devices changed while the program was working. -> "
                           "Please keep only the Pico headset connected and try again."}
            << "";
    QTest::newRow("the Legacy build is missing")
            << Bench::simulated({Bench::pico("G2", "Pico G2 4K", "4.8.19", false)})
            << (all & ~Bench::LegacyApk)
            << g2Lines + QStringList{"E Error: Cannot find Brelvo VR Viewer Legacy APK"} << "";
    QTest::newRow("the Neo 2 build is missing")
            << Bench::simulated({neo2}) << (all & ~Bench::Pico2Apk)
            << QStringList{installing, "E Error: Cannot find Brelvo VR Viewer Pico Neo 2 APK"}
            << "";
}

void TestInstall::adbAnswers()
{
    QFETCH(QJsonObject, scenario);
    QFETCH(int, apks);
    QFETCH(QStringList, lines);
    QFETCH(QString, apk);

    Bench bench(scenario, apks);
    QCOMPARE(bench.click("installPushButton"), lines);
    QCOMPARE(installs(bench.journal()), apk.isEmpty() ? QStringList() : QStringList{apk});
}

void TestInstall::verdicts_data()
{
    QTest::addColumn<QJsonObject>("answer");
    QTest::addColumn<QString>("line");

    QTest::newRow("install-success") << Bench::replay("install-success") << installed;
    QTest::newRow("install-failure")
            << Bench::replay("install-failure")
            << "E Error installing Package: adb: failed to install /tmp/BrelvoVRViewer.apk: "
               "Failure [INSTALL_FAILED_INSUFFICIENT_STORAGE]|"
                    + storageAdvice;
    QTest::newRow("failure over several lines")
            << Bench::reply("Performing Streamed Install\n",
                            "adb: failed to install x.apk: Failure "
                            "[INSTALL_FAILED_INSUFFICIENT_STORAGE]\nsecond line\n",
                            1)
            << "E Error installing Package: adb: failed to install x.apk: Failure "
               "[INSTALL_FAILED_INSUFFICIENT_STORAGE]|E second line|"
                    + storageAdvice;
    QTest::newRow("non-zero exit, empty error stream")
            << Bench::reply("Failure [INSTALL_FAILED_VERSION_DOWNGRADE]\n", "", 1)
            << "E Error installing Package: Failure [INSTALL_FAILED_VERSION_DOWNGRADE]|"
                    + downgradeAdvice;
    QTest::newRow("crash") << QJsonObject{{"stdout", "Performing Streamed Install\n"},
                                          {"crash", true}}
                           << "E Error installing Package: adb stopped unexpectedly. -> Please "
                              "reconnect the headset and try again.";
}

void TestInstall::verdicts()
{
    QFETCH(QJsonObject, answer);
    QFETCH(QString, line);

    Bench bench;
    bench.setScenario(Bench::simulated({Bench::pico("N2", "Pico Neo 2")},
                                       {Bench::rule(installNeo2(bench), answer)}));
    QCOMPARE(bench.click("installPushButton"), QStringList{installing} + line.split('|'));
    QCOMPARE(bench.runningAdb(), QList<QStringList>());
}

void TestInstall::unansweredQuestions_data()
{
    QTest::addColumn<QStringList>("question");
    QTest::addColumn<QStringList>("lines");

    const QString cat = "cat";
    const QStringList model = {"-s", "P4", "shell", "getprop", "ro.product.model"};
    const QStringList maker = {"-s", "PA8110", "shell", "getprop", "ro.product.manufacturer"};
    const QStringList stops = {installing, firmwareUnread};
    const QStringList silent = {
            "E Pico 4 (A8110, PA8110) does not answer. -> Please unplug it, plug it in "
            "again and try again.",
            noAnswerAdvice};
    QTest::newRow("OpenXR manifest, no answer in time")
            << QStringList{"-s", "P4", "shell", "cat"} << stops + QStringList{noAnswerAdvice};
    QTest::newRow("OpenXR library, link dropped")
            << QStringList{"-s", "P4", "shell", "ls"} << stops + QStringList{reconnectAdvice};
    QTest::newRow("model, no answer in time") << model << stops + QStringList{noAnswerAdvice};
    QTest::newRow("model, link dropped") << model << stops + QStringList{reconnectAdvice};
    // A device that cannot say who made it may be a phone: it is not taken for the headset.
    QTest::newRow("maker, no answer in time") << maker << silent;
    QTest::newRow("maker, link dropped") << maker << silent;
}

void TestInstall::unansweredQuestions()
{
    QFETCH(QStringList, question);
    QFETCH(QStringList, lines);
    const bool hangs = QString(QTest::currentDataTag()).contains("in time");
    QJsonObject a8110 = Bench::pico("PA8110", "A8110");
    a8110.insert("product", "A8110");
    a8110.insert("device", "A8110");
    Bench bench(Bench::simulated({question.value(1) == "P4" ? Bench::pico("P4") : a8110},
                                 {QJsonObject{{"prefix", QJsonArray::fromStringList(question)},
                                              {"responses",
                                               QJsonArray{hangs ? QJsonObject{{"hang", true}}
                                                                : Bench::reply("", "", 255)}}}}));
    bench.window()->setAdbTimeout(2000);
    QCOMPARE(bench.click("installPushButton"), lines);
    // Nothing is installed, nothing more is asked, and the wait counted while adb did not answer.
    const Calls calls = bench.journal();
    QCOMPARE(calls.constLast().mid(0, question.size()), question);
    if (hangs && lines.constFirst() == installing)
        QVERIFY(QRegularExpression("^I Installing package, please wait \\.\\.\\. [1-9]\\d* s$")
                        .match(logLines(bench.window()).value(1))
                        .hasMatch());
}

void TestInstall::adbCannotStart()
{
    // adb answers both detections, then cannot be run any more (as when security software
    // steps in).
    const QString neo2 = listingHeader + readyLine("N2", "Pico_Neo_2");
    QJsonObject breaks = Bench::reply(neo2);
    breaks.insert("breakAdb", true);
    Bench bench(Bench::rules({Bench::rule(devices, QJsonArray{Bench::reply(neo2), breaks})}));
    QCOMPARE(bench.click("installPushButton"),
             (QStringList{installing,
                          "E Error installing Package: \"./" + Bench::adbFileName()
                                  + "\" could not be started. -> Please check that it "
                                    "is there and complete; security software may be "
                                    "blocking it.",
                          adbBlockedAdvice}));
    QCOMPARE(bench.journal(), (Calls{devices, devices}));
}

void TestInstall::waitingLineCountsTheSeconds()
{
    QJsonObject device = Bench::pico("N2", "Pico Neo 2");
    device.insert("installMs", 3500);
    Bench bench(Bench::simulated({device}));
    bench.window()->setLongWait(1000);

    QList<bool> during;
    probeButtonsDuringAction(bench.window(), during);
    // The wait line as it reads while adb still works.
    QStringList seen;
    QTimer look;
    connect(&look, &QTimer::timeout, [&] { seen << logLines(bench.window()).value(1); });
    look.start(100);
    bench.click("installPushButton");
    look.stop();
    QCOMPARE(during, (QList<bool>{false, false, true}));
    // The second clicks started nothing: exactly one install reached adb.
    QCOMPARE(installs(bench.journal()), QStringList{"BrelvoVRViewer-Pico2.apk"});

    // Counted in place while adb works, up to the whole wait at its end, with a word on long
    // installs once it is long.
    const QRegularExpression countedLine("^I Installing package, please wait \\.\\.\\. (\\d+) s$");
    QVERIFY2(std::any_of(seen.cbegin(), seen.cend(),
                         [&](const QString &line) { return countedLine.match(line).hasMatch(); }),
             qPrintable(seen.join('|')));
    const QStringList lines = logLines(bench.window()).mid(1);
    QCOMPARE(lines.size(), 3);
    const QRegularExpressionMatch counted = countedLine.match(lines.at(0));
    QVERIFY2(counted.hasMatch(), qPrintable(lines.at(0)));
    QVERIFY2(counted.captured(1).toInt() >= 3, qPrintable(lines.at(0)));
    QCOMPARE(lines.at(1),
             "I Big installs over USB can take several minutes. -> Please keep the headset awake "
             "and connected until the program says it is done.");
    QCOMPARE(lines.at(2), installed);
}

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
