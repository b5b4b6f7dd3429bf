// The window's controls as a clerk must see them, typed in apart from form/layout.h, so that
// both windows' tests check what they show against these values, not the table against itself.
#pragma once

#include <string_view>

namespace brisquel::test {

struct IntendedControl {
    std::string_view name;
    char kind; // 'B'utton, 'F'ield, 'L'abel
    std::string_view text;
    int left, top, width, height; // twips
    int points;                   // 0: the window's font
    bool bold;
    unsigned colour; // 0xRRGGBB; 0: the platform's text colour
    bool enabled;
    std::string_view accessibleName; // fields only
};

// In tab order.
// clang-format off
inline constexpr IntendedControl intendedControls[] = {
    {"Command1", 'B', "从剪贴板导入",           2760, 3360, 2655, 735,   0, false, 0,        true,  {}},
    {"Text1",    'F', "镇府公用台变",           240,  840,  3375, 375,   0, false, 0,        true,  "条件1 内容"},
    {"Text2",    'F', "三相多功能电能表(费控)", 3960, 840,  3135, 375,   0, false, 0,        true,  "条件2 内容1"},
    {"Label1",   'L', "导入统计条件1",          240,  120,  1335, 255,   9, true,  0,        true,  {}},
    {"Label2",   'L', "导入统计条件2",          4080, 120,  1335, 255,   9, true,  0,        true,  {}},
    {"Label3",   'L', "0",                      8400, 1440, 2535, 1455, 72, true,  0x00C000, true,  {}},
    {"Command2", 'B', "置零",                   240,  3360, 2415, 735,   0, false, 0,        false, {}},
    {"Text3",    'F', "台区",                   1200, 480,  2415, 270,   0, false, 0,        true,  "条件1 表头文字"},
    {"Text4",    'F', "设备类型",               4800, 480,  2295, 270,   0, false, 0,        true,  "条件2 表头文字"},
    {"Label4",   'L', "说明：用于对EXCEL进行双条件满足的个数统计。先填写条件1的表头文字，如台区，再填写下面的条件内容，"
                      "条件2也如法炮制。然后，逐个表全选并复制数据，再点按钮从剪贴板导入并统计，即可得到个数，"
                      "导入数据量大的话，可能会无响应，请耐心等待即可。注意，复制了数据要粘贴到文本栏，双击文本栏即可。",
                                                360,  4320, 10575, 1095, 12, false, 0,        true,  {}},
    {"Label5",   'L', "0",                      9600, 465,  1455, 255,  12, true,  0x0000FF, true,  {}},
    {"Command3", 'B', "统计 ",                  5520, 3360, 2295, 735,   0, false, 0,        false, {}},
    {"Label6",   'L', "已导入行数:",            8400, 480,  1095, 255,   0, false, 0,        true,  {}},
    {"Text5",    'F', "三相载波电子式电能表",   3960, 1320, 3135, 375,   0, false, 0,        true,  "条件2 内容2"},
    {"Text6",    'F', "普通三相电子式电能表",   3960, 1800, 3135, 375,   0, false, 0,        true,  "条件2 内容3"},
    {"Text7",    'F', "三相智能电能表（费控）", 3960, 2280, 3135, 375,   0, false, 0,        true,  "条件2 内容4"},
    {"Text8",    'F', "三相多功能电能表",       3960, 2760, 3135, 375,   0, false, 0,        true,  "条件2 内容5"},
    {"Label7",   'L', "0",                      2880, 1320, 735,  255,  12, true,  0xC00000, true,  {}},
    {"Label8",   'L', "0",                      7200, 960,  615,  255,  12, true,  0xC00000, true,  {}},
    {"Label9",   'L', "0",                      7200, 1440, 735,  255,  12, true,  0xC00000, true,  {}},
    {"Label10",  'L', "0",                      7200, 1920, 735,  255,  12, true,  0xC00000, true,  {}},
    {"Label11",  'L', "0",                      7200, 2400, 735,  255,  12, true,  0xC00000, true,  {}},
    {"Label12",  'L', "0",                      7200, 2880, 735,  255,  12, true,  0xC00000, true,  {}},
    {"Command4", 'B', "导出统计列表到TXT",      8280, 3360, 2775, 735,   0, false, 0,        false, {}},
    {"Label13",  'L', "表头文字:",              240,  480,  975,  255,   0, false, 0,        true,  {}},
    {"Label14",  'L', "表头文字:",              3960, 480,  975,  255,   0, false, 0,        true,  {}},
    {"Label15",  'L', "符合数:",                2040, 1320, 735,  255,   0, false, 0,        true,  {}},
};
// clang-format on

// Where a label runs under a field, the field is drawn over it; no other controls overlap.
inline bool overlapAllowed(const IntendedControl& a, const IntendedControl& b) {
    return (a.kind == 'F') != (b.kind == 'F') && (a.kind == 'L' || b.kind == 'L');
}

} // namespace brisquel::test
