#pragma once
// TGetTextFileForm ("Get Text File"): where and how to export a list to a text file: the file,
// a comma or a tab between the fields (a blank when neither is chosen), and which of the
// list's first eight columns to write.

#include <QDialog>
#include <QList>
#include <memory>

namespace Ui {
class TGetTextFileForm;
}

class TGetTextFileForm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kMaxColumns = 8;

    explicit TGetTextFileForm(QWidget* parent = nullptr);
    ~TGetTextFileForm() override;

    // Where a list is exported unless the user chooses otherwise.
    static QString DefaultFolder();
    // The list's column captions (the first eight are offered, ticked) and a proposed name,
    // offered in the default folder.
    void Offer(const QStringList& columns, const QString& fileName);

    // After OK: the file, the delimiter and, per offered column, whether to write it.
    QString FileName() const { return m_fileName; }
    char Delimiter() const { return m_delimiter; }
    QList<bool> Included() const { return m_included; }

    // What the OK button does, also for tests that fill the dialog.
    void OKButtonClick();

private:
    void BrowseButtonClick();

    std::unique_ptr<Ui::TGetTextFileForm> ui;
    QString m_fileName;
    char m_delimiter = 0;
    QList<bool> m_included;
};
