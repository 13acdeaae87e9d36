#pragma once

#include "editor/Prompts.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace kelvaro {

// Prompts shown as real Qt dialogs over the editor window. Messages and Yes/No questions are
// message boxes captioned "Kelvaro" with no icon. The file dialog and the option dialogs are
// supplied by their own parts of the program through the functions below; a question whose
// function is not set is answered as cancelled.
class QtPrompts : public Prompts {
    Q_DECLARE_TR_FUNCTIONS(QtPrompts)

public:
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}

    void SetParent(QWidget* parent) { parent_ = parent; }
    QWidget* parent() const { return parent_; }

    std::function<std::optional<QString>(QWidget* parent, FileDialogUse use,
                                         const FileDialogStart& start)>
        askFilePath;
    std::function<std::optional<int>(QWidget* parent, int initial)> askSwayDirection;
    std::function<std::optional<int>(QWidget* parent, QSize picture)> askOutputSize;
    std::function<std::optional<int>(QWidget* parent, int initial)> askGreyDepthNear;
    std::function<std::optional<QString>(QWidget* parent, const QString& initial)> askSizeLimit;

    void ShowMessage(const QString& text) override;
    bool AskYesNo(const QString& caption, const QString& text) override;
    SaveChoice AskSaveChanges(const QString& text) override;
    std::optional<QString> AskFilePath(FileDialogUse use, const FileDialogStart& start) override;
    std::optional<int> AskSwayDirection(int initial) override;
    std::optional<int> AskOutputSize(QSize picture) override;
    std::optional<int> AskGreyDepthNear(int initial) override;
    std::optional<QString> AskSizeLimit(const QString& initial) override;

private:
    QPointer<QWidget> parent_;
};

} // namespace kelvaro
