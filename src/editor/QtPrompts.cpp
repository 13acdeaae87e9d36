#include "editor/QtPrompts.h"

#include <QMessageBox>

namespace kelvaro {

namespace {
const QString AppCaption = QStringLiteral("Kelvaro");
}

void QtPrompts::ShowMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, AppCaption, text, QMessageBox::Ok, parent_);
    box.exec();
}

bool QtPrompts::AskYesNo(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Yes | QMessageBox::No,
                    parent_);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtPrompts::AskFilePath(FileDialogUse use) {
    if (!askFilePath)
        return std::nullopt;
    return askFilePath(parent_, use);
}

std::optional<int> QtPrompts::AskSwayDirection() {
    if (!askSwayDirection)
        return std::nullopt;
    return askSwayDirection(parent_);
}

std::optional<int> QtPrompts::AskOutputSize() {
    if (!askOutputSize)
        return std::nullopt;
    return askOutputSize(parent_);
}

std::optional<int> QtPrompts::AskGreyDepthNear(int initial) {
    if (!askGreyDepthNear)
        return std::nullopt;
    return askGreyDepthNear(parent_, initial);
}

} // namespace kelvaro
