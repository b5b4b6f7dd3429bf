// Form1Host: what Form1 needs of the window that shows it, one implementation per toolkit.
#pragma once

#include "form/layout.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace brisquel {

// The clipboard's text as the host read it: UTF-8 bytes or UTF-16 units. The text is a view
// into storage that `keeper` holds (a toolkit's string, an open clipboard), so a whole sheet
// of hundreds of megabytes is never copied just to be handed over.
struct ClipboardText {
    std::variant<std::string_view, std::u16string_view> text;
    std::shared_ptr<const void> keeper;
    // Where the host can give memory back early: called with the number of units at the
    // start of the text that the import has read for the last time. May be empty.
    std::function<void(std::size_t units)> release = {};
    // Files copied in a file manager, as UTF-8 paths in the order given. When there are any,
    // the import reads them and not the text.
    std::vector<std::string> files = {};

    bool empty() const {
        return std::visit([](auto view) { return view.empty(); }, text);
    }
};

// The window as Form1 sees it. Form1 decides what happens; the host only shows it, asks
// the user, and reads what Form1 needs to know. All texts are UTF-8.
class Form1Host {
public:
    virtual ~Form1Host() = default;

    // A Yes/No question without an icon. Returns false only when the answer was No.
    virtual bool ask(std::string_view title, std::string_view text) = 0;
    // An OK notice without an icon, titled with the application's name.
    virtual void notify(std::string_view text) = 0;

    virtual void setTitle(std::string_view title) = 0;
    // Sets the text of a field or a label.
    virtual void setText(ControlId control, std::string_view text) = 0;
    virtual void setEnabled(ControlId control, bool enabled) = 0;
    virtual void setFocus(ControlId control) = 0;
    virtual std::string fieldText(ControlId field) = 0;

    // The clipboard's text; empty when it holds none.
    virtual ClipboardText readClipboard() = 0;

    // Shows what was set since the last call and repaints, while an operation runs. Input
    // the user gave meanwhile is dropped, not delivered later; a close of the window ends
    // the program at once (see Form1::operationRunning).
    virtual void showPendingNow() = 0;
};

} // namespace brisquel
