#include "files/FileDialogs.h"

#include <QFileInfo>

namespace kelvaro {

FileDialogSettings SettingsFor(FileDialogUse use) {
    switch (use) {
    case FileDialogUse::OpenPicture:
        return {QStringLiteral("画像ファイルを開く"), false, QStringLiteral("すべてのファイル (*)"),
                QString()};
    case FileDialogUse::SaveDepthMap:
        return {QStringLiteral("立体情報をファイルに保存する"), true,
                QStringLiteral("ビットマップファイル (*.bmp)"), QStringLiteral("bmp")};
    case FileDialogUse::LoadDepthMap:
        return {QStringLiteral("立体情報をファイルから読み込む"), false,
                QStringLiteral("画像ファイル (*)"), QString()};
    case FileDialogUse::LoadGreyDepth:
        return {QStringLiteral("グレースケールの深度画像を読み込む"), false,
                QStringLiteral("画像ファイル (*)"), QString()};
    case FileDialogUse::GenerateGif:
        return {QStringLiteral("GIFファイルを生成する"), true,
                QStringLiteral("GIFファイル (*.gif);;WebPファイル(*.webp)"), QStringLiteral("gif")};
    }
    return {};
}

QString SuffixOfFilter(const QString& filter) {
    const qsizetype star = filter.indexOf(QLatin1String("*."));
    if (star < 0)
        return {};
    return filter.mid(star + 2).section(QLatin1Char(')'), 0, 0).section(QLatin1Char(' '), 0, 0);
}

QString WithDefaultSuffix(const QString& path, FileDialogUse use, const QString& chosenFilter) {
    QString suffix = SuffixOfFilter(chosenFilter);
    if (suffix.isEmpty())
        suffix = SettingsFor(use).defaultSuffix;
    if (path.isEmpty() || suffix.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + QLatin1Char('.') + suffix;
}

} // namespace kelvaro
