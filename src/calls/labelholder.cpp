#include "calls/labelholder.h"

#include <QLabel>
#include <QLayout>

TLabelHolder::TLabelHolder(QLabel* label, int lines, const QString& widest)
    : QWidget(label->parentWidget()), m_label(label), m_lines(lines), m_widest(widest) {
    setObjectName(label->objectName() + QStringLiteral("Holder"));
    setSizePolicy(label->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
}

TLabelHolder* TLabelHolder::Hold(QLabel* label, int lines, const QString& widest) {
    QWidget* parent = label->parentWidget();
    if (!parent || !parent->layout()) return nullptr;
    auto* holder = new TLabelHolder(label, lines, widest);
    delete parent->layout()->replaceWidget(label, holder);
    label->setParent(holder);
    label->show();
    return holder;
}

void TLabelHolder::Fit() {
    const int needed = m_label->heightForWidth(width());
    const int held = HeldHeight();
    const int wanted = needed > held ? needed : 0;
    if (wanted == m_needed) return;
    m_needed = wanted;
    updateGeometry();
}

int TLabelHolder::HeldHeight() const {
    const QMargins margins = m_label->contentsMargins();
    return m_label->fontMetrics().lineSpacing() * m_lines + margins.top() + margins.bottom() +
           2 * m_label->margin();
}

// Neither changes with a new text, unless Fit finds that it needs more lines.
QSize TLabelHolder::sizeHint() const {
    const QFontMetrics metrics = m_label->fontMetrics();
    const QMargins margins = m_label->contentsMargins();
    const int frame = 2 * m_label->margin();
    const int width =
        m_label->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored
            ? 0
            : metrics.horizontalAdvance(m_widest) + margins.left() + margins.right() + frame;
    return {width, qMax(HeldHeight(), m_needed)};
}

void TLabelHolder::resizeEvent(QResizeEvent*) {
    m_label->setGeometry(rect());
}
