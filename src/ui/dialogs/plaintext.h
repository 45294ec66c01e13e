#pragma once
// Text from outside the program (a caller ID name or number, a name typed from one, a file
// name) is never markup: a caller named "<img src=/dev/zero>" is shown as those characters.
// Labels are plain text in their layouts; these cover tooltips and notification bodies, which
// Qt and the desktop read as markup when the text looks like it.

#include <QString>

// A tooltip that shows text as it stands.
QString PlainTip(const QString& text);
// Text for a place that always reads markup (a desktop notification's body).
QString EscapedMarkup(const QString& text);
