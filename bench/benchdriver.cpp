// Runs the window, or a bare QDialog for comparison, for scripts/bench.sh and prints what it
// measured as "name value" lines.
//   benchdriver window                   show, and end as soon as the window is painted
//   benchdriver dialog <width> <height>  the same with a bare dialog of that size
//   benchdriver gaps install|uninstall   the longest pause of the event loop during the action
//   benchdriver log <lines>              the time to append that many log lines
//   benchdriver status                   the time from the window's first paint to its status
//                                        line, the first thing a user waits for
#include "app/cbrelvopico.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>

namespace {

QElapsedTimer sinceStart;

// Ends the program as soon as the window has been painted in full, children included, the way
// the window's own Close ends it. The end is queued at the window's first paint, ahead of
// whatever the window queues then itself (its start-up adb), which is not part of the time to
// a shown window.
class QuitWhenPainted : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !done) {
            done = true;
            const QSize size = static_cast<QWidget *>(watched)->size();
            QMetaObject::invokeMethod(
                    qApp,
                    [size] {
                        std::printf("shown_ms %lld\nsize %d %d\n", sinceStart.elapsed(),
                                    size.width(), size.height());
                        std::fflush(stdout);
                        std::exit(0);
                    },
                    Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }
    bool done = false;
};

int showAndQuit(QWidget &window)
{
    QuitWhenPainted quit;
    window.installEventFilter(&quit);
    window.show();
    return QApplication::exec();
}

// Waits until the start-up detection is over and the buttons can be clicked.
void waitUntilReady(CBrelvoPico &window)
{
    auto *install = window.findChild<QPushButton *>(QStringLiteral("installPushButton"));
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 200 || !install->isEnabled())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

} // namespace

int main(int argc, char **argv)
{
    sinceStart.start();
    QApplication application(argc, argv);
    const QStringList args = application.arguments().mid(1);
    const QString mode = args.value(0);

    if (mode == QLatin1String("dialog")) {
        // As large as the window, so that both paint as many pixels.
        QDialog dialog;
        auto *layout = new QVBoxLayout(&dialog);
        layout->addWidget(new QLabel(QStringLiteral("A bare dialog"), &dialog));
        dialog.resize(args.value(1).toInt(), args.value(2).toInt());
        return showAndQuit(dialog);
    }

    CBrelvoPico window;
    if (mode == QLatin1String("window"))
        return showAndQuit(window);
    if (mode == QLatin1String("status")) {
        QElapsedTimer sincePaint;
        struct FirstPaint : QObject
        {
            QElapsedTimer *clock;
            bool eventFilter(QObject *watched, QEvent *event) override
            {
                if (event->type() == QEvent::Paint && !clock->isValid())
                    clock->start();
                return QObject::eventFilter(watched, event);
            }
        } firstPaint;
        firstPaint.clock = &sincePaint;
        window.installEventFilter(&firstPaint);
        auto *log = window.findChild<QTextEdit *>(QStringLiteral("logTextEdit"));
        QObject::connect(log->document(), &QTextDocument::contentsChanged, [&] {
            if (log->document()->blockCount() < 2 || !sincePaint.isValid())
                return;
            std::printf("status_ms %.1f\nstatus %s\n", sincePaint.nsecsElapsed() / 1e6,
                        qPrintable(log->document()->lastBlock().text()));
            std::fflush(stdout);
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        });
        window.show();
        return QApplication::exec();
    }

    window.show();
    waitUntilReady(window);
    if (mode == QLatin1String("gaps")) {
        // A timer with no interval fires at every pass of the event loop.
        QElapsedTimer sinceLast;
        qint64 longest = 0;
        QTimer pass;
        QObject::connect(&pass, &QTimer::timeout,
                         [&] { longest = qMax(longest, sinceLast.restart()); });
        const QString button = args.value(1) + QLatin1String("PushButton");
        QElapsedTimer took;
        took.start();
        sinceLast.start();
        pass.start(0);
        window.findChild<QPushButton *>(button)->click();
        pass.stop();
        std::printf("action_ms %lld\nlongest_gap_ms %lld\n", took.elapsed(), longest);
    } else if (mode == QLatin1String("log")) {
        const int lines = args.value(1).toInt();
        QElapsedTimer took;
        took.start();
        qint64 lastHundred = 0;
        for (int i = 0; i < lines; ++i) {
            if (i == lines - 100)
                lastHundred = took.elapsed();
            window.logInfo(
                    QStringLiteral("Line %1 of the activity log, as long as a real one").arg(i));
        }
        std::printf("append_ms %lld\nlast_100_ms %lld\n", took.elapsed(),
                    took.elapsed() - lastHundred);
    }
    return 0;
}
