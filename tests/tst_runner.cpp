#include "app/cbrelvopico.h"
#include "tests/support/bench.h"

#include <QFile>
#include <QTest>

// Running adb: what it receives, and what comes back of its two output streams.
class TestRunner : public QObject
{
    Q_OBJECT

private slots:
    void output_data();
    void output();
    void argumentsReachAdbUnchanged_data();
    void argumentsReachAdbUnchanged();
    void hungAdbIsStopped();
};

void TestRunner::output_data()
{
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<QString>("stdOut");
    QTest::addColumn<QString>("stdErr");

    QTest::newRow("CR LF lines") << QByteArray("abc\r\ndef\r\n") << QByteArray("first\r\nsecond\n")
                                 << "abc\r\ndef\r\n"
                                 << "first\r\nsecond\n";
    QTest::newRow("UTF-8") << QByteArray("Pico \xe2\x80\x93 \xc3\xa9\n") << QByteArray()
                           << QString::fromUtf8("Pico \xe2\x80\x93 \xc3\xa9\n") << "";
    QTest::newRow("invalid UTF-8")
            << QByteArray("a\xff"
                          "b")
            << QByteArray("\xc3") << QString("a") + QChar(QChar::ReplacementCharacter) + "b"
            << QString(QChar(QChar::ReplacementCharacter));
    QTest::newRow("nothing") << QByteArray() << QByteArray() << ""
                             << "";
}

void TestRunner::output()
{
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    QFETCH(QString, stdOut);
    QFETCH(QString, stdErr);

    Bench bench(
            Bench::rules({Bench::catchAll({{"stdoutBase64", QString::fromLatin1(out.toBase64())},
                                           {"stderrBase64", QString::fromLatin1(err.toBase64())},
                                           {"exitCode", 3}})}));
    const AdbRun run = bench.window()->runAdbCommand({"shell", "x"});
    QCOMPARE(run.outcome, AdbRun::Ended);
    QCOMPARE(run.exitCode, 3);
    QCOMPARE(run.out, stdOut);
    QCOMPARE(run.err, stdErr);
}

void TestRunner::argumentsReachAdbUnchanged_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("plain") << QStringList{"devices", "-l"};
    QTest::newRow("spaces and quotes")
            << QStringList{"shell", "echo $EXTERNAL_STORAGE", "\"quoted\" 'single'", "a\\b"};
    QTest::newRow("empty argument") << QStringList{"-s", "", "shell", "getprop", "ro.x"};
    QTest::newRow("shell metacharacters")
            << QStringList{"shell", "ls;rm -r /sdcard", "$(id)", "`id`", "|&><*?"};
    QTest::newRow("unicode") << QStringList{"-s", QString::fromUtf8("S\xc3\xa9rial"), "x"};
}

void TestRunner::argumentsReachAdbUnchanged()
{
    QFETCH(QStringList, arguments);
    Bench bench(Bench::rules({Bench::catchAll(Bench::reply("ok"))}));
    CBrelvoPico *window = bench.window();
    bench.clearJournal();
    QCOMPARE(window->runAdbCommand(arguments).out, "ok");
    QCOMPARE(bench.journal(), QList<QStringList>{arguments});
}

void TestRunner::hungAdbIsStopped()
{
    Bench bench(Bench::rules(
            {Bench::rule({"hang"},
                         QJsonObject{{"stdout", "partial\n"}, {"stderr", "err\n"}, {"hang", true}}),
             Bench::catchAll(Bench::reply("next"))}));
    CBrelvoPico *window = bench.window();
    // The bound is shortened here; the slow test runs the real 30 seconds.
    window->setAdbTimeout(1500);
    bench.clearJournal();
    const AdbRun run = window->runAdbCommand({"hang"});
    QCOMPARE(run.outcome, AdbRun::Stopped);
    QCOMPARE(run.out, "partial\n");
    QCOMPARE(run.err, "err\n");
    QCOMPARE(bench.runningAdb(), QList<QStringList>());
    QCOMPARE(window->runAdbCommand({"after"}).out, "next");
    QCOMPARE(bench.journal(), (QList<QStringList>{{"hang"}, {"after"}}));
}

QTEST_MAIN(TestRunner)
#include "tst_runner.moc"
