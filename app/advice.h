#ifndef ADVICE_H
#define ADVICE_H

#include <QString>

// Plain-words advice for what adb or the headset said: what happened and what to do next.
struct Advice
{
    QString id; // which of the known failures it is; empty when none
    QString text;
};

// The advice for a failure's text, or none when the text is not one the program knows.
Advice adviceFor(const QString &said);
// The advice that the table names so.
Advice adviceWithId(const QString &id);

#endif // ADVICE_H
