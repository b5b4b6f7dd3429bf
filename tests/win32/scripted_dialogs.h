// ScriptedDialogs: answers the window's questions from a script and records every text.
#pragma once

#include "dialogs.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

class ScriptedDialogs final : public brisquel::win32::Dialogs {
public:
    struct Question {
        std::wstring title, text;
    };

    std::deque<bool> answers;    // the next answers; Yes once they run out
    std::function<void()> onAsk; // runs as a question is asked, before it is answered
    std::vector<Question> questions;
    std::vector<std::wstring> notices;

    bool ask(HWND, const std::wstring& title, const std::wstring& text) override {
        questions.push_back({title, text});
        if (onAsk)
            onAsk();
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    void notify(HWND, const std::wstring& text) override { notices.push_back(text); }
};
