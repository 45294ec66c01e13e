#include "scriptedprompts.h"

int TScriptedPrompts::MessageBox(const QString& text, const QString& caption, unsigned buttons) {
    History.append({QStringLiteral("box"), text, caption, buttons});
    return BoxAnswers.isEmpty() ? prompt::CautiousResult(buttons) : BoxAnswers.dequeue();
}

QString TScriptedPrompts::OpenFileName(const TFileDialogRequest& request) {
    History.append({QStringLiteral("open"), request.Filter, request.Title, 0});
    return FileAnswers.isEmpty() ? QString() : FileAnswers.dequeue();
}

QString TScriptedPrompts::SaveFileName(const TFileDialogRequest& request) {
    History.append({QStringLiteral("save"), request.Filter, request.Title, 0});
    return FileAnswers.isEmpty() ? QString() : FileAnswers.dequeue();
}

bool TScriptedPrompts::Password(const QString& caption, const QString& label, QString* password) {
    History.append({QStringLiteral("password"), label, caption, 0});
    if (PasswordAnswers.isEmpty()) return false;
    const QString answer = PasswordAnswers.dequeue();
    if (answer.isNull()) return false;
    *password = answer;
    return true;
}

QStringList TScriptedPrompts::Texts(const QString& kind) const {
    QStringList texts;
    for (const Shown& shown : History)
        if (shown.Kind == kind) texts << shown.Text;
    return texts;
}

int TScriptedPrompts::AppMessage(const TAppMessageRequest& request, bool* dontShowAgain) {
    History.append({QStringLiteral("message"), request.Text, QStringLiteral("Message"),
                    request.WithCancel ? 1u : 0u});
    Messages.append(request);
    const bool remember = RememberAnswers.isEmpty() ? false : RememberAnswers.dequeue();
    if (dontShowAgain) *dontShowAgain = request.Managed && request.RememberEnabled && remember;
    if (BoxAnswers.isEmpty()) return request.WithCancel ? prompt::IDCANCEL : prompt::IDOK;
    const int answer = BoxAnswers.dequeue();
    return answer == prompt::IDOK ? prompt::IDOK : prompt::IDCANCEL;
}
