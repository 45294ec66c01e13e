#include "ui/dialogs/helpwindow.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QTextBrowser>
#include <QVBoxLayout>

// The manual is built into this static library; its resources are registered by name.
static void LoadManual() {
    Q_INIT_RESOURCE(help);
}

namespace {
const QString kManual = QStringLiteral("qrc:/help/ringvale.html");
}  // namespace

const QStringList& THelpWindow::Topics() {
    static const QStringList topics = {
        QStringLiteral("Contents"),        QStringLiteral("General_Setup"),
        QStringLiteral("Paging_Setup"),    QStringLiteral("Dialing_Setup"),
        QStringLiteral("Security_Setup"),  QStringLiteral("AOL_Users"),
        QStringLiteral("Greeting_Setup"),  QStringLiteral("Email_Setup"),
        QStringLiteral("Phone_book_entry")};
    return topics;
}

THelpWindow::THelpWindow(QWidget* parent) : QDialog(parent), m_browser(new QTextBrowser(this)) {
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(QStringLiteral("Ringvale Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_browser->setObjectName(QStringLiteral("helpText"));
    m_browser->setOpenExternalLinks(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(640, 560);
}

THelpWindow* THelpWindow::ShowTopic(const QString& topic) {
    LoadManual();
    static QPointer<THelpWindow> window;
    if (!window) window = new THelpWindow;
    // A modal dialog blocks every window but its own: help asked for from one (the settings,
    // an entry) becomes its window, so that it can be read, scrolled and closed meanwhile.
    if (QWidget* modal = QApplication::activeModalWidget();
        modal != window->parentWidget() && modal != window.data()) {
        const bool shown = window->isVisible();
        window->setParent(modal, window->windowFlags());
        if (shown) window->show();
    }
    const QString anchor = Topics().contains(topic) ? topic : QStringLiteral("Contents");
    window->m_browser->setSource(QUrl(kManual + QLatin1Char('#') + anchor));
    window->m_browser->scrollToAnchor(anchor);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

QString THelpWindow::Topic() const {
    return m_browser->source().fragment();
}

QString THelpWindow::Manual() {
    LoadManual();
    QFile file(QStringLiteral(":/help/ringvale.html"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
