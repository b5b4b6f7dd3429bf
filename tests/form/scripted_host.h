// ScriptedHost: a Form1Host that answers from a script and logs everything Form1 does to it.
#pragma once

#include "form/form1.h"
#include "form/host.h"

#include <array>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace brisquel::test {

class ScriptedHost : public Form1Host {
public:
    ScriptedHost() {
        for (const ControlSpec& entry : controlTable) {
            m_texts[index(entry.id)] = entry.text;
            m_enabled[index(entry.id)] = entry.enabled;
        }
    }

    // Answers to the next questions, in order; once they run out every answer is Yes.
    std::vector<bool> answers;
    // The clipboard, as UTF-16 units or as UTF-8 bytes.
    std::variant<std::u16string, std::string> clipboard = std::u16string();
    // Files copied in a file manager, offered beside the clipboard's text.
    std::vector<std::string> clipboardFiles;
    // Reading a field throws std::bad_alloc, as an engine short of memory would.
    bool outOfMemory = false;
    // Called from showPendingNow, where a host processes the window's events.
    std::function<void()> whilePending;

    // Everything Form1 did, in order: "ask 是否执行?|text", "notify text", "title text",
    // "Label5=3" (a field's or a label's text), "Command1 off", "Command1 on", "focus Command1".
    // Progress shown while an operation runs appears as "shown".
    std::vector<std::string> log;

    std::string text(ControlId id) const { return m_texts[index(id)]; }
    bool enabled(ControlId id) const { return m_enabled[index(id)]; }
    void setField(ControlId id, std::string text) { m_texts[index(id)] = std::move(text); }

    // The log's entries that begin with `prefix`, without it.
    std::vector<std::string> entries(std::string_view prefix) const {
        std::vector<std::string> found;
        for (const std::string& entry : log) {
            if (entry.starts_with(prefix))
                found.push_back(entry.substr(prefix.size()));
        }
        return found;
    }

    bool ask(std::string_view title, std::string_view text) override {
        log.push_back("ask " + std::string(title) + "|" + std::string(text));
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.erase(answers.begin());
        return answer;
    }
    void notify(std::string_view text) override { log.push_back("notify " + std::string(text)); }
    void setTitle(std::string_view title) override {
        m_title = title;
        log.push_back("title " + m_title);
    }
    void setText(ControlId id, std::string_view text) override {
        m_texts[index(id)] = text;
        log.push_back(std::string(controlSpec(id).name) + "=" + std::string(text));
    }
    void setEnabled(ControlId id, bool enabled) override {
        m_enabled[index(id)] = enabled;
        log.push_back(std::string(controlSpec(id).name) + (enabled ? " on" : " off"));
    }
    void setFocus(ControlId id) override { log.push_back("focus " + std::string(controlSpec(id).name)); }
    std::string fieldText(ControlId id) override {
        if (outOfMemory)
            throw std::bad_alloc();
        return m_texts[index(id)];
    }
    // The text's keeper logs "clipboard let go" when the last holder drops it.
    ClipboardText readClipboard() override {
        return std::visit(
            [this](const auto& text) {
                using Text = std::decay_t<decltype(text)>;
                const std::shared_ptr<const Text> copy(new Text(text), [this](const Text* held) {
                    log.push_back("clipboard let go");
                    delete held;
                });
                return ClipboardText{
                    std::basic_string_view<typename Text::value_type>(*copy), copy, {}, clipboardFiles};
            },
            clipboard);
    }
    void showPendingNow() override {
        log.push_back("shown");
        if (whilePending)
            whilePending();
    }

    const std::string& title() const { return m_title; }

private:
    static std::size_t index(ControlId id) { return static_cast<std::size_t>(id); }

    std::array<std::string, controlTable.size()> m_texts;
    std::array<bool, controlTable.size()> m_enabled{};
    std::string m_title{windowTitle};
};

} // namespace brisquel::test
