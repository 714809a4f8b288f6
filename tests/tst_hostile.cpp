#include "app/activitylog.h"
#include "app/cbrelvopico.h"
#include "tests/support/bench.h"
#include "tests/support/expected.h"

#include <QDir>
#include <QJsonDocument>
#include <QPushButton>
#include <QTest>

using Calls = QList<QStringList>;
using namespace Expected;

// Install and Uninstall against an adb or a headset that misbehaves: huge or broken output,
// markup, hangs, crashes, no adb at all, and a headset unplugged between any two commands.
// Whatever happens, the user reads sensible lines, nothing outside the app's folders is ever
// removed, and no adb is left running.
class TestHostile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void installAnswers_data();
    void installAnswers();
    void uninstallAnswers_data();
    void uninstallAnswers();
    void unplugged_data();
    void unplugged();
    void hundredsOfDevices();
    void memoryStaysBounded_data();
    void memoryStaysBounded();
    void adbCannotRun();

private:
    QStringList click(const QJsonObject &scenario, const char *button);
    void checkRemovalsStayInside() const;

    std::unique_ptr<Bench> bench;
};

void TestHostile::init()
{
    bench = std::make_unique<Bench>();
}

void TestHostile::cleanup()
{
    QCOMPARE(bench->runningAdb(), QList<QStringList>());
    checkRemovalsStayInside();
    bench.reset();
}

QStringList TestHostile::click(const QJsonObject &scenario, const char *button)
{
    bench->setScenario(scenario);
    // Where adb hangs, a short bound stops it soon; elsewhere the real bound leaves a slow build
    // (a sanitizer's, or Wine's) all the time it needs to read even 20 MB.
    const bool hangs = QJsonDocument(scenario).toJson().contains("\"hang\"");
    bench->window()->setAdbTimeout(hangs ? 1500 : CBrelvoPico::AdbTimeoutMs);
    return bench->click(button);
}

void TestHostile::checkRemovalsStayInside() const
{
    const QStringList allowed = dataPaths(storage);
    for (const QStringList &call : bench->journal()) {
        const qsizetype rm = call.indexOf("rm");
        if (rm < 0)
            continue;
        QCOMPARE(call.mid(0, rm), (QStringList{"-s", "PA1", "shell"}));
        QCOMPARE(call.mid(rm), (QStringList{"rm", "-r"} + allowed));
    }
}

// Every command but the device listing (and those that start as spared do after the serial)
// gets the same answer.
static QJsonObject everyQueryAnswers(const QJsonObject &answer, const QJsonObject &device,
                                     const QList<QStringList> &spared = {})
{
    QJsonArray rules;
    for (const QStringList &command : spared)
        rules << QJsonObject{
                {"prefix", QJsonArray::fromStringList(QStringList{"-s", "PA1"} + command)},
                {"responses", QJsonArray{}}};
    rules << QJsonObject{{"prefix", QJsonArray{"-s", "PA1"}}, {"responses", QJsonArray{answer}}};
    QJsonObject scenario = Bench::simulated({device});
    scenario.insert("rules", rules);
    return scenario;
}

static QJsonObject bytes(const QByteArray &out, int repeat = 1)
{
    return {{"stdoutBase64", QString::fromLatin1(out.toBase64())}, {"stdoutRepeat", repeat}};
}

static QString capped(const QString &prefix, const QString &text)
{
    return prefix + text.left(MaxLogLineLength - prefix.size() + 2) + QChar(0x2026);
}

void TestHostile::installAnswers_data()
{
    QTest::addColumn<QJsonObject>("answer");
    QTest::addColumn<QStringList>("lines");

    const QString twentyMb(20 * 1024 * 1024, 'A');
    QTest::newRow("20 MB of output")
            << bytes("AAAAAAAAAAAAAAAA", 20 * 1024 * 1024 / 16)
            << QStringList{installing, capped("I Device model: ", twentyMb), legacyLine, installed};
    QTest::newRow("not UTF-8, NUL bytes")
            << bytes(QByteArray("5.7\xff\x00"
                                "1 \xc3\n",
                                9))
            << QStringList{installing,
                           "I PICO OS version: 5.7" + QString(QChar::ReplacementCharacter) + "1 "
                                   + QChar::ReplacementCharacter,
                           "I Device model: 5.7" + QString(QChar::ReplacementCharacter) + "1 "
                                   + QChar::ReplacementCharacter,
                           legacyLine, installed};
    QTest::newRow("CR line ends only")
            << bytes("Pico\r4\r")
            << QStringList{installing, "I Device model: Pico4", legacyLine, installed};
    QTest::newRow("markup and script")
            << bytes("5.1<script>alert(1)</script><font color=#cc4400>x</font>\n")
            << QStringList{installing,
                           "I PICO OS version: 5.1<script>alert(1)</script><font "
                           "color=#cc4400>x</font>",
                           "I Device model: 5.1<script>alert(1)</script><font "
                           "color=#cc4400>x</font>",
                           legacyLine, installed};
    // The first question that goes unanswered ends the install, and nothing is installed.
    QTest::newRow("every query hangs") << QJsonObject{{"stdout", "5.7.1"}, {"hang", true}}
                                       << QStringList{installing, firmwareUnread, noAnswerAdvice};
    QTest::newRow("every query crashes")
            << QJsonObject{{"stdout", "/system/lib64/libopenxr_forwardloader.so\n"},
                           {"crash", true}}
            << QStringList{installing, firmwareUnread};
}

void TestHostile::installAnswers()
{
    QFETCH(QJsonObject, answer);
    QFETCH(QStringList, lines);
    QCOMPARE(click(everyQueryAnswers(answer, Bench::pico("PA1"), {{"install"}}),
                   "installPushButton"),
             lines);
    QCOMPARE(bench->journal().constLast().mid(2, 2) == (QStringList{"install", "-r"}),
             lines.constLast() == installed);
}

void TestHostile::uninstallAnswers_data()
{
    QTest::addColumn<QJsonObject>("answer");
    QTest::addColumn<bool>("packageQueryToo"); // or the headset answers it: the app is there
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QJsonObject>("uninstallAnswer"); // empty: the simulated headset answers

    QTest::newRow("20 MB of output")
            << bytes("package:x ", 2 * 1024 * 1024) << true
            << QStringList{uninstalling, "I Package is already uninstalled!"} << QJsonObject();
    QTest::newRow("20 MB storage path")
            << bytes("/sdcard ", 2 * 1024 * 1024 / 8) << false
            << QStringList{uninstalling, storageUnknown, uninstalled} << QJsonObject();
    QTest::newRow("every query hangs")
            << QJsonObject{{"hang", true}} << true
            << QStringList{uninstalling, notAsked, noAnswerAdvice} << QJsonObject();
    QTest::newRow("every query crashes")
            << QJsonObject{{"stdout", "package:" + package + "\n"}, {"crash", true}} << true
            << QStringList{uninstalling, notAsked} << QJsonObject();
    QTest::newRow("storage query hangs")
            << QJsonObject{{"hang", true}} << false
            << QStringList{uninstalling, storageUnknown, uninstalled} << QJsonObject();
    QTest::newRow("storage with a space")
            << bytes("/storage/emulated/0 /system\n") << false
            << QStringList{uninstalling, storageUnknown, uninstalled} << QJsonObject();
    QTest::newRow("markup in the uninstall error")
            << bytes("/sdcard\n") << false
            << QStringList{uninstalling,
                           "E Error uninstalling Package: <b>Failure</b> & <i>more</i>"}
            << Bench::reply("", "<b>Failure</b> & <i>more</i>\n", 1);
    QTest::newRow("20 MB uninstall error")
            << bytes("/sdcard\n") << false
            << QStringList{uninstalling,
                           capped("E Error uninstalling Package: ", QString(20 << 20, 'E'))}
            << QJsonObject{{"stderr", "EEEEEEEEEEEEEEEE"},
                           {"stderrRepeat", (20 << 20) / 16},
                           {"exitCode", 1}};
}

void TestHostile::uninstallAnswers()
{
    QFETCH(QJsonObject, answer);
    QFETCH(bool, packageQueryToo);
    QFETCH(QStringList, lines);
    QFETCH(QJsonObject, uninstallAnswer);
    QJsonObject device = Bench::pico("PA1");
    device.insert("packages", QJsonArray{package});
    QList<QStringList> spared = {{"uninstall"}};
    if (!packageQueryToo)
        spared << QStringList{"shell", "pm"};
    QJsonObject scenario = everyQueryAnswers(answer, device, spared);
    if (!uninstallAnswer.isEmpty()) {
        QJsonArray rules = scenario.value("rules").toArray();
        rules.prepend(Bench::rule({"-s", "PA1", "uninstall", package}, uninstallAnswer));
        scenario.insert("rules", rules);
    }
    QCOMPARE(click(scenario, "uninstallPushButton"), lines);
}

void TestHostile::unplugged_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("after"); // adb calls answered before the headset is gone
    QTest::addColumn<QStringList>("lines");

    const QString version = "I PICO OS version: 5.7.1";
    const QString model = "I Device model: Pico 4";
    QTest::newRow("install, before the click") << "install" << 0 << notFound;
    QTest::newRow("install, after the first detection")
            << "install" << 1 << QStringList{installing} + notFound;
    for (int after = 2; after <= 5; ++after)
        QTest::addRow("install, after %d questions", after - 2)
                << "install" << after << QStringList{installing, firmwareUnread, reconnectAdvice};
    QTest::newRow("install, after the library listing")
            << "install" << 6
            << QStringList{installing, version, model, openXrLine} + disconnected("installing");

    QTest::newRow("uninstall, before the click") << "uninstall" << 0 << notFound;
    QTest::newRow("uninstall, after the first detection")
            << "uninstall" << 1 << QStringList{uninstalling, notAsked, reconnectAdvice};
    QTest::newRow("uninstall, after the package query")
            << "uninstall" << 2 << QStringList{uninstalling} + notFound;
    QTest::newRow("uninstall, after the second detection")
            << "uninstall" << 3 << QStringList{uninstalling} + disconnected("uninstalling");
    QTest::newRow("uninstall, after the uninstall")
            << "uninstall" << 4 << QStringList{uninstalling, storageUnknown, uninstalled};
    QTest::newRow("uninstall, after the storage query")
            << "uninstall" << 5
            << QStringList{uninstalling, dataLeft(dataPaths(storage)), reconnectAdvice,
                           uninstalled};
}

void TestHostile::unplugged()
{
    QFETCH(QString, action);
    QFETCH(int, after);
    QFETCH(QStringList, lines);

    QJsonObject device = Bench::pico("PA1");
    if (action == "uninstall")
        device.insert("packages", QJsonArray{package});
    QJsonObject scenario = Bench::simulated({device});
    scenario.insert("vanishAfter", after);
    QCOMPARE(click(scenario, action == "install" ? "installPushButton" : "uninstallPushButton"),
             lines);
    // Nothing is ever sent with an empty serial.
    for (const QStringList &call : bench->journal())
        QVERIFY(call.size() < 2 || call.at(0) != "-s" || !call.at(1).isEmpty());
}

void TestHostile::hundredsOfDevices()
{
    QString listing = "List of devices attached\n";
    for (int i = 0; i < 300; ++i)
        listing += QString("PHONE%1              unauthorized transport_id:%1\n").arg(i);
    listing += "PA1                    device usb:1-1 product:p model:Pico_Neo_2 device:d\n";
    for (int i = 300; i < 600; ++i)
        listing +=
                QString("PHONE%1              device usb:1-1 model:Phone transport_id:%1\n").arg(i);
    QCOMPARE(click(Bench::simulated({Bench::pico("PA1", "Pico Neo 2")}, {Bench::listing(listing)}),
                   "installPushButton"),
             (QStringList{"I Using the Pico headset Pico Neo 2 (PA1); other Android devices are "
                          "connected too.",
                          installing, installed}));
    QCOMPARE(bench->journal().constLast(),
             (QStringList{"-s", "PA1", "install", "-r",
                          QDir::toNativeSeparators(bench->path("BrelvoVRViewer-Pico2.apk"))}));
}

static qint64 peakMemoryKb()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

void TestHostile::memoryStaysBounded_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<QString>("lastLine");

    const QString flood(MaxLogLineLength, 'A');
    QTest::newRow("a query") << QStringList{"-s", "PA1", "shell", "getprop", "ro.product.model"}
                             << installed;
    QTest::newRow("the install") << QStringList{"-s", "PA1", "install", "-r"}
                                 << capped("E Error installing Package: ", flood);
}

void TestHostile::memoryStaysBounded()
{
    QFETCH(QStringList, command);
    QFETCH(QString, lastLine);
#if !defined(Q_OS_LINUX) || defined(__SANITIZE_ADDRESS__)
    QSKIP("needs Linux's peak memory figure, without a sanitizer's quarantine of freed memory");
#endif
    // 400 MiB of output, which adb keeps writing whatever is read.
    const QJsonObject flood{
            {"stdoutBase64", QString::fromLatin1(QByteArray(65536, 'A').toBase64())},
            {"stdoutRepeat", 6400}};
    QJsonObject scenario = Bench::simulated({Bench::pico("PA1")});
    scenario.insert("rules",
                    QJsonArray{QJsonObject{{"prefix", QJsonArray::fromStringList(command)},
                                           {"responses", QJsonArray{flood}}}});
    bench->window(); // the window's own memory is not what is measured
    // Writing 5 to clear_refs starts the peak afresh.
    QFile clear("/proc/self/clear_refs");
    QVERIFY(clear.open(QIODevice::WriteOnly) && clear.write("5") == 1);
    clear.close();
    const qint64 before = peakMemoryKb();
    QCOMPARE(click(scenario, "installPushButton").constLast(), lastLine);
    const qint64 grown = peakMemoryKb() - before;
    qInfo("peak memory grew by %lld KiB", grown);
    QVERIFY2(grown < 100 * 1024, qPrintable(QString::number(grown)));
}

void TestHostile::adbCannotRun()
{
#ifdef Q_OS_WIN
    // adb.exe does not start without its DLL beside it.
    QVERIFY(QFile::remove(bench->path("tools/AdbWinApi.dll")));
    const QString failure =
            "E Error: adb could not run: a file it needs (such as AdbWinApi.dll) is "
            "missing beside it. -> Please restore the tools folder beside the "
            "program.";
#else
    QFile(bench->path(Bench::adbFileName())).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    const QString failure = "E Error: \"./" + Bench::adbFileName()
            + "\" could not be started. -> Please check that it is there and complete; security "
              "software may be blocking it.";
#endif
    QCOMPARE(click({}, "installPushButton"), (QStringList{failure, adbBlockedAdvice}));
    QCOMPARE(click({}, "uninstallPushButton"), (QStringList{failure, adbBlockedAdvice}));
}

QTEST_MAIN(TestHostile)
#include "tst_hostile.moc"
