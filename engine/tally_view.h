// TallyView: the one seam between the tally engine and the window that shows it.
//
// The engine owns no window. Each operation (import, statistics, reset) is handed a
// TallyView and talks to the window only through it: it reads the condition fields
// Text1..Text8, writes counts into the labels Label3, Label5 and Label7..Label12 as
// decimal text, and reports its progress as "row index, last row index", which the
// window shows in its title bar. The window implements this class; tests use a fake
// that records every call.
//
// The engine reads each field it needs once, at the start of an operation, and uses
// that text for every row. The window is locked while an operation runs, so the user
// cannot change a field in the middle of one; reading once also keeps the per-row work
// free of copies.
//
// Every call arrives on the caller's thread, inside the operation. showText passes a
// view of a buffer that is only valid during the call; copy the text to keep it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace brisquel {

enum class FieldId { Text1, Text2, Text3, Text4, Text5, Text6, Text7, Text8 };

enum class LabelId { Label3, Label5, Label7, Label8, Label9, Label10, Label11, Label12 };

// The control names, exactly as the window names its controls.
constexpr std::string_view fieldName(FieldId id) {
    constexpr std::string_view names[] = {"Text1", "Text2", "Text3", "Text4",
                                          "Text5", "Text6", "Text7", "Text8"};
    return names[static_cast<int>(id)];
}

constexpr std::string_view labelName(LabelId id) {
    constexpr std::string_view names[] = {"Label3", "Label5",  "Label7",  "Label8",
                                          "Label9", "Label10", "Label11", "Label12"};
    return names[static_cast<int>(id)];
}

class TallyView {
public:
    virtual ~TallyView() = default;

    // The current text of one condition field, UTF-8.
    virtual std::string fieldText(FieldId field) = 0;
    // Sets a count label; numbers arrive as their decimal text.
    virtual void showText(LabelId label, std::string_view text) = 0;
    // One report per examined row: its index and the last index of the pass.
    virtual void progress(std::int64_t index, std::int64_t lastIndex) = 0;
    // Called now and then while an operation has had nothing to report for a while (a file
    // being read, or a sheet a reader holds until its end), so that the window keeps painting.
    virtual void stillWorking() {}
};

} // namespace brisquel
