#pragma once
// TShowCallerIDForm: the caller's name and number across the whole screen in very large
// letters, closing itself when its time is up.

#include <QDialog>
#include <QTimer>
#include <memory>

namespace Ui {
class TShowCallerIDForm;
}

class TShowCallerIDForm : public QDialog {
    Q_OBJECT
public:
    explicit TShowCallerIDForm(QWidget* parent = nullptr);
    ~TShowCallerIDForm() override;

    // "name\rnumber" as the main window writes it (at most 127 characters).
    void SetText(const QString& text);
    qint64 CloseTime = 0;  // seconds since 1970
    // Shows the popup full screen and starts the countdown.
    void ShowCaller();
    void OnTick();
    QString NameText() const;
    QString NumberText() const;
    QString CloseCaption() const;

private:
    std::unique_ptr<Ui::TShowCallerIDForm> ui;
    QTimer m_timer;
    QString m_text;
};
