#pragma once
// THelpWindow ("Ringvale Help"): the manual that comes with the program, opened at a topic
// ("Contents", "General_Setup", "Paging_Setup", "Dialing_Setup", "Security_Setup",
// "AOL_Users", "Greeting_Setup", "Email_Setup", "Phone_book_entry"). One window serves every Help
// button and stays open beside the window that asked.

#include <QDialog>

class QTextBrowser;

class THelpWindow : public QDialog {
    Q_OBJECT
public:
    static const QStringList& Topics();
    // Shows the one help window at the topic (an unknown topic shows the contents).
    static THelpWindow* ShowTopic(const QString& topic);
    QString Topic() const;
    // The manual's text: every topic must have its anchor there.
    static QString Manual();

private:
    explicit THelpWindow(QWidget* parent = nullptr);
    QTextBrowser* m_browser;
};
