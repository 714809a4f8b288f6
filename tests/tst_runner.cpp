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
    void startOnlyLeavesTheOutputs();
    void secondRunReplacesTheOutputs();
    void missingAdb();
    void hungAdbIsStopped();
};

void TestRunner::output_data()
{
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("err");
    QTest::addColumn<bool>("strip");
    QTest::addColumn<QString>("stdOut");
    QTest::addColumn<QString>("stdErr");

    QTest::newRow("CR LF lines, stripped")
            << QByteArray("abc\r\ndef\r\n") << QByteArray() << true << "abcdef"
            << "";
    QTest::newRow("CR LF lines, kept")
            << QByteArray("abc\r\ndef\r\n") << QByteArray() << false << "abc\r\ndef\r\n"
            << "";
    QTest::newRow("lone CR and LF") << QByteArray("a\rb\nc\r") << QByteArray() << true << "abc"
                                    << "";
    QTest::newRow("error stream keeps its breaks")
            << QByteArray("x\n") << QByteArray("first\r\nsecond\n") << true << "x"
            << "first\r\nsecond\n";
    QTest::newRow("UTF-8") << QByteArray("Pico \xe2\x80\x93 \xc3\xa9\n") << QByteArray() << true
                           << QString::fromUtf8("Pico \xe2\x80\x93 \xc3\xa9") << "";
    QTest::newRow("invalid UTF-8")
            << QByteArray("a\xff"
                          "b")
            << QByteArray("\xc3") << true << QString("a") + QChar(QChar::ReplacementCharacter) + "b"
            << QString(QChar(QChar::ReplacementCharacter));
    QTest::newRow("nothing") << QByteArray() << QByteArray() << true << ""
                             << "";
}

void TestRunner::output()
{
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, err);
    QFETCH(bool, strip);
    QFETCH(QString, stdOut);
    QFETCH(QString, stdErr);

    Bench bench(
            Bench::rules({Bench::catchAll({{"stdoutBase64", QString::fromLatin1(out.toBase64())},
                                           {"stderrBase64", QString::fromLatin1(err.toBase64())},
                                           {"exitCode", 1}})}));
    QString gotOut = "stale";
    QString gotErr = "stale";
    QVERIFY(bench.window()->runAdbCommand({"shell", "x"}, gotOut, gotErr, strip, true));
    QCOMPARE(gotOut, stdOut);
    QCOMPARE(gotErr, stdErr);
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
    QString out, err;
    window->runAdbCommand(arguments, out, err, true, true);
    QCOMPARE(bench.journal(), QList<QStringList>{arguments});
    QCOMPARE(out, "ok");
}

void TestRunner::startOnlyLeavesTheOutputs()
{
    Bench bench(Bench::rules({Bench::catchAll(Bench::reply("new", "new"))}));
    CBrelvoPico *window = bench.window();
    bench.clearJournal();
    QString out = "kept out";
    QString err = "kept err";
    QVERIFY(window->runAdbCommand({"uninstall", "x"}, out, err, true, false));
    QCOMPARE(out, "kept out");
    QCOMPARE(err, "kept err");
    QTRY_COMPARE(bench.journal(), (QList<QStringList>{{"uninstall", "x"}}));
}

void TestRunner::secondRunReplacesTheOutputs()
{
    Bench bench(Bench::rules({Bench::rule({"a"}, Bench::reply("first", "e1")),
                              Bench::rule({"b"}, Bench::reply("", ""))}));
    QString out, err;
    bench.window()->runAdbCommand({"a"}, out, err, true, true);
    QCOMPARE(out, "first");
    QCOMPARE(err, "e1");
    bench.window()->runAdbCommand({"b"}, out, err, true, true);
    QCOMPARE(out, "");
    QCOMPARE(err, "");
}

void TestRunner::missingAdb()
{
    Bench bench({}, Bench::AllApks, false);
    QString out = "stale";
    QString err = "stale";
    QVERIFY(!bench.window()->runAdbCommand({"devices", "-l"}, out, err, true, true));
    QCOMPARE(out, "");
    QCOMPARE(err, "");
    out = "kept";
    QVERIFY(!bench.window()->runAdbCommand({"uninstall", "x"}, out, err, true, false));
    QCOMPARE(out, "kept");
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
    QString out, err;
    QVERIFY(!window->runAdbCommand({"hang"}, out, err, true, true));
    QCOMPARE(out, "partial");
    QCOMPARE(err, "err\n");
    QCOMPARE(bench.runningAdbCount(), 0);
    window->runAdbCommand({"after"}, out, err, true, true);
    QCOMPARE(out, "next");
    QCOMPARE(bench.journal(), (QList<QStringList>{{"hang"}, {"after"}}));
}

QTEST_MAIN(TestRunner)
#include "tst_runner.moc"
