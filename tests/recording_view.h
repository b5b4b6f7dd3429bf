// A TallyView for tests: settable field texts, and one log of every label write and progress report.
#pragma once

#include "engine/tally_view.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace brisquel::test {

// The texts the window puts in Text1..Text8 when it opens.
inline const std::array<std::string, 8> defaultFieldTexts = {
    "镇府公用台变",           // Text1: condition-1 value
    "三相多功能电能表(费控)", // Text2: alternative 1
    "台区",                   // Text3: condition-1 header
    "设备类型",               // Text4: condition-2 header
    "三相载波电子式电能表",   // Text5: alternative 2
    "普通三相电子式电能表",   // Text6: alternative 3
    "三相智能电能表（费控）", // Text7: alternative 4
    "三相多功能电能表",       // Text8: alternative 5
};

// Logs label writes as "Label7=3" and progress as "2/5", in the order they arrive, so a test can
// compare a whole sequence; also keeps the latest text of each label ("" until first written).
class RecordingView : public TallyView {
public:
    std::string fieldText(FieldId field) override { return m_fields[index(field)]; }
    void showText(LabelId label, std::string_view text) override {
        m_labels[index(label)] = text;
        m_log.push_back(std::string(labelName(label)) + "=" + std::string(text));
    }
    void progress(std::int64_t index, std::int64_t lastIndex) override {
        m_log.push_back(std::to_string(index) + "/" + std::to_string(lastIndex));
    }

    void setField(FieldId field, std::string text) { m_fields[index(field)] = std::move(text); }
    const std::string& label(LabelId label) const { return m_labels[index(label)]; }
    const std::vector<std::string>& log() const { return m_log; }
    void clearLog() { m_log.clear(); }

    // The log without the label writes.
    std::vector<std::string> progressLog() const {
        std::vector<std::string> kept;
        for (const std::string& entry : m_log)
            if (!entry.starts_with("Label"))
                kept.push_back(entry);
        return kept;
    }

private:
    template <typename Id> static std::size_t index(Id id) { return static_cast<std::size_t>(id); }

    std::array<std::string, 8> m_fields = defaultFieldTexts;
    std::array<std::string, 8> m_labels;
    std::vector<std::string> m_log;
};

// Rows each followed by CR LF, as a spreadsheet puts a copied sheet on the clipboard.
inline std::string clipboard(std::initializer_list<std::string_view> rows) {
    std::string text;
    for (std::string_view row : rows) {
        text += row;
        text += "\r\n";
    }
    return text;
}

// Rows each preceded by CR LF, as alltxt and allouttxt hold them.
inline std::string stored(std::initializer_list<std::string_view> rows) {
    std::string text;
    for (std::string_view row : rows) {
        text += "\r\n";
        text += row;
    }
    return text;
}

} // namespace brisquel::test
