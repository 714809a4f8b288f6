#include "app/activitylog.h"
#include "app/cbrelvopico.h"

#include <QLoggingCategory>
#include <QScrollBar>
#include <QTextCursor>

// Every log line also goes to Qt's message log, off unless switched on, for support and for
// checking a release without a screen: QT_LOGGING_RULES="brelvo.log.info=true".
Q_LOGGING_CATEGORY(lcActivityLog, "brelvo.log", QtWarningMsg)

namespace {

QLatin1StringView colour(LogKind kind)
{
    return kind == LogKind::Error ? QLatin1StringView("#cc4400") : QLatin1StringView("#cccccc");
}

} // namespace

QString logLineHtml(LogKind kind, const QString &text)
{
    QString body = text.left(MaxLogLineLength);
    if (text.size() > MaxLogLineLength)
        body += QChar(0x2026); // ellipsis
    body.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    body.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Control characters have no place in a log line; a NUL would even cut the line short.
    body.removeIf([](QChar c) { return c.unicode() < 0x20 && c != u'\n' && c != u'\t'; });
    while (body.endsWith(QLatin1Char('\n')))
        body.chop(1);
    body = body.toHtmlEscaped();
    body.replace(QLatin1Char('\n'), QLatin1String("<br/>"));
    return QStringLiteral("<font color=%1>%2<br/></font>").arg(colour(kind), body);
}

void CBrelvoPico::logInfo(const QString &text)
{
    appendLogLine(LogKind::Info, text);
}

void CBrelvoPico::logError(const QString &text)
{
    appendLogLine(LogKind::Error, text);
}

void CBrelvoPico::appendLogLine(LogKind kind, const QString &text)
{
    // A cursor of our own, so a click or a selection in the panel never decides where the line
    // goes and the user's selection stays as it is.
    QTextCursor end(ui.logTextEdit->document());
    end.movePosition(QTextCursor::End);
    end.insertHtml(logLineHtml(kind, text));
    qCInfo(lcActivityLog, "%s %s",
           kind == LogKind::Error ? "error:" : "info:", qUtf8Printable(text));

    if (ui.logTextEdit->textCursor().hasSelection()) {
        QScrollBar *bar = ui.logTextEdit->verticalScrollBar();
        bar->setValue(bar->maximum());
    } else {
        ui.logTextEdit->setTextCursor(end);
        ui.logTextEdit->ensureCursorVisible();
    }
}
