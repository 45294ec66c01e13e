#include "ui/dialogs/plaintext.h"

#include <QTextDocument>

QString PlainTip(const QString& text) {
    if (!Qt::mightBeRichText(text)) return text;
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

QString EscapedMarkup(const QString& text) {
    return text.toHtmlEscaped();
}
