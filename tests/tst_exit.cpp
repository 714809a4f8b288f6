#include "app/cbrelvopico.h"
#include "tests/support/bench.h"

#include <QDesktopServices>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

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
    QTest::addColumn<QJsonObject>("device");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("leftRunning"); // the start of the one adb left to finish

    QJsonObject neo2 = Bench::pico("N2", "Pico Neo 2");
    neo2.insert("installMs", 60000);
    QJsonObject slow = Bench::pico("P4", "Pico 4");
    slow.insert("latencyMs", 60000);
    const QString starting = "I Starting Rivi Ravazov";
    const QString installing = "I Installing package, please wait ...";
    QTest::newRow("Close during an install")
            << "close-during-install" << neo2
            << QStringList{starting, "I Pico headset connected: Pico Neo 2 (N2).", installing}
            << QStringList{"-s", "N2", "install"};
    QTest::newRow("Close during a query")
            << "close-during-query" << slow
            << QStringList{starting, "I Pico headset connected: Pico 4 (P4).", installing}
            << QStringList{"-s", "P4", "shell"};
    QTest::newRow("Escape during an install")
            << "escape-during-install" << neo2
            << QStringList{starting, "I Pico headset connected: Pico Neo 2 (N2).", installing}
            << QStringList{"-s", "N2", "install"};
}

void TestExit::endsAtOnce()
{
    QFETCH(QString, mode);
    QFETCH(QJsonObject, device);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, leftRunning);
    Bench bench(Bench::simulated({device}));

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
    shown.replace(2, shown.value(2).section(" ...", 0, 0) + " ..."); // without the seconds counted
    QCOMPARE(shown, lines);

    // The command under way is left to finish on its own; the adb that follows the devices,
    // which never would, is gone with the program.
    const QList<QStringList> running = bench.runningAdb();
    QCOMPARE(running.size(), 1);
    QCOMPARE(running.constFirst().mid(0, 3), leftRunning);
    bench.killRunningAdb();
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
