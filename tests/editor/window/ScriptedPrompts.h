#pragma once

#include "editor/Prompts.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <optional>
#include <vector>

namespace kelvaro::test {

// Prompts answered from a script. Each question takes the next queued answer of its kind; a
// question with no answer left is counted in `unanswered` and answered as cancelled (No, nullopt).
// Every call is recorded, in order, in `calls` ("ShowMessage", "AskYesNo", "AskSaveChanges",
// "AskFilePath", "AskSwayDirection", "AskOutputSize", "AskSizeLimit", "AskGreyDepthNear"), with
// its arguments in the lists of its kind.
class ScriptedPrompts : public Prompts {
public:
    struct YesNoCall {
        QString caption;
        QString text;
    };

    // Answers, used front first.
    std::deque<bool> yesNoAnswers;
    std::deque<QString> filePaths; // a null QString() answers Cancel
    std::deque<std::optional<int>> swayDirections;
    std::vector<int> swayDirectionInitials; // what each direction dialog opened on
    std::deque<std::optional<int>> outputSizes;
    std::deque<std::optional<int>> greyDepthNears;
    std::deque<std::optional<QString>> sizeLimits;
    QStringList sizeLimitInitials; // what each size-limit dialog opened on
    std::deque<SaveChoice> saveChoices;

    // What was asked.
    QStringList calls;
    QStringList messages;
    std::vector<YesNoCall> yesNoCalls;
    std::vector<FileDialogUse> fileDialogUses;
    std::vector<FileDialogStart> fileDialogStarts; // where each file dialog opened
    std::vector<int> greyDepthInitials;
    std::vector<QSize> outputSizePictures;
    QStringList saveQuestions;
    int unanswered = 0;

    void ShowMessage(const QString& text) override {
        calls << QStringLiteral("ShowMessage");
        messages << text;
    }
    bool AskYesNo(const QString& caption, const QString& text) override {
        calls << QStringLiteral("AskYesNo");
        yesNoCalls.push_back({caption, text});
        return Next(yesNoAnswers, false);
    }
    SaveChoice AskSaveChanges(const QString& text) override {
        calls << QStringLiteral("AskSaveChanges");
        saveQuestions << text;
        return Next(saveChoices, SaveChoice::Cancel);
    }
    std::optional<QString> AskFilePath(FileDialogUse use, const FileDialogStart& start) override {
        calls << QStringLiteral("AskFilePath");
        fileDialogUses.push_back(use);
        fileDialogStarts.push_back(start);
        const QString path = Next(filePaths, QString());
        if (path.isNull())
            return std::nullopt;
        return path;
    }
    std::optional<int> AskSwayDirection(int initial) override {
        calls << QStringLiteral("AskSwayDirection");
        swayDirectionInitials.push_back(initial);
        return Next(swayDirections, std::optional<int>());
    }
    std::optional<int> AskOutputSize(QSize picture) override {
        calls << QStringLiteral("AskOutputSize");
        outputSizePictures.push_back(picture);
        return Next(outputSizes, std::optional<int>());
    }
    std::optional<QString> AskSizeLimit(const QString& initial) override {
        calls << QStringLiteral("AskSizeLimit");
        sizeLimitInitials << initial;
        if (sizeLimits.empty()) {
            ++unanswered;
            return std::nullopt;
        }
        const bool cancelled = !sizeLimits.front().has_value();
        const QString text = sizeLimits.front().value_or(QString());
        sizeLimits.pop_front();
        if (cancelled)
            return std::nullopt;
        return text;
    }
    std::optional<int> AskGreyDepthNear(int initial) override {
        calls << QStringLiteral("AskGreyDepthNear");
        greyDepthInitials.push_back(initial);
        return Next(greyDepthNears, std::optional<int>());
    }

private:
    template <typename T> T Next(std::deque<T>& queue, T cancelled) {
        if (queue.empty()) {
            ++unanswered;
            return cancelled;
        }
        T answer = queue.front();
        queue.pop_front();
        return answer;
    }
};

} // namespace kelvaro::test
