#include "editor/QtPrompts.h"

#include <QMessageBox>
#include <QPushButton>

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
    // Enter answers Yes, as the first button of a Yes/No box does on every desktop; Escape No.
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

SaveChoice QtPrompts::AskSaveChanges(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, AppCaption, text,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent_);
    box.button(QMessageBox::Save)->setText(tr("保存"));
    box.button(QMessageBox::Discard)->setText(tr("破棄"));
    box.button(QMessageBox::Cancel)->setText(tr("キャンセル"));
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveChoice::Save;
    case QMessageBox::Discard:
        return SaveChoice::Discard;
    default:
        return SaveChoice::Cancel;
    }
}

std::optional<QString> QtPrompts::AskFilePath(FileDialogUse use, const FileDialogStart& start) {
    if (!askFilePath)
        return std::nullopt;
    return askFilePath(parent_, use, start);
}

std::optional<int> QtPrompts::AskSwayDirection(int initial) {
    if (!askSwayDirection)
        return std::nullopt;
    return askSwayDirection(parent_, initial);
}

std::optional<int> QtPrompts::AskOutputSize(QSize picture) {
    if (!askOutputSize)
        return std::nullopt;
    return askOutputSize(parent_, picture);
}

std::optional<int> QtPrompts::AskGreyDepthNear(int initial) {
    if (!askGreyDepthNear)
        return std::nullopt;
    return askGreyDepthNear(parent_, initial);
}

std::optional<QString> QtPrompts::AskSizeLimit(const QString& initial) {
    if (!askSizeLimit)
        return std::nullopt;
    return askSizeLimit(parent_, initial);
}

} // namespace kelvaro
