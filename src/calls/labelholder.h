#pragma once
// A box of fixed height that holds a label whose text changes while a call goes on (its
// status) and takes whatever width its layout gives. A label in a layout asks its window to
// lay itself out again at every new text, and each level up the window does so in turn; held
// here, a new text repaints the label and nothing else.

#include <QWidget>

class QLabel;

class TLabelHolder : public QWidget {
public:
    // Puts `label` into a holder in its place in its parent's layout, with room for `lines`
    // lines of its text, as wide as `widest` would be (unless the label's width is ignored).
    static TLabelHolder* Hold(QLabel* label, int lines, const QString& widest);
    // After a new text: one that needs more lines than held (a disk problem with its path) gets
    // them, and the window lays itself out again for it; the next short text gives them back.
    void Fit();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    TLabelHolder(QLabel* label, int lines, const QString& widest);
    int HeldHeight() const;

    QLabel* m_label;
    int m_lines;
    QString m_widest;
    int m_needed = 0;  // the height of a text longer than the lines held
};
