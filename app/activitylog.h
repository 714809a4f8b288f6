#ifndef ACTIVITYLOG_H
#define ACTIVITYLOG_H

#include <QString>

// The two kinds of line in the activity log.
enum class LogKind { Info, Error };

// Longer texts are cut: a line of the log is for a person to read.
inline constexpr int MaxLogLineLength = 2000;

// One line of the activity log as HTML. The text is shown as plain text: markup characters
// appear as themselves, and a text of several lines shows as those lines.
QString logLineHtml(LogKind kind, const QString &text);

#endif // ACTIVITYLOG_H
