// The sheets a clerk sees, and only those, make a workbook's report: every reader hands its
// sheets on through VisibleSheets.
#pragma once

#include "sheets/read_error.h"
#include "sheets/sheet_sink.h"

#include <string>

namespace brisquel::sheets {

enum class Visibility {
    Visible,
    Hidden,     // hidden, and shown again from the spreadsheet's menu
    VeryHidden, // hidden where only a macro shows it again
};

// Passes the visible sheets' text on to a reader's sink, noting whether any of them held a
// value: a workbook whose every visible sheet is empty is no report.
class VisibleSheets final : public SheetSink {
public:
    explicit VisibleSheets(SheetSink& sink) : m_sink(sink) {}

    // Whether a sheet of `visibility` is read at all.
    static bool reads(Visibility visibility) { return visibility == Visibility::Visible; }

    void beginSheet(SheetSize expected) override {
        m_sheetHadText = false;
        m_sink.beginSheet(expected);
    }
    void append(std::string_view text) override {
        m_sheetHadText = m_sheetHadText || !text.empty();
        m_sink.append(text);
    }
    void give(std::string& text) override {
        m_sheetHadText = m_sheetHadText || !text.empty();
        m_sink.give(text);
    }
    void poll() override { m_sink.poll(); }
    void restartSheet() override {
        m_sheetHadText = false;
        m_sink.restartSheet();
    }
    void endSheet() override {
        m_hadText = m_hadText || m_sheetHadText;
        m_sink.endSheet();
    }

    // After the last sheet: throws ReadError (Empty) when no visible sheet held a value.
    void finish() const {
        if (!m_hadText)
            throw ReadError(Problem::Empty, "没有一张可见的工作表含有数据");
    }

private:
    SheetSink& m_sink;
    bool m_hadText = false;      // of the sheets ended
    bool m_sheetHadText = false; // of the sheet begun, since it began or began again
};

} // namespace brisquel::sheets
