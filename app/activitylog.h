#ifndef ACTIVITYLOG_H
#define ACTIVITYLOG_H

#include <QString>
#include <QStringList>

// The two kinds of line in the activity log.
enum class LogKind { Info, Error };

// A log entry is for a person to read: longer texts are cut, at this many characters and rows.
inline constexpr int MaxLogLineLength = 2000;
inline constexpr int MaxLogRows = 25;

// The rows that one log entry shows: its text, split at its line breaks, without control
// characters and without empty rows, cut at the limits above (an ellipsis marks the cut).
// Spaces and tabs stay as they are.
QStringList logRows(const QString &text);

#endif // ACTIVITYLOG_H
