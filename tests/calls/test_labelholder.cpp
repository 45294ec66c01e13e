// A held status label: a new text lays out nothing else, and one too long for its lines is
// shown whole and gives the room back afterwards.

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>

#include "calls/labelholder.h"

namespace {
// Counts the requests for a new layout that reach a widget.
class TLayoutRequests : public QObject {
public:
    int Count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::LayoutRequest) ++Count;
        return false;
    }
};
}  // namespace

class TestLabelHolder : public QObject {
    Q_OBJECT

private slots:
    void statusChangesAloneAndLongTextsFit() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* status = new QLabel(QStringLiteral("Setting up"));
        status->setWordWrap(true);
        auto* button = new QPushButton(QStringLiteral("Stop"));
        layout->addWidget(status);
        layout->addWidget(button);
        TLabelHolder* holder =
            TLabelHolder::Hold(status, 2, QStringLiteral("Done playing greeting"));
        QVERIFY(holder);
        window.resize(220, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const int heldHeight = holder->height();
        const QRect buttonAt = button->geometry();

        QCoreApplication::processEvents();  // what showing it asked for
        TLayoutRequests requests;
        window.installEventFilter(&requests);
        for (const char* text : {"Playing Greeting", "Recording Message", "Done"}) {
            status->setText(QString::fromLatin1(text));
            holder->Fit();
            QCoreApplication::processEvents();
        }
        QCOMPARE(requests.Count, 0);
        QCOMPARE(button->geometry(), buttonAt);

        status->setText(
            QStringLiteral("Can't save message in Messages (No space left on device), kept as "
                           "/home/someone/.local/share/Ringvale/msg1796907062.wav"));
        holder->Fit();
        QTRY_VERIFY(holder->height() > heldHeight);
        QVERIFY(status->height() >= status->heightForWidth(status->width()));

        status->setText(QStringLiteral("Recording Message"));
        holder->Fit();
        QTRY_COMPARE(holder->sizeHint().height(), heldHeight);
    }
};

QTEST_MAIN(TestLabelHolder)
#include "test_labelholder.moc"
