// The main window and the desktop prompts, offscreen.

#include <QtTest>

#include "ui/dialogs/widgetprompts.h"
#include "ui/main/mainform.h"

class TestMainForm : public QObject {
    Q_OBJECT
private slots:
    void showsItsCaption() {
        TMainForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.windowTitle(), QString("Ringvale"));
    }

    void fileFiltersBecomeQtFilters() {
        QCOMPARE(TWidgetPrompts::QtFilter("Sound Files (*.wav)|*.wav"),
                 QString("Sound Files (*.wav)"));
        QCOMPARE(TWidgetPrompts::QtFilter("Links (*.lnk)|*.lnk|Programs (*.exe)|*.exe"),
                 QString("Links (*.lnk);;Programs (*.exe)"));
        QCOMPARE(TWidgetPrompts::QtFilter("Text|*.txt;*.csv"), QString("Text (*.txt *.csv)"));
        QCOMPARE(DisplayText("one\rtwo\r\nthree"), QString("one\ntwo\nthree"));
    }
};

QTEST_MAIN(TestMainForm)
#include "test_mainform.moc"
