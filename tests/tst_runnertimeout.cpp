#include "app/cbrelvopico.h"
#include "tests/support/bench.h"

#include <QElapsedTimer>
#include <QTest>

// The one slow test: a query that adb never answers is stopped after the real 30-second bound.
class TestRunnerTimeout : public QObject
{
    Q_OBJECT

private slots:
    void hungQueryIsStoppedAfterThirtySeconds();
};

void TestRunnerTimeout::hungQueryIsStoppedAfterThirtySeconds()
{
    Bench bench(Bench::rules({Bench::rule({"shell", "getprop", "x"},
                                          QJsonObject{{"stdout", "5.7.1\r\n"}, {"hang", true}}),
                              Bench::catchAll(Bench::reply("free"))}));
    CBrelvoPico *window = bench.window();
    QElapsedTimer timer;
    timer.start();
    const AdbRun run = window->runAdbCommand({"shell", "getprop", "x"});
    const qint64 elapsed = timer.elapsed();
    qInfo("the hung query returned after %lld ms", elapsed);
    // adb is given the whole bound before it is stopped.
    QVERIFY2(elapsed >= CBrelvoPico::AdbTimeoutMs, qPrintable(QString::number(elapsed)));
    QCOMPARE(run.outcome, AdbRun::Stopped);
    QCOMPARE(run.out, "5.7.1\r\n");
    QCOMPARE(bench.runningAdb(), QList<QStringList>());

    // The shared process is free for the next command straight away.
    QCOMPARE(window->runAdbCommand({"devices", "-l"}).out, "free");
}

QTEST_MAIN(TestRunnerTimeout)
#include "tst_runnertimeout.moc"
