#include "app/cbrelvopico.h"
#include "tests/support/bench.h"

#include <QDesktopServices>
#include <QProcess>
#include <QTest>

// Close ends the program at once, even in the middle of an install; the two hidden help buttons
// open their links.
class TestExit : public QObject
{
    Q_OBJECT

public slots:
    void openUrl(const QUrl &url) { opened << url; }

private slots:
    void closeDuringAnInstall();
    void helpLinks_data();
    void helpLinks();

private:
    QList<QUrl> opened;
};

void TestExit::closeDuringAnInstall()
{
    QJsonObject device = Bench::pico("N2", "Pico Neo 2");
    device.insert("installMs", 60000);
    Bench bench(Bench::simulated({device}));

    QProcess driver;
    driver.setWorkingDirectory(bench.path());
    // Close ends the process without destroying the window or the application, so their
    // memory (and what Qt's font library holds) is still allocated at exit by design.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("ASAN_OPTIONS", "detect_leaks=0");
    driver.setProcessEnvironment(environment);
    driver.start(CLOSEDRIVER_PROGRAM, {});
    QVERIFY(driver.waitForFinished(120000));
    const QByteArray errors = driver.readAllStandardError();
    QCOMPARE(driver.exitStatus(), QProcess::NormalExit);
    QCOMPARE(driver.exitCode(), 0);
    QVERIFY2(!errors.contains("Close returned"), errors.constData());
    QCOMPARE(QString::fromUtf8(driver.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts),
             (QStringList{"I Starting Rivi Ravazov", "I Installing package, please wait ..."}));
    QCOMPARE(bench.journal().constLast().mid(2, 2), (QStringList{"install", "-r"}));
    // The program leaves the install command running; end it here.
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
