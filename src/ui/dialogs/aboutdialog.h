#pragma once
// TAboutDialog ("About "): the program's name and version, when it was built, the memory still
// free, and the links to the web page and the support address.

#include <QDialog>
#include <memory>

namespace Ui {
class TAboutDialog;
}

class TAboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit TAboutDialog(QWidget* parent = nullptr);
    ~TAboutDialog() override;

    // 1234567 as "1,234,567".
    static QString GroupedNumber(quint64 value);
    // Memory the system can still give: available memory plus free swap, in bytes; 0 when it
    // cannot be read.
    static quint64 AvailableMemory(const QString& meminfo = QStringLiteral("/proc/meminfo"));

private:
    void OpenWebPage();
    void SendMail();

    std::unique_ptr<Ui::TAboutDialog> ui;
};
