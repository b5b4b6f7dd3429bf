// Form1: the window's controls from one table, and the handlers behind them.
#include "form1.h"

#include "clipboardtext.h"
#include "controls.h"
#include "engine/export.h"
#include "engine/import.h"
#include "engine/tally.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QPainter>
#include <QPushButton>

#include <cstdlib>
#include <limits>
#include <new>
#include <optional>

using brisquel::FieldId;
using brisquel::LabelId;

namespace {

constexpr QStringView windowTitleText = u"Brisquel v1.2 - 程序设计：Velkaran";
constexpr QStringView questionTitle = u"是否执行?";
constexpr QStringView importQuestion = u"确定要导入吗？先在WPS报表里全选复制报表，再导入";
constexpr QStringView importFailure = u"失败，请先打开EXCEL报表并全选复制";
constexpr QStringView importDone = u"已完成导入，如果还有更多相同报表可继续全选复制并导入";
constexpr QStringView resetQuestion = u"确定要置零吗？";
constexpr QStringView statisticsQuestion = u"确定要统计吗？先导入报表所有行再统计";
constexpr QStringView statisticsDone = u"已完成统计";
constexpr QStringView exportQuestion = u"确定要导出本次统计有效的列表吗？导出文本文件可以用WPS报表打开就是报"
                                       u"表了，可另存为XLSX格式，TAB制表符分隔，"
                                       u"如果有数字变指数请在WPS报表里把该列单元格属性改为分数或文本";
constexpr QStringView exportRefusal = u"导出失败，请先统计，有结果才能导出....";
constexpr QStringView exportDone = u"文件路径:";
constexpr QStringView exportFailure = u"导出失败，无法写入文件:";
constexpr QStringView outOfMemory = u"失败，内存不足，无法完成此操作";
constexpr QStringView crlf = u"\r\n"; // messages break lines with CR LF

constexpr QStringView usageNote = u"说明：用于对EXCEL进行双条件满足的个数统计。先填写条件1的表头文字，如台区"
                                  u"，再填写下面的条件内容，条件2也如法炮制。"
                                  u"然后，逐个表全选并复制数据，再点按钮从剪贴板导入并统计，即可得到个数，导"
                                  u"入数据量大的话，可能会无响应，请耐心等待即可。"
                                  u"注意，复制了数据要粘贴到文本栏，双击文本栏即可。";

// The face every label asks for, and the window's own face.
constexpr QStringView songFace = u"宋体";

// The engine reports every row; the window shows the latest report at most this often.
constexpr qint64 showIntervalMs = 33;

enum class Kind { Button, Field, Label, Count };

struct FontSpec {
    int pointSize; // 0: the window's font
    bool bold;
};
constexpr FontSpec windowFont{0, false};
constexpr FontSpec song9Bold{9, true};
constexpr FontSpec song12{12, false};
constexpr FontSpec song12Bold{12, true};
constexpr FontSpec song72Bold{72, true};

constexpr QRgb green = qRgb(0x00, 0xC0, 0x00);
constexpr QRgb blue = qRgb(0x00, 0x00, 0xFF);
constexpr QRgb red = qRgb(0xC0, 0x00, 0x00);

struct ControlRow {
    const char* name;
    Kind kind;
    QStringView text;
    int left, top, width, height; // twips
    FontSpec font;
    std::optional<QRgb> colour; // none: the platform's text colour
    bool enabled;
    QStringView accessibleName; // fields only; buttons and labels are known by their text
};

// Every control, in tab order.
// clang-format off
constexpr ControlRow controlTable[] = {
    {"Command1", Kind::Button, u"从剪贴板导入",           2760,  3360, 2655,  735,  windowFont, {},    true,  {}},
    {"Text1",    Kind::Field,  u"镇府公用台变",           240,   840,  3375,  375,  windowFont, {},    true,  u"条件1 内容"},
    {"Text2",    Kind::Field,  u"三相多功能电能表(费控)", 3960,  840,  3135,  375,  windowFont, {},    true,  u"条件2 内容1"},
    {"Label1",   Kind::Label,  u"导入统计条件1",          240,   120,  1335,  255,  song9Bold,  {},    true,  {}},
    {"Label2",   Kind::Label,  u"导入统计条件2",          4080,  120,  1335,  255,  song9Bold,  {},    true,  {}},
    {"Label3",   Kind::Count,  u"0",                      8400,  1440, 2535,  1455, song72Bold, green, true,  {}},
    {"Command2", Kind::Button, u"置零",                   240,   3360, 2415,  735,  windowFont, {},    false, {}},
    {"Text3",    Kind::Field,  u"台区",                   1200,  480,  2415,  270,  windowFont, {},    true,  u"条件1 表头文字"},
    {"Text4",    Kind::Field,  u"设备类型",               4800,  480,  2295,  270,  windowFont, {},    true,  u"条件2 表头文字"},
    {"Label4",   Kind::Label,  usageNote,                 360,   4320, 10575, 1095, song12,     {},    true,  {}},
    {"Label5",   Kind::Count,  u"0",                      9600,  465,  1455,  255,  song12Bold, blue,  true,  {}},
    {"Command3", Kind::Button, u"统计 ",                  5520,  3360, 2295,  735,  windowFont, {},    false, {}},
    {"Label6",   Kind::Label,  u"已导入行数:",            8400,  480,  1095,  255,  windowFont, {},    true,  {}},
    {"Text5",    Kind::Field,  u"三相载波电子式电能表",   3960,  1320, 3135,  375,  windowFont, {},    true,  u"条件2 内容2"},
    {"Text6",    Kind::Field,  u"普通三相电子式电能表",   3960,  1800, 3135,  375,  windowFont, {},    true,  u"条件2 内容3"},
    {"Text7",    Kind::Field,  u"三相智能电能表（费控）", 3960,  2280, 3135,  375,  windowFont, {},    true,  u"条件2 内容4"},
    {"Text8",    Kind::Field,  u"三相多功能电能表",       3960,  2760, 3135,  375,  windowFont, {},    true,  u"条件2 内容5"},
    {"Label7",   Kind::Count,  u"0",                      2880,  1320, 735,   255,  song12Bold, red,   true,  {}},
    {"Label8",   Kind::Count,  u"0",                      7200,  960,  615,   255,  song12Bold, red,   true,  {}},
    {"Label9",   Kind::Count,  u"0",                      7200,  1440, 735,   255,  song12Bold, red,   true,  {}},
    {"Label10",  Kind::Count,  u"0",                      7200,  1920, 735,   255,  song12Bold, red,   true,  {}},
    {"Label11",  Kind::Count,  u"0",                      7200,  2400, 735,   255,  song12Bold, red,   true,  {}},
    {"Label12",  Kind::Count,  u"0",                      7200,  2880, 735,   255,  song12Bold, red,   true,  {}},
    {"Command4", Kind::Button, u"导出统计列表到TXT",      8280,  3360, 2775,  735,  windowFont, {},    false, {}},
    {"Label13",  Kind::Label,  u"表头文字:",              240,   480,  975,   255,  windowFont, {},    true,  {}},
    {"Label14",  Kind::Label,  u"表头文字:",              3960,  480,  975,   255,  windowFont, {},    true,  {}},
    {"Label15",  Kind::Label,  u"符合数:",                2040,  1320, 735,   255,  windowFont, {},    true,  {}},
};
// clang-format on

struct LineRow {
    const char* name;
    int x, top, bottom; // twips; both lines are vertical
};

constexpr LineRow lineTable[] = {
    {"Line1", 3840, 480, 3240},
    {"Line2", 8040, 480, 4080},
};

// Sizes in the table are in twips, 15 to a pixel at 96 dots per inch; Qt scales pixels
// for other screens.
constexpr int twipsToPixels(int twips) {
    return (twips + 7) / 15;
}

QRect twipsRect(int left, int top, int width, int height) {
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
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
    QFont::insertSubstitutions(songFace.toString(), faces);
}

QFont songFont(int pointSize, bool bold) {
    return QFont(songFace.toString(), pointSize, bold ? QFont::Bold : QFont::Normal);
}

QPushButton* makeButton(QWidget* parent, const ControlRow& row) {
    auto* button = new QPushButton(row.text.toString(), parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

ConditionField* makeField(QWidget* parent, const ControlRow& row) {
    auto* field = new ConditionField(row.text.toString(), parent);
    field->setMaxLength(std::numeric_limits<int>::max());
    field->setAccessibleName(row.accessibleName.toString());
    return field;
}

template <typename LabelType> LabelType* makeLabel(QWidget* parent, const ControlRow& row) {
    auto* label = new LabelType(row.text.toString(), parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setAutoFillBackground(true);
    return label;
}

QWidget* makeControl(QWidget* parent, const ControlRow& row) {
    switch (row.kind) {
    case Kind::Button:
        return makeButton(parent, row);
    case Kind::Field:
        return makeField(parent, row);
    case Kind::Label: {
        auto* label = makeLabel<QLabel>(parent, row);
        label->setWordWrap(true);
        return label;
    }
    case Kind::Count:
        return makeLabel<CountLabel>(parent, row);
    }
    return nullptr;
}

QFrame* makeLine(QWidget* parent, const LineRow& row) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(1);
    line->setGeometry(twipsToPixels(row.x), twipsToPixels(row.top), 1,
                      twipsToPixels(row.bottom) - twipsToPixels(row.top) + 1);
    return line;
}

constexpr std::size_t indexOf(FieldId field) {
    return static_cast<std::size_t>(field);
}

constexpr std::size_t indexOf(LabelId label) {
    return static_cast<std::size_t>(label);
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

} // namespace

// The window is built in three steps: the controls from the table, then the handlers
// wired to them, then Form_Load.
Form1::Form1(std::unique_ptr<UserDialogs> dialogs, QWidget* parent)
    : QWidget(parent), m_dialogs(std::move(dialogs)), m_exportFolder(brisquel::programFolder()) {
    registerSongSubstitutes();
    setWindowTitle(windowTitleText.toString());
    setWindowIcon(QIcon(QStringLiteral(":/brisquel.png")));
    setFont(songFont(9, false));
    resize(twipsToPixels(11190), twipsToPixels(5475));
    m_background.load(QStringLiteral(":/background.png"));

    createControls();
    connectHandlers();
    Form_Load();
    m_commands[0]->setFocus();
}

Form1::~Form1() = default;

void Form1::createControls() {
    QWidget* previous = nullptr;
    for (const ControlRow& row : controlTable) {
        QWidget* control = makeControl(this, row);
        control->setObjectName(QLatin1StringView(row.name));
        control->setGeometry(twipsRect(row.left, row.top, row.width, row.height));
        control->setEnabled(row.enabled);
        if (row.font.pointSize != 0)
            control->setFont(songFont(row.font.pointSize, row.font.bold));
        if (row.colour) {
            QPalette palette = control->palette();
            palette.setColor(QPalette::WindowText, QColor(*row.colour));
            control->setPalette(palette);
        }
        if (control->focusPolicy() != Qt::NoFocus) {
            if (previous)
                setTabOrder(previous, control);
            previous = control;
        }
    }
    for (const LineRow& row : lineTable)
        makeLine(this, row)->setObjectName(QLatin1StringView(row.name));

    for (int i = 0; i < 4; ++i)
        m_commands[i] = findChild<QPushButton*>(QStringLiteral("Command%1").arg(i + 1));
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        m_fields[i] = findChild<ConditionField*>(QLatin1StringView(brisquel::fieldName(FieldId(i))));
        // Where a caption's box runs into its field, the field is drawn on top.
        m_fields[i]->raise();
    }
    for (std::size_t i = 0; i < m_counts.size(); ++i)
        m_counts[i] = findChild<CountLabel*>(QLatin1StringView(brisquel::labelName(LabelId(i))));
}

void Form1::connectHandlers() {
    connect(m_commands[0], &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(m_commands[1], &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(m_commands[2], &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(m_commands[3], &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(countLabel(LabelId::Label3), &CountLabel::clicked, this, &Form1::Label3_Click);
    connect(countLabel(LabelId::Label5), &CountLabel::clicked, this, &Form1::Label5_Click);
    connect(m_fields[indexOf(FieldId::Text1)], &ConditionField::doubleClicked, this, &Form1::Text1_DblClick);
    connect(m_fields[indexOf(FieldId::Text2)], &ConditionField::doubleClicked, this, &Form1::Text2_DblClick);
    connect(m_fields[indexOf(FieldId::Text3)], &ConditionField::doubleClicked, this, &Form1::Text3_DblClick);
    connect(m_fields[indexOf(FieldId::Text4)], &ConditionField::doubleClicked, this, &Form1::Text4_DblClick);
    connect(m_fields[indexOf(FieldId::Text5)], &ConditionField::doubleClicked, this, &Form1::Text5_DblClick);
    connect(m_fields[indexOf(FieldId::Text6)], &ConditionField::doubleClicked, this, &Form1::Text6_DblClick);
    connect(m_fields[indexOf(FieldId::Text7)], &ConditionField::doubleClicked, this, &Form1::Text7_DblClick);
    connect(m_fields[indexOf(FieldId::Text8)], &ConditionField::doubleClicked, this, &Form1::Text8_DblClick);
}

void Form1::setExportFolder(const QString& folder) {
    m_exportFolder = folder.toStdString();
}

void Form1::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
}

void Form1::closeEvent(QCloseEvent* event) {
    if (m_operationRunning) {
        // A close can only arrive here while an import or a statistics run shows its
        // progress, or just after an export has closed its file. The engine cannot be
        // stopped in the middle of a pass and nothing the tool holds outlives the window,
        // so the process ends at once instead of working on behind a vanished window.
        std::_Exit(EXIT_SUCCESS);
    }
    QWidget::closeEvent(event);
}

void Form1::Form_Load() {
    // A new tally state is the initialised one: alli and alltxti 0, both texts empty.
    m_state = brisquel::TallyState();
}

void Form1::Command1_Click() {
    if (!ask(importQuestion))
        return;
    // The clipboard's UTF-16 copy goes as soon as the UTF-8 text is made: a whole sheet
    // is hundreds of megabytes.
    QByteArray text;
    try {
        text = reportTextFromClipboard(m_dialogs->clipboardText(), platformLineEnds());
    } catch (const std::bad_alloc&) {
        notify(outOfMemory.toString());
        return;
    }
    const std::string_view report(text.constData(), static_cast<std::size_t>(text.size()));
    if (!brisquel::isImportable(report)) {
        notify(importFailure.toString());
        return;
    }
    lockWindow();
    if (runOperation([&] { brisquel::importText(m_state, report, *this); })) {
        setWindowTitle(importDone.toString());
        notify(windowTitle());
    }
    unlockWindow();
}

void Form1::Command2_Click() {
    if (!ask(resetQuestion))
        return;
    m_state.reset(*this);
    showPending();
}

void Form1::Command3_Click() {
    if (!ask(statisticsQuestion))
        return;
    lockWindow();
    if (runOperation([&] { brisquel::runStatistics(m_state, *this); })) {
        setWindowTitle(statisticsDone.toString());
        notify(windowTitle());
    }
    unlockWindow();
}

void Form1::Command4_Click() {
    if (!brisquel::canExport(m_state)) {
        notify(exportRefusal.toString());
        return;
    }
    if (!ask(exportQuestion))
        return;
    lockWindow();
    brisquel::ExportResult result;
    if (runOperation(
            [&] { result = brisquel::exportList(m_state, m_exportFolder, brisquel::currentLocalTime()); })) {
        const QString path = QString::fromStdString(result.path);
        if (result.ok())
            notify(QStringList{exportDone.toString(), path}.join(crlf));
        else
            notify(
                QStringList{exportFailure.toString(), path, QString::fromStdString(result.error)}.join(crlf));
    }
    unlockWindow();
}

void Form1::Label3_Click() {
    countLabel(LabelId::Label3)->setText(QString::number(m_state.alli()));
}

void Form1::Label5_Click() {
    countLabel(LabelId::Label5)->setText(QString::number(m_state.alltxti()));
}

void Form1::Text1_DblClick() {
    pasteInto(FieldId::Text1);
}

void Form1::Text2_DblClick() {
    pasteInto(FieldId::Text2);
}

void Form1::Text3_DblClick() {
    pasteInto(FieldId::Text3);
}

void Form1::Text4_DblClick() {
    pasteInto(FieldId::Text4);
}

void Form1::Text5_DblClick() {
    pasteInto(FieldId::Text5);
}

void Form1::Text6_DblClick() {
    pasteInto(FieldId::Text6);
}

void Form1::Text7_DblClick() {
    pasteInto(FieldId::Text7);
}

void Form1::Text8_DblClick() {
    pasteInto(FieldId::Text8);
}

void Form1::pasteInto(FieldId field) {
    const QString clipboard = m_dialogs->clipboardText();
    if (clipboard.isEmpty())
        return;
    m_fields[indexOf(field)]->setText(fieldTextFromClipboard(clipboard));
}

bool Form1::ask(QStringView question) {
    return m_dialogs->ask(this, questionTitle.toString(), question.toString());
}

void Form1::notify(const QString& text) {
    m_dialogs->notify(this, text);
}

void Form1::lockWindow() {
    for (QPushButton* command : m_commands)
        command->setEnabled(false);
}

void Form1::unlockWindow() {
    for (QPushButton* command : m_commands)
        command->setEnabled(true);
}

// Runs one engine operation to its end. Meanwhile the window keeps the engine's latest
// texts and shows them now and then (see progress()); the user's input is swallowed, and
// what is still queued when the operation ends is swallowed too, before the closing
// notice could take it. A report too large for the memory left ends the operation with a
// notice instead of ending the program; the engine takes its large buffers before it
// changes anything. Returns whether the operation ran to its end.
template <typename Operation> bool Form1::runOperation(Operation operation) {
    m_operationRunning = true;
    qApp->installEventFilter(&m_inputBlocker);
    m_sinceShown.invalidate();
    bool finished = true;
    try {
        operation();
    } catch (const std::bad_alloc&) {
        finished = false;
    }
    showProgressNow();
    qApp->removeEventFilter(&m_inputBlocker);
    m_operationRunning = false;
    if (!finished)
        notify(outOfMemory.toString());
    return finished;
}

std::string Form1::fieldText(FieldId field) {
    return m_fields[indexOf(field)]->text().toStdString();
}

void Form1::showText(LabelId label, std::string_view text) {
    PendingText& pending = m_pendingCounts[indexOf(label)];
    pending.text.assign(text);
    pending.changed = true;
}

// The engine reports every row of a pass. Setting the title and labels a million times
// would cost more than the pass itself, so only the latest report is kept and shown at
// most every showIntervalMs (the first one at once), and once more when the pass ends.
void Form1::progress(std::int64_t index, std::int64_t lastIndex) {
    m_progressIndex = index;
    m_progressLast = lastIndex;
    m_progressChanged = true;
    if (!m_sinceShown.isValid() || m_sinceShown.elapsed() >= showIntervalMs)
        showProgressNow();
}

// Shows the pending texts and lets the window repaint. Events are processed in full, so
// a close from the window manager is seen at once; the input blocker drops clicks and
// keys, which would otherwise wait in the queue and act after the operation.
void Form1::showProgressNow() {
    showPending();
    QCoreApplication::processEvents();
    m_sinceShown.start();
}

void Form1::showPending() {
    if (m_progressChanged) {
        setWindowTitle(QString::number(m_progressIndex) + u'/' + QString::number(m_progressLast));
        m_progressChanged = false;
    }
    for (std::size_t i = 0; i < m_pendingCounts.size(); ++i) {
        PendingText& pending = m_pendingCounts[i];
        if (pending.changed) {
            m_counts[i]->setText(QString::fromStdString(pending.text));
            pending.changed = false;
        }
    }
}

CountLabel* Form1::countLabel(LabelId label) const {
    return m_counts[indexOf(label)];
}

bool Form1::InputBlocker::eventFilter(QObject*, QEvent* event) {
    return isUserInput(event->type());
}
