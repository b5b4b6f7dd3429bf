// Form1's layout: the window, its 27 controls and 2 lines, as every host builds them.
//
// Boxes are in twips, 1440 to the inch: 15 to a pixel at 96 dots per inch. Texts are UTF-8.
#pragma once

#include "engine/tally_view.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace brisquel {

// Every control, in tab order; the value is the control's row in controlTable.
enum class ControlId {
    Command1,
    Text1,
    Text2,
    Label1,
    Label2,
    Label3,
    Command2,
    Text3,
    Text4,
    Label4,
    Label5,
    Command3,
    Label6,
    Text5,
    Text6,
    Text7,
    Text8,
    Label7,
    Label8,
    Label9,
    Label10,
    Label11,
    Label12,
    Command4,
    Label13,
    Label14,
    Label15,
};

enum class ControlKind {
    Button, // a push button
    Field,  // a single-line text box
    Label,  // static text that wraps within its box
    Count,  // static text showing a number, which shrinks to fit its box
};

struct Box {
    int left, top, width, height; // twips
};

struct FontSpec {
    int pointSize; // 0: the window's own font
    bool bold;
};

struct Rgb {
    std::uint8_t red, green, blue;
};

struct ControlSpec {
    ControlId id;
    std::string_view name;
    ControlKind kind;
    std::string_view text;
    Box box;
    FontSpec font;
    std::optional<Rgb> colour; // none: the platform's text colour
    bool enabled;
    std::string_view accessibleName; // fields only; buttons and labels are known by their text
};

struct LineSpec {
    std::string_view name;
    int x, top, bottom; // twips; both lines are vertical
};

inline constexpr std::string_view windowTitle = "Brisquel v1.2 - 程序设计：Velkaran";
// The client area, in twips: 746 x 365 pixels at 96 dots per inch.
inline constexpr int clientWidth = 11190;
inline constexpr int clientHeight = 5475;

// The face every label asks for, in the GB2312 character set, and the window's own font.
inline constexpr std::string_view songFace = "宋体";
inline constexpr int gb2312Charset = 134;
inline constexpr FontSpec windowFont{9, false};

inline constexpr std::string_view usageNote =
    "说明：用于对EXCEL进行双条件满足的个数统计。先填写条件1的表头文字，如台区，再填写下面的条件内容，"
    "条件2也如法炮制。然后，逐个表全选并复制数据，再点按钮从剪贴板导入并统计，即可得到个数，"
    "导入数据量大的话，可能会无响应，请耐心等待即可。注意，复制了数据要粘贴到文本栏，双击文本栏即可。";

namespace layout {
constexpr FontSpec own{0, false};
constexpr FontSpec song9Bold{9, true};
constexpr FontSpec song12{12, false};
constexpr FontSpec song12Bold{12, true};
constexpr FontSpec song72Bold{72, true};
constexpr Rgb green{0x00, 0xC0, 0x00};
constexpr Rgb blue{0x00, 0x00, 0xFF};
constexpr Rgb red{0xC0, 0x00, 0x00};
} // namespace layout

// clang-format off
inline constexpr std::array<ControlSpec, 27> controlTable = [] {
    using enum ControlId;
    using enum ControlKind;
    using namespace layout;
    return std::array<ControlSpec, 27>{{
        {Command1, "Command1", Button, "从剪贴板导入",           {2760, 3360, 2655, 735},   own,        {},    true,  {}},
        {Text1,    "Text1",    Field,  "镇府公用台变",           {240, 840, 3375, 375},     own,        {},    true,  "条件1 内容"},
        {Text2,    "Text2",    Field,  "三相多功能电能表(费控)", {3960, 840, 3135, 375},    own,        {},    true,  "条件2 内容1"},
        {Label1,   "Label1",   Label,  "导入统计条件1",          {240, 120, 1335, 255},     song9Bold,  {},    true,  {}},
        {Label2,   "Label2",   Label,  "导入统计条件2",          {4080, 120, 1335, 255},    song9Bold,  {},    true,  {}},
        {Label3,   "Label3",   Count,  "0",                      {8400, 1440, 2535, 1455},  song72Bold, green, true,  {}},
        {Command2, "Command2", Button, "置零",                   {240, 3360, 2415, 735},    own,        {},    false, {}},
        {Text3,    "Text3",    Field,  "台区",                   {1200, 480, 2415, 270},    own,        {},    true,  "条件1 表头文字"},
        {Text4,    "Text4",    Field,  "设备类型",               {4800, 480, 2295, 270},    own,        {},    true,  "条件2 表头文字"},
        {Label4,   "Label4",   Label,  usageNote,                {360, 4320, 10575, 1095},  song12,     {},    true,  {}},
        {Label5,   "Label5",   Count,  "0",                      {9600, 465, 1455, 255},    song12Bold, blue,  true,  {}},
        {Command3, "Command3", Button, "统计 ",                  {5520, 3360, 2295, 735},   own,        {},    false, {}},
        {Label6,   "Label6",   Label,  "已导入行数:",            {8400, 480, 1095, 255},    own,        {},    true,  {}},
        {Text5,    "Text5",    Field,  "三相载波电子式电能表",   {3960, 1320, 3135, 375},   own,        {},    true,  "条件2 内容2"},
        {Text6,    "Text6",    Field,  "普通三相电子式电能表",   {3960, 1800, 3135, 375},   own,        {},    true,  "条件2 内容3"},
        {Text7,    "Text7",    Field,  "三相智能电能表（费控）", {3960, 2280, 3135, 375},   own,        {},    true,  "条件2 内容4"},
        {Text8,    "Text8",    Field,  "三相多功能电能表",       {3960, 2760, 3135, 375},   own,        {},    true,  "条件2 内容5"},
        {Label7,   "Label7",   Count,  "0",                      {2880, 1320, 735, 255},    song12Bold, red,   true,  {}},
        {Label8,   "Label8",   Count,  "0",                      {7200, 960, 615, 255},     song12Bold, red,   true,  {}},
        {Label9,   "Label9",   Count,  "0",                      {7200, 1440, 735, 255},    song12Bold, red,   true,  {}},
        {Label10,  "Label10",  Count,  "0",                      {7200, 1920, 735, 255},    song12Bold, red,   true,  {}},
        {Label11,  "Label11",  Count,  "0",                      {7200, 2400, 735, 255},    song12Bold, red,   true,  {}},
        {Label12,  "Label12",  Count,  "0",                      {7200, 2880, 735, 255},    song12Bold, red,   true,  {}},
        {Command4, "Command4", Button, "导出统计列表到TXT",      {8280, 3360, 2775, 735},   own,        {},    false, {}},
        {Label13,  "Label13",  Label,  "表头文字:",              {240, 480, 975, 255},      own,        {},    true,  {}},
        {Label14,  "Label14",  Label,  "表头文字:",              {3960, 480, 975, 255},     own,        {},    true,  {}},
        {Label15,  "Label15",  Label,  "符合数:",                {2040, 1320, 735, 255},    own,        {},    true,  {}},
    }};
}();
// clang-format on

inline constexpr std::array<LineSpec, 2> lineTable = {{
    {"Line1", 3840, 480, 3240},
    {"Line2", 8040, 480, 4080},
}};

constexpr const ControlSpec& controlSpec(ControlId id) {
    return controlTable[static_cast<std::size_t>(id)];
}

// The controls behind the engine's field and label ids.
constexpr ControlId controlOf(FieldId field) {
    constexpr ControlId ids[] = {ControlId::Text1, ControlId::Text2, ControlId::Text3, ControlId::Text4,
                                 ControlId::Text5, ControlId::Text6, ControlId::Text7, ControlId::Text8};
    return ids[static_cast<int>(field)];
}

constexpr ControlId controlOf(LabelId label) {
    constexpr ControlId ids[] = {ControlId::Label3,  ControlId::Label5, ControlId::Label7,
                                 ControlId::Label8,  ControlId::Label9, ControlId::Label10,
                                 ControlId::Label11, ControlId::Label12};
    return ids[static_cast<int>(label)];
}

inline constexpr std::array<ControlId, 4> commandIds = {ControlId::Command1, ControlId::Command2,
                                                        ControlId::Command3, ControlId::Command4};

// Twips to pixels at `dpi` dots per inch, rounded to the nearest pixel.
constexpr int twipsToPixels(int twips, int dpi = 96) {
    return (twips * dpi + 720) / 1440;
}

// The table must list every control once, in the order of ControlId.
static_assert([] {
    for (std::size_t i = 0; i < controlTable.size(); ++i) {
        if (static_cast<std::size_t>(controlTable[i].id) != i)
            return false;
    }
    return true;
}());

} // namespace brisquel
