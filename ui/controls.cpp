// A button that Enter presses, a field that reports double-clicks and a count label that
// shrinks a wide number to fit.
#include "controls.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

void CommandButton::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        click();
        return;
    }
    QPushButton::keyPressEvent(event);
}

void ConditionField::mouseDoubleClickEvent(QMouseEvent* event) {
    QLineEdit::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

QFont CountLabel::drawnFont() const {
    if (m_fittedText == text() && m_fittedFor == font())
        return m_fitted;
    m_fittedText = text();
    m_fittedFor = font();
    m_fitted = font();
    while (!fits(m_fitted) && m_fitted.pointSize() > 1)
        m_fitted.setPointSize(m_fitted.pointSize() - 1);
    return m_fitted;
}

// Whether the text, drawn top-left as the label draws it, stays inside the box: its
// advance and its ink within the width, and its ink above the bottom edge.
bool CountLabel::fits(const QFont& font) const {
    const QFontMetricsF metrics(font);
    const QRectF ink = metrics.tightBoundingRect(text());
    const QRectF box = contentsRect();
    const qreal right = std::max(metrics.horizontalAdvance(text()), ink.right());
    return right <= box.width() && metrics.ascent() + ink.bottom() <= box.height();
}

void CountLabel::mousePressEvent(QMouseEvent* event) {
    event->setAccepted(event->button() == Qt::LeftButton);
}

void CountLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

void CountLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(drawnFont());
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()) | Qt::TextSingleLine,
                          palette(), isEnabled(), text(), foregroundRole());
}
