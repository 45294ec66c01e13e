#include "platform/prompts.h"

#include <QDebug>

namespace prompt {
int CautiousResult(unsigned buttons) {
    switch (buttons & MB_TYPEMASK) {
        case MB_OKCANCEL:
        case MB_YESNOCANCEL:
        case MB_RETRYCANCEL:
            return IDCANCEL;
        case MB_ABORTRETRYIGNORE:
            return IDABORT;
        case MB_YESNO:
            return IDNO;
        default:
            return IDOK;
    }
}
}  // namespace prompt

int TLogPrompts::MessageBox(const QString& text, const QString& caption, unsigned buttons) {
    qWarning().noquote() << "[" + caption + "]" << DisplayText(text);
    return prompt::CautiousResult(buttons);
}

void TLogPrompts::Notice(const QString& text, const QString& caption) {
    qWarning().noquote() << "[" + caption + "]" << DisplayText(text);
}

QString TLogPrompts::OpenFileName(const TFileDialogRequest& request) {
    qWarning().noquote() << "open file dialog not available:" << request.Title;
    return {};
}

QString TLogPrompts::SaveFileName(const TFileDialogRequest& request) {
    qWarning().noquote() << "save file dialog not available:" << request.Title;
    return {};
}

bool TLogPrompts::Password(const QString& caption, const QString&, QString*) {
    qWarning().noquote() << "password prompt not available:" << caption;
    return false;
}

int TLogPrompts::AppMessage(const TAppMessageRequest& request, bool* dontShowAgain) {
    qWarning().noquote() << "[Message]" << DisplayText(request.Text);
    if (dontShowAgain) *dontShowAgain = false;
    return request.WithCancel ? prompt::IDCANCEL : prompt::IDOK;
}

namespace {
TLogPrompts g_logPrompts;
TPrompts* g_prompts = nullptr;
}  // namespace

TPrompts& Prompts() {
    return g_prompts ? *g_prompts : g_logPrompts;
}

void SetPrompts(TPrompts* prompts) {
    g_prompts = prompts;
}

QString DisplayText(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}
