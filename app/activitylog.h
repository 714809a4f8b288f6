#ifndef LOGLINE_H
#define LOGLINE_H

#include <QString>

namespace LogColour {
inline constexpr char Info[] = "#cccccc";
inline constexpr char Error[] = "#cc4400";
} // namespace LogColour

// Longer texts are cut: a line of the log is for a person to read.
inline constexpr int MaxLogLineLength = 2000;

// One line of the activity log as HTML. The text is shown as plain text: markup characters
// appear as themselves, and a text of several lines shows as those lines.
QString logLineHtml(const QString &colour, const QString &text);

#endif // LOGLINE_H
