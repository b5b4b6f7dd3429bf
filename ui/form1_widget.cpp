// Form1Widget: Qt widgets made from Form1's table, their events handed to Form1's handlers.
#include "form1_widget.h"

#include "controls.h"
#include "engine/export.h"
#include "unicode/unicode.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QMimeData>
#include <QPainter>
#include <QStandardPaths>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <limits>

using brisquel::ControlId;
using brisquel::ControlKind;
using brisquel::ControlSpec;
using brisquel::twipsToPixels;

namespace {

// Texts cross between Qt and Form1 through the Unicode unit, by its rule, rather than through
// Qt's conversions, which write half a surrogate pair as "?".
QString qText(std::string_view text) {
    QString units(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
    auto* start = reinterpret_cast<char16_t*>(units.data());
    units.truncate(static_cast<qsizetype>(brisquel::utf8ToUtf16(text, start) - start));
    return units;
}

std::string utf8Text(const QString& text) {
    std::string bytes(static_cast<std::size_t>(text.size()) * 3 + brisquel::utf16ToUtf8Slack, '\0');
    const std::u16string_view units(QStringView(text).utf16(), static_cast<std::size_t>(text.size()));
    bytes.resize(static_cast<std::size_t>(brisquel::utf16ToUtf8(units, false, bytes.data()) - bytes.data()));
    return bytes;
}

// Sizes in the table are in twips, 15 to a pixel at 96 dots per inch; Qt scales pixels
// for other screens.
QRect pixelRect(const brisquel::Box& box) {
    return {twipsToPixels(box.left), twipsToPixels(box.top), twipsToPixels(box.width),
            twipsToPixels(box.height)};
}

// "宋体" is on every Chinese Windows, with NSimSun as its twin. Elsewhere a Song or Ming
// face stands in, and failing those any face that writes Simplified Chinese.
void registerSongSubstitutes() {
    QStringList faces = {QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                         QStringLiteral("AR PL UMing CN"), QStringLiteral("Noto Serif CJK SC"),
                         QStringLiteral("Source Han Serif SC")};
    for (const QString& family : QFontDatabase::families(QFontDatabase::SimplifiedChinese)) {
        if (!faces.contains(family))
            faces.append(family);
    }
    QFont::insertSubstitutions(qText(brisquel::songFace), faces);
}

QFont songFont(brisquel::FontSpec font) {
    return QFont(qText(brisquel::songFace), font.pointSize, font.bold ? QFont::Bold : QFont::Normal);
}

template <typename LabelType> LabelType* makeLabel(QWidget* parent, const ControlSpec& entry) {
    auto* label = new LabelType(qText(entry.text), parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setAutoFillBackground(true);
    return label;
}

QWidget* makeControl(QWidget* parent, const ControlSpec& entry) {
    switch (entry.kind) {
    case ControlKind::Button:
        return new CommandButton(qText(entry.text), parent);
    case ControlKind::Field: {
        auto* field = new ConditionField(qText(entry.text), parent);
        field->setMaxLength(std::numeric_limits<int>::max());
        field->setAccessibleName(qText(entry.accessibleName));
        return field;
    }
    case ControlKind::Label: {
        auto* label = makeLabel<QLabel>(parent, entry);
        label->setWordWrap(true);
        return label;
    }
    case ControlKind::Count:
        return makeLabel<CountLabel>(parent, entry);
    }
    return nullptr;
}

QFrame* makeLine(QWidget* parent, const brisquel::LineSpec& entry) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(1);
    line->setGeometry(twipsToPixels(entry.x), twipsToPixels(entry.top), 1,
                      twipsToPixels(entry.bottom) - twipsToPixels(entry.top) + 1);
    return line;
}

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

// Form1 reads its clock at every row the engine reports, a million times in a full sheet.
// Linux's coarse clock is read from memory the kernel keeps up to date, several times faster
// than the precise one; its steps of a few milliseconds are fine for progress shown every
// 33 ms.
std::chrono::steady_clock::time_point progressClock() {
#ifdef CLOCK_MONOTONIC_COARSE
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return std::chrono::steady_clock::time_point(std::chrono::seconds(now.tv_sec) +
                                                 std::chrono::nanoseconds(now.tv_nsec));
#else
    return std::chrono::steady_clock::now();
#endif
}

// Exports go to the program's own folder. Installed from the Debian package the program
// lives in the system's /usr/bin, where a clerk cannot write: then they go to the clerk's
// documents folder, and the notice names the file as always.
std::string exportFolder() {
    const std::string folder = brisquel::programFolder();
    if (QFileInfo(QString::fromStdString(folder)).isWritable())
        return folder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QDir().mkpath(documents);
    return documents.toStdString();
}

} // namespace

// The window is built in three steps: the controls from the table, then the handlers
// wired to them, then Form_Load.
Form1Widget::Form1Widget(std::unique_ptr<UserDialogs> dialogs, QWidget* parent)
    : QWidget(parent), m_dialogs(std::move(dialogs)), m_form(*this, exportFolder(), progressClock) {
    registerSongSubstitutes();
    setWindowTitle(qText(brisquel::windowTitle));
    setWindowIcon(QIcon(QStringLiteral(":/brisquel.png")));
    setFont(songFont(brisquel::windowFont));
    resize(twipsToPixels(brisquel::clientWidth), twipsToPixels(brisquel::clientHeight));
    m_background.load(QStringLiteral(":/background.png"));

    setAcceptDrops(true);
    createControls();
    connectHandlers();
    m_form.Form_Load();
    control(ControlId::Command1)->setFocus();
}

Form1Widget::~Form1Widget() = default;

void Form1Widget::createControls() {
    QWidget* previous = nullptr;
    for (const ControlSpec& entry : brisquel::controlTable) {
        QWidget* widget = makeControl(this, entry);
        widget->setObjectName(QLatin1StringView(entry.name));
        widget->setGeometry(pixelRect(entry.box));
        widget->setEnabled(entry.enabled);
        if (entry.font.pointSize != 0)
            widget->setFont(songFont(entry.font));
        if (entry.colour) {
            QPalette palette = widget->palette();
            palette.setColor(QPalette::WindowText,
                             QColor(entry.colour->red, entry.colour->green, entry.colour->blue));
            widget->setPalette(palette);
        }
        if (widget->focusPolicy() != Qt::NoFocus) {
            if (previous)
                setTabOrder(previous, widget);
            previous = widget;
        }
        m_controls[static_cast<std::size_t>(entry.id)] = widget;
    }
    // Where a caption's box runs into its field, the field is drawn on top.
    for (const ControlSpec& entry : brisquel::controlTable) {
        if (entry.kind == ControlKind::Field)
            control(entry.id)->raise();
    }
    for (const brisquel::LineSpec& entry : brisquel::lineTable)
        makeLine(this, entry)->setObjectName(QLatin1StringView(entry.name));
}

void Form1Widget::connectHandlers() {
    using brisquel::Form1;
    // `signal` of the widget that stands for control `id` calls `handler`.
    const auto on = [this]<typename Widget, typename... Arguments>(
                        ControlId id, void (Widget::*signal)(Arguments...), void (Form1::*handler)()) {
        connect(static_cast<Widget*>(control(id)), signal, this, [this, handler] { (m_form.*handler)(); });
    };
    on(ControlId::Command1, &QPushButton::clicked, &Form1::Command1_Click);
    on(ControlId::Command2, &QPushButton::clicked, &Form1::Command2_Click);
    on(ControlId::Command3, &QPushButton::clicked, &Form1::Command3_Click);
    on(ControlId::Command4, &QPushButton::clicked, &Form1::Command4_Click);
    on(ControlId::Label3, &CountLabel::clicked, &Form1::Label3_Click);
    on(ControlId::Label5, &CountLabel::clicked, &Form1::Label5_Click);
    on(ControlId::Text1, &ConditionField::doubleClicked, &Form1::Text1_DblClick);
    on(ControlId::Text2, &ConditionField::doubleClicked, &Form1::Text2_DblClick);
    on(ControlId::Text3, &ConditionField::doubleClicked, &Form1::Text3_DblClick);
    on(ControlId::Text4, &ConditionField::doubleClicked, &Form1::Text4_DblClick);
    on(ControlId::Text5, &ConditionField::doubleClicked, &Form1::Text5_DblClick);
    on(ControlId::Text6, &ConditionField::doubleClicked, &Form1::Text6_DblClick);
    on(ControlId::Text7, &ConditionField::doubleClicked, &Form1::Text7_DblClick);
    on(ControlId::Text8, &ConditionField::doubleClicked, &Form1::Text8_DblClick);
}

void Form1Widget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
}

// Files dragged from a file manager are taken; while an operation runs the drop itself is
// dropped with the rest of the input.
void Form1Widget::dragEnterEvent(QDragEnterEvent* event) {
    if (!localFiles(*event->mimeData()).empty())
        event->acceptProposedAction();
}

void Form1Widget::dropEvent(QDropEvent* event) {
    const std::vector<std::string> files = localFiles(*event->mimeData());
    if (files.empty())
        return;
    event->acceptProposedAction();
    m_form.Form_OLEDragDrop(files);
}

void Form1Widget::closeEvent(QCloseEvent* event) {
    if (m_form.operationRunning())
        std::_Exit(EXIT_SUCCESS);
    QWidget::closeEvent(event);
}

bool Form1Widget::ask(std::string_view title, std::string_view text) {
    return m_dialogs->ask(this, qText(title), qText(text));
}

void Form1Widget::notify(std::string_view text) {
    m_dialogs->notify(this, qText(text));
}

void Form1Widget::setTitle(std::string_view title) {
    setWindowTitle(qText(title));
}

void Form1Widget::setText(ControlId id, std::string_view text) {
    if (auto* field = qobject_cast<QLineEdit*>(control(id)))
        field->setText(qText(text));
    else
        static_cast<QLabel*>(control(id))->setText(qText(text));
}

void Form1Widget::setEnabled(ControlId id, bool enabled) {
    control(id)->setEnabled(enabled);
}

void Form1Widget::setFocus(ControlId id) {
    control(id)->setFocus(Qt::OtherFocusReason);
}

std::string Form1Widget::fieldText(ControlId field) {
    return utf8Text(static_cast<QLineEdit*>(control(field))->text());
}

brisquel::ClipboardText Form1Widget::readClipboard() {
    return m_dialogs->readClipboard();
}

// Events are processed in full, so a close from the window manager is seen at once; the
// input blocker drops clicks and keys, which would otherwise wait in the queue and act
// after the operation.
void Form1Widget::showPendingNow() {
    qApp->installEventFilter(&m_inputBlocker);
    QCoreApplication::processEvents();
    qApp->removeEventFilter(&m_inputBlocker);
}

bool Form1Widget::InputBlocker::eventFilter(QObject*, QEvent* event) {
    return isUserInput(event->type());
}
