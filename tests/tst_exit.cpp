#include "app/cbrelvopico.h"
#include "tests/support/bench.h"
#include "tests/support/expected.h"

#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

// Close, Escape and closing the window end the program at once, even in the middle of an action;
// the two hidden help buttons open their links.
class TestExit : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { opened << url; }

private slots:
    void endsAtOnce_data();
    void endsAtOnce();
    void helpLinks_data();
    void helpLinks();

private:
    QList<QUrl> opened;
};

void TestExit::endsAtOnce_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QJsonObject>("scenario");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("stopped"); // the start of the command that Close stopped
    QTest::addColumn<bool>("serverStarted"); // by one of the program's commands

    QJsonObject neo2Device = Bench::pico("N2", "Pico Neo 2");
    neo2Device.insert("installMs", 60000);
    const QJsonObject neo2 = Bench::simulated({neo2Device});
    QJsonObject slowDevice = Bench::pico("P4", "Pico 4");
    slowDevice.insert("latencyMs", 60000);
    const QJsonObject slow = Bench::simulated({slowDevice});
    QJsonObject otherServer = neo2;
    otherServer.insert("noticesAt", QJsonArray{0});
    // No server runs: the first listing starts it, slowly as on Windows.
    QJsonObject coldStart = neo2;
    coldStart.insert("serverStartMs", 3000);
    const QString starting = "I Starting Rivi Ravazov";
    const QString installing = "I Installing package, please wait ...";
    QTest::newRow("Close during an install")
            << "close-during-install" << neo2
            << QStringList{starting, "I Pico headset connected: Pico Neo 2 (N2).", installing}
            << QStringList{"-s", "N2", "install"} << false;
    QTest::newRow("Close during a query")
            << "close-during-query" << slow
            << QStringList{starting, "I Pico headset connected: Pico 4 (P4).", installing}
            << QStringList{"-s", "P4", "shell"} << false;
    QTest::newRow("Escape during an install")
            << "escape-during-install" << neo2
            << QStringList{starting, "I Pico headset connected: Pico Neo 2 (N2).", installing}
            << QStringList{"-s", "N2", "install"} << false;
    QTest::newRow("Close during an install, adb's server started by the program")
            << "close-during-install" << otherServer
            << QStringList{starting, "I Pico headset connected: Pico Neo 2 (N2).",
                           Expected::otherAdbAdvice, installing}
            << QStringList{"-s", "N2", "install"} << true;
    QTest::newRow("Close while the first listing starts adb's server")
            << "close-during-listing" << coldStart << QStringList{starting}
            << QStringList{"devices", "-l"} << true;
}

void TestExit::endsAtOnce()
{
    QFETCH(QString, mode);
    QFETCH(QJsonObject, scenario);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, stopped);
    QFETCH(bool, serverStarted);
    Bench bench(scenario);

    QProcess driver;
    driver.setWorkingDirectory(bench.path());
    // The program ends without destroying the window or the application, so their memory (and
    // what Qt's font library holds) is still allocated at exit by design.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ASAN_OPTIONS", "detect_leaks=0");
    driver.setProcessEnvironment(environment);
    driver.start(CLOSEDRIVER_PROGRAM, {mode});
    QVERIFY(driver.waitForFinished(120000));
    const QByteArray errors = driver.readAllStandardError();
    QCOMPARE(driver.exitStatus(), QProcess::NormalExit);
    QCOMPARE(driver.exitCode(), 0);
    QVERIFY2(!errors.contains("the program went on"), errors.constData());
    QStringList shown = QString::fromUtf8(driver.readAllStandardOutput())
                                .split(QRegularExpression("\\r?\\n"), Qt::SkipEmptyParts);
    shown.replaceInStrings(QRegularExpression(" \\.\\.\\. \\d+ s$"), " ..."); // without the seconds
    QCOMPARE(shown, lines);

    // Nothing of adb goes on after the program: not the command under way (which would take a
    // minute more to land anything), not the adb that follows the devices, and not a server it
    // started.
    QCOMPARE(bench.runningAdb(), QList<QStringList>{});
    const QList<QStringList> calls = bench.journal();
    QVERIFY(std::any_of(calls.cbegin(), calls.cend(), [&stopped](const QStringList &call) {
        return call.mid(0, stopped.size()) == stopped;
    }));
    QCOMPARE(calls.constLast() == QStringList{"kill-server"}, serverStarted);
    QVERIFY(!QFile::exists(bench.path("state.json.server")));
}

void TestExit::helpLinks_data()
{
    QTest::addColumn<QByteArray>("slot");
    QTest::addColumn<QString>("ending");
    QTest::newRow("video") << QByteArray("on_youtubePushButton_clicked") << "/install-video";
    QTest::newRow("guide") << QByteArray("on_pdfPushButton_clicked") << ".pdf";
}

void TestExit::helpLinks()
{
    QFETCH(QByteArray, slot);
    QFETCH(QString, ending);

    Bench bench;
    CBrelvoPico *window = bench.window();
    const QStringList before = logLines(window);
    opened.clear();
    QDesktopServices::setUrlHandler("https", this, "openUrl");
    QVERIFY(QMetaObject::invokeMethod(window, slot.constData()));
    QDesktopServices::unsetUrlHandler("https");

    QCOMPARE(opened.size(), 1);
    QVERIFY(opened.first().isValid());
    QCOMPARE(opened.first().scheme(), "https");
    QVERIFY2(opened.first().path().endsWith(ending), qPrintable(opened.first().toString()));
    QCOMPARE(logLines(window), before);
}

QTEST_MAIN(TestExit)
#include "tst_exit.moc"
