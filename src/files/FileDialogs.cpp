#include "files/FileDialogs.h"

#include "encode/OutputFormats.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace kelvaro {

// The context of this file's texts in the translations.
class FileDialogs {
    Q_DECLARE_TR_FUNCTIONS(FileDialogs)
};

FileDialogSettings SettingsFor(FileDialogUse use) {
    switch (use) {
    case FileDialogUse::OpenPicture:
        return {FileDialogs::tr("画像ファイルを開く"), false,
                FileDialogs::tr("すべてのファイル (*)"), QString()};
    case FileDialogUse::SaveDepthMap:
        return {FileDialogs::tr("立体情報をファイルに保存する"), true,
                FileDialogs::tr("ビットマップファイル (*.bmp)"), QStringLiteral("bmp")};
    case FileDialogUse::LoadDepthMap:
        return {FileDialogs::tr("立体情報をファイルから読み込む"), false,
                FileDialogs::tr("画像ファイル (*)"), QString()};
    case FileDialogUse::LoadGreyDepth:
        return {FileDialogs::tr("グレースケールの深度画像を読み込む"), false,
                FileDialogs::tr("画像ファイル (*)"), QString()};
    case FileDialogUse::GenerateGif:
        return {FileDialogs::tr("GIFファイルを生成する"), true, OutputFormatFilters(),
                OutputFormats().front().name};
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
