// Recording fakes of the platform seams: scripted answers, and a log of what was shown.
#pragma once

#include "platform/Prompter.hpp"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace carvento::testing {

class FakePrompter : public platform::Prompter {
public:
    // What was shown, in order.
    std::vector<platform::Message> messages;
    std::vector<platform::FileDialog> openDialogs;
    std::vector<platform::FileDialog> saveDialogs;
    std::vector<platform::ColumnMapping> mappingsShown;
    std::vector<std::string> notices;

    // Scripted answers, consumed in order; when exhausted: Ok, cancel, cancel, accept as shown.
    std::deque<platform::MessageAnswer> messageAnswers;
    std::deque<std::vector<std::string>> openAnswers;
    std::deque<std::optional<std::string>> saveAnswers;
    // Each entry: nothing = cancel; a mapping = replace map and check box with these.
    std::deque<std::optional<platform::ColumnMapping>> mappingAnswers;

    void ShowNotice(const std::string& text) override { notices.push_back(text); }
    platform::MessageAnswer ShowMessage(const platform::Message& message) override
    {
        messages.push_back(message);
        return Pop(messageAnswers, platform::MessageAnswer::Ok);
    }
    std::vector<std::string> ChooseOpenFiles(const platform::FileDialog& dialog) override
    {
        openDialogs.push_back(dialog);
        return Pop(openAnswers, std::vector<std::string>{});
    }
    std::optional<std::string> ChooseSaveFile(const platform::FileDialog& dialog) override
    {
        saveDialogs.push_back(dialog);
        return Pop(saveAnswers, std::optional<std::string>{});
    }
    bool ChooseImportColumns(platform::ColumnMapping& mapping) override
    {
        mappingsShown.push_back(mapping);
        if (mappingAnswers.empty())
            return true;
        std::optional<platform::ColumnMapping> answer = mappingAnswers.front();
        mappingAnswers.pop_front();
        if (!answer)
            return false;
        mapping.columnMap = answer->columnMap;
        mapping.removeTitleRow = answer->removeTitleRow;
        return true;
    }

    // Texts of all messages shown, in order.
    std::vector<std::string> MessageTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& m : messages)
            texts.push_back(m.text);
        return texts;
    }

private:
    template <typename T>
    static T Pop(std::deque<T>& queue, T fallback)
    {
        if (queue.empty())
            return fallback;
        T value = std::move(queue.front());
        queue.pop_front();
        return value;
    }
};

class FakeClipboard : public platform::Clipboard {
public:
    std::optional<std::string> text;
    bool failWrites = false;

    bool PutText(const std::string& newText) override
    {
        if (failWrites)
            return false;
        text = newText;
        return true;
    }
    std::optional<std::string> GetText() override { return text; }
};

class FakeLauncher : public platform::Launcher {
public:
    std::vector<std::string> urls, folders, programs;
    bool succeed = true;

    bool OpenUrl(const std::string& url) override { return urls.push_back(url), succeed; }
    bool OpenFolder(const std::string& path) override { return folders.push_back(path), succeed; }
    bool StartProgram(const std::string& program, const std::vector<std::string>&) override
    {
        return programs.push_back(program), succeed;
    }
};

} // namespace carvento::testing
