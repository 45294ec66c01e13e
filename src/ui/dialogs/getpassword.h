#pragma once
// TGetPassword: asks for the settings password before a protected action. The typed text (at
// most 31 characters) is the result after OK; Cancel or the close box leave it empty, so a set
// password is then refused.

#include <QDialog>
#include <memory>

namespace Ui {
class TGetPassword;
}

class TGetPassword : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxLength = 31;

    explicit TGetPassword(QWidget* parent = nullptr);
    ~TGetPassword() override;

    void SetLabel(const QString& label);
    QString Result() const { return m_result; }

private:
    std::unique_ptr<Ui::TGetPassword> ui;
    QString m_result;
};
