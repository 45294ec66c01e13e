#include "ui/dialogs/widgetprompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "ui/dialogs/getpassword.h"
#include "ui/dialogs/showappmessage.h"

namespace {
QMessageBox::StandardButtons ButtonsFor(unsigned buttons) {
    switch (buttons & prompt::MB_TYPEMASK) {
        case prompt::MB_OKCANCEL:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case prompt::MB_ABORTRETRYIGNORE:
            return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
        case prompt::MB_YESNOCANCEL:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case prompt::MB_YESNO:
            return QMessageBox::Yes | QMessageBox::No;
        case prompt::MB_RETRYCANCEL:
            return QMessageBox::Retry | QMessageBox::Cancel;
        default:
            return QMessageBox::Ok;
    }
}

QMessageBox::Icon IconFor(unsigned buttons) {
    switch (buttons & prompt::MB_ICONMASK) {
        case prompt::MB_ICONHAND:
            return QMessageBox::Critical;
        case prompt::MB_ICONQUESTION:
            return QMessageBox::Question;
        case prompt::MB_ICONEXCLAMATION:
            return QMessageBox::Warning;
        case prompt::MB_ICONASTERISK:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

int ResultFor(int button, unsigned buttons) {
    switch (button) {
        case QMessageBox::Ok:
            return prompt::IDOK;
        case QMessageBox::Cancel:
            return prompt::IDCANCEL;
        case QMessageBox::Abort:
            return prompt::IDABORT;
        case QMessageBox::Retry:
            return prompt::IDRETRY;
        case QMessageBox::Ignore:
            return prompt::IDIGNORE;
        case QMessageBox::Yes:
            return prompt::IDYES;
        case QMessageBox::No:
            return prompt::IDNO;
        default:
            return prompt::CautiousResult(buttons);  // closed with Escape
    }
}

QFileDialog::Options OptionsFor(const TFileDialogRequest& request) {
    return request.ConfirmOverwrite ? QFileDialog::Options() : QFileDialog::DontConfirmOverwrite;
}

QString StartPath(const TFileDialogRequest& request) {
    if (request.FileName.isEmpty()) return request.InitialFolder;
    if (request.InitialFolder.isEmpty() || request.FileName.contains(QLatin1Char('/')))
        return request.FileName;
    return request.InitialFolder + QLatin1Char('/') + request.FileName;
}

QString WithDefaultExt(QString name, const TFileDialogRequest& request) {
    if (!name.isEmpty() && !request.DefaultExt.isEmpty() &&
        !name.section(QLatin1Char('/'), -1).contains(QLatin1Char('.')))
        name += QLatin1Char('.') + request.DefaultExt;
    return name;
}
}  // namespace

QWidget* TWidgetPrompts::Owner() {
    return QApplication::activeWindow();
}

int TWidgetPrompts::MessageBox(const QString& text, const QString& caption, unsigned buttons) {
    QMessageBox box(IconFor(buttons), caption, DisplayText(text), ButtonsFor(buttons), Owner());
    box.setTextFormat(Qt::PlainText);  // names and file names in it are never markup
    return ResultFor(box.exec(), buttons);
}

void TWidgetPrompts::Notice(const QString& text, const QString& caption) {
    qWarning().noquote() << "[" + caption + "]" << DisplayText(text);
    auto* box =
        new QMessageBox(QMessageBox::Warning, caption, DisplayText(text), QMessageBox::Ok, Owner());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    box->setModal(false);
    box->show();
}

QString TWidgetPrompts::OpenFileName(const TFileDialogRequest& request) {
    return QFileDialog::getOpenFileName(Owner(), request.Title, StartPath(request),
                                        QtFilter(request.Filter), nullptr, OptionsFor(request));
}

QString TWidgetPrompts::SaveFileName(const TFileDialogRequest& request) {
    const QString name =
        QFileDialog::getSaveFileName(Owner(), request.Title, StartPath(request),
                                     QtFilter(request.Filter), nullptr, OptionsFor(request));
    return WithDefaultExt(name, request);
}

bool TWidgetPrompts::Password(const QString& caption, const QString& label, QString* password) {
    TGetPassword dialog(Owner());
    dialog.setWindowTitle(caption);
    if (!label.isEmpty()) dialog.SetLabel(label);
    const bool ok = dialog.exec() == QDialog::Accepted;
    if (ok && password) *password = dialog.Result();
    return ok;
}

int TWidgetPrompts::AppMessage(const TAppMessageRequest& request, bool* dontShowAgain) {
    TShowAppMessage dialog(Owner());
    dialog.SetRequest(request);
    const int result = dialog.exec() == prompt::IDOK ? prompt::IDOK : prompt::IDCANCEL;
    if (dontShowAgain) *dontShowAgain = request.Managed && dialog.DontShowAgain();
    return result;
}

void TWidgetPrompts::Beep() {
    QApplication::beep();
}

QString TWidgetPrompts::QtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        filters << (parts[i].contains(QLatin1Char('('))
                        ? parts[i]
                        : parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}
