#include "app/cbrelvopico.h"
#include "tests/support/bench.h"

#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

// The activity log in the window: what the user reads, where a line goes, and what happens to
// the user's own selection.
class TestLog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void shownLines_data();
    void shownLines();
    void markupIsShownAsText();
    void appendsAtTheEndAfterAClick();
    void keepsTheUserSelection();
    void scrollsTheNewLineIntoView();

private:
    QTextEdit *log() const { return window->findChild<QTextEdit *>("logTextEdit"); }
    bool lastLineInView() const
    {
        QTextCursor end(log()->document());
        end.movePosition(QTextCursor::End);
        end.movePosition(QTextCursor::Left); // onto the last line, before its line break
        return log()->viewport()->rect().contains(log()->cursorRect(end));
    }

    Bench *bench = nullptr;
    CBrelvoPico *window = nullptr;
};

void TestLog::init()
{
    bench = new Bench;
    window = bench->window();
    QCOMPARE(logLines(window), QStringList{"I Starting Rivi Ravazov"});
}

void TestLog::cleanup()
{
    delete bench;
}

void TestLog::shownLines_data()
{
    QTest::addColumn<QStringList>("calls"); // "I text" for logInfo, "E text" for logError
    QTest::addColumn<QStringList>("shown");

    // How a text becomes rows is a text rule of its own; here, what the window makes of them.
    QTest::newRow("order, no blank lines")
            << QStringList{"I one", "E two", "I three"} << QStringList{"I one", "E two", "I three"};
    QTest::newRow("fake line") << QStringList{"I x<br/><font color=#cc4400>Error</font>"}
                               << QStringList{"I x<br/><font color=#cc4400>Error</font>"};
    QTest::newRow("several lines") << QStringList{"E first\nsecond\nthird"}
                                   << QStringList{"E first", "E second", "E third"};
    QTest::newRow("percent markers") << QStringList{"I %1 %2 100%"} << QStringList{"I %1 %2 100%"};
}

void TestLog::shownLines()
{
    QFETCH(QStringList, calls);
    QFETCH(QStringList, shown);
    for (const QString &call : calls) {
        if (call.startsWith("E "))
            window->logError(call.mid(2));
        else
            window->logInfo(call.mid(2));
    }
    QCOMPARE(logLines(window).mid(1), shown);
}

void TestLog::markupIsShownAsText()
{
    window->logInfo("<b>bold</b> <img src=\":/CBrelvoPico/Resources/Brelvo.png\"> <a href=x>y</a>");
    for (QTextBlock block = log()->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            QCOMPARE(format.fontWeight(), int(QFont::Normal));
            QVERIFY(!format.isImageFormat());
            QVERIFY(!format.isAnchor());
        }
    }
}

void TestLog::appendsAtTheEndAfterAClick()
{
    window->logInfo("second");
    // The user clicks into the first line.
    QTextCursor click(log()->document());
    click.setPosition(3);
    log()->setTextCursor(click);
    window->logError("third");
    QCOMPARE(logLines(window), (QStringList{"I Starting Rivi Ravazov", "I second", "E third"}));
}

void TestLog::keepsTheUserSelection()
{
    window->logInfo("second line");
    QTextCursor selection(log()->document());
    selection.setPosition(0);
    selection.setPosition(8, QTextCursor::KeepAnchor);
    log()->setTextCursor(selection);
    QCOMPARE(log()->textCursor().selectedText(), "Starting");

    window->logError("third");
    window->logInfo("fourth");
    QCOMPARE(logLines(window),
             (QStringList{"I Starting Rivi Ravazov", "I second line", "E third", "I fourth"}));
    QCOMPARE(log()->textCursor().selectedText(), "Starting");
}

void TestLog::scrollsTheNewLineIntoView()
{
    bench->setScenario(Bench::simulated({}));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    // The start-up detection adds its line once adb answers.
    QTRY_COMPARE(logLines(window).size(), 2);
    QScrollBar *bar = log()->verticalScrollBar();
    for (int i = 0; i < 40; ++i)
        window->logInfo(QString("line %1").arg(i));
    QVERIFY(bar->maximum() > 0);
    QVERIFY(lastLineInView());

    // Also while the user holds a selection at the top.
    QTextCursor selection(log()->document());
    selection.setPosition(0);
    selection.setPosition(8, QTextCursor::KeepAnchor);
    log()->setTextCursor(selection);
    QVERIFY(!lastLineInView());
    for (int i = 0; i < 10; ++i)
        window->logError(QString("more %1").arg(i));
    QVERIFY(lastLineInView());
    QCOMPARE(logLines(window).constLast(), "E more 9");
    QCOMPARE(logLines(window).size(), 52);
}

QTEST_MAIN(TestLog)
#include "tst_log.moc"
