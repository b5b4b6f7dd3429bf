// The three controls the window needs beyond Qt's own: a button that Enter presses, a field
// that reports double-clicks, and a count label that shrinks a wide number to fit its box.
#pragma once

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

// A command button. Enter presses the focused button, as it does every push button on
// Windows; Qt's own buttons take Enter only as the default button of a dialog, and the
// window has no default button.
class CommandButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// A condition field: a single-line text box whose double-click the window handles.
class ConditionField : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// A label that shows a count in a fixed box. Its box was sized for a few digits, while a
// report can give millions of rows; a number wider than the box is drawn in the largest
// smaller point size of the same face and weight that fits, never cut off or wrapped.
class CountLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    // The font the current text is drawn in: the label's own font when the text fits.
    QFont drawnFont() const;

signals:
    // A press and release of the left button on the label.
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool fits(const QFont& font) const;

    // drawnFont() for the text and font it was last worked out for.
    mutable QString m_fittedText;
    mutable QFont m_fittedFor;
    mutable QFont m_fitted;
};
