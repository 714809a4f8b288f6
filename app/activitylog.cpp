#include "app/activitylog.h"
#include "app/advice.h"
#include "app/cbrelvopico.h"

#include <QLoggingCategory>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

#include <utility>

// Every log line also goes to Qt's message log, off unless switched on, for support and for
// checking a release without a screen: QT_LOGGING_RULES="brelvo.log.info=true".
Q_LOGGING_CATEGORY(lcActivityLog, "brelvo.log", QtWarningMsg)

namespace {

const QChar Ellipsis(0x2026);

QTextCharFormat lineFormat(LogKind kind)
{
    QTextCharFormat format;
    format.setForeground(QColor(kind == LogKind::Error ? 0xcc4400 : 0xcccccc));
    return format;
}

} // namespace

QStringList logRows(const QString &text)
{
    QString body = text.left(MaxLogLineLength);
    const bool cut = text.size() > MaxLogLineLength;
    QStringList rows;
    QString row;
    for (const QChar c : body) {
        if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator) {
            if (!row.isEmpty())
                rows << row;
            row.clear();
        } else if (c.unicode() >= 0x20 || c == u'\t') {
            // Other control characters have no place in a log; a NUL would cut the row short.
            row += c;
        }
    }
    if (!row.isEmpty() || rows.isEmpty())
        rows << row;
    if (rows.size() > MaxLogRows) {
        rows.resize(MaxLogRows);
        rows.last() += Ellipsis;
    } else if (cut) {
        rows.last() += Ellipsis;
    }
    return rows;
}

void CBrelvoPico::logInfo(const QString &text)
{
    appendLogLine(LogKind::Info, text);
}

void CBrelvoPico::logError(const QString &text)
{
    appendLogLine(LogKind::Error, text);
}

int CBrelvoPico::appendLogLine(LogKind kind, const QString &text)
{
    // A cursor of our own, so a click or a selection in the panel never decides where the line
    // goes and the user's selection stays as it is. Each row is a block of its own: appending
    // then costs the same however long the log is.
    QTextDocument *document = ui.logTextEdit->document();
    QTextCursor end(document);
    end.movePosition(QTextCursor::End);
    const QTextCharFormat format = lineFormat(kind);
    const bool first = document->isEmpty();
    int block = -1;
    // One edit, laid out once.
    end.beginEditBlock();
    for (const QString &row : logRows(text)) {
        if (!first || block >= 0)
            end.insertBlock(QTextBlockFormat(), format);
        else
            end.setBlockCharFormat(format);
        if (block < 0)
            block = end.blockNumber();
        end.insertText(row, format);
    }
    end.endEditBlock();
    qCInfo(lcActivityLog, "%s %s",
           kind == LogKind::Error ? "error:" : "info:", qUtf8Printable(text));
    scrollLogToEnd();
    return block;
}

void CBrelvoPico::replaceLogLine(int block, LogKind kind, const QString &text)
{
    QTextCursor row(ui.logTextEdit->document()->findBlockByNumber(block));
    row.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    row.insertText(logRows(text).constFirst(), lineFormat(kind));
    qCInfo(lcActivityLog, "%s %s",
           kind == LogKind::Error ? "error:" : "info:", qUtf8Printable(text));
}

void CBrelvoPico::scrollLogToEnd()
{
    // The scroll bar, not the text cursor: a click or a selection in the log stays as it is,
    // and the new line comes into view all the same.
    QScrollBar *bar = ui.logTextEdit->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void CBrelvoPico::logErrorWithAdvice(const QString &text)
{
    logError(text);
    advise(text);
}

void CBrelvoPico::advise(const QString &said)
{
    const Advice advice = adviceFor(said);
    if (!advice.text.isEmpty())
        logInfo(advice.text);
}

void CBrelvoPico::adviseOnOtherAdb()
{
    // Once is enough: another program that keeps its adb running replaces the server again
    // and again.
    const QString notice = std::exchange(server.otherAdbNotice, QString());
    if (!notice.isEmpty() && !std::exchange(server.otherAdbTold, true))
        advise(notice);
}
