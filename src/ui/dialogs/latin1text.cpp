#include "ui/dialogs/latin1text.h"

#include <QLineEdit>

#include "platform/prompts.h"
#include "platform/records.h"

namespace {
void SayNotStorable(const QString& what, const QString& characters) {
    Prompts().MessageBox(
        QStringLiteral("%1 cannot hold these characters: %2\rRingvale's files can hold only the "
                       "letters, digits and signs of Western European languages.")
            .arg(what, characters),
        QStringLiteral("Ringvale"), prompt::MB_OK | prompt::MB_ICONEXCLAMATION);
}
}  // namespace

void KeepLatin1(QLineEdit* field) {
    QObject::connect(field, &QLineEdit::textEdited, field, [field](const QString& text) {
        const QString refused = CharactersOutsideLatin1(text);
        if (refused.isEmpty()) return;
        QString kept;
        for (const QChar c : text)
            if (c.unicode() <= 0xFF && !c.isSurrogate()) kept += c;
        const int caret = field->cursorPosition() - int(text.size() - kept.size());
        field->setText(kept);
        field->setCursorPosition(qMax(0, caret));
        SayNotStorable(QStringLiteral("This field"), refused);
    });
}

bool StorableText(const QString& text, const QString& what) {
    const QString refused = CharactersOutsideLatin1(text);
    if (refused.isEmpty()) return true;
    SayNotStorable(what, refused);
    return false;
}
