#include "files/FileDialogs.h"

#include "encode/OutputFormats.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>

namespace kelvaro {

// The context of this file's texts in the translations.
class FileDialogs {
    Q_DECLARE_TR_FUNCTIONS(FileDialogs)
};

// The first filter of the open dialogs: every extension Qt's image readers decode, so that the
// folder shows the pictures only.
QString ReadablePicturesFilter() {
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    return FileDialogs::tr("読み込める画像ファイル (%1)").arg(patterns.join(QLatin1Char(' ')));
}

FileDialogSettings SettingsFor(FileDialogUse use) {
    switch (use) {
    case FileDialogUse::OpenPicture:
        return {FileDialogs::tr("画像ファイルを開く"), false,
                ReadablePicturesFilter() + QStringLiteral(";;") +
                    FileDialogs::tr("すべてのファイル (*)"),
                QString()};
    case FileDialogUse::SaveDepthMap:
        return {FileDialogs::tr("立体情報をファイルに保存する"), true,
                FileDialogs::tr("ビットマップファイル (*.bmp)"), QStringLiteral("bmp")};
    case FileDialogUse::LoadDepthMap:
        return {FileDialogs::tr("立体情報をファイルから読み込む"), false,
                ReadablePicturesFilter() + QStringLiteral(";;") +
                    FileDialogs::tr("画像ファイル (*)"),
                QString()};
    case FileDialogUse::LoadGreyDepth:
        return {FileDialogs::tr("グレースケールの深度画像を読み込む"), false,
                ReadablePicturesFilter() + QStringLiteral(";;") +
                    FileDialogs::tr("画像ファイル (*)"),
                QString()};
    case FileDialogUse::GenerateGif:
        return {FileDialogs::tr("GIFファイルを生成する"), true, OutputFormatFilters(),
                OutputFormats().front().name};
    }
    return {};
}

FileDialogStart StartFor(FileDialogUse use, const QString& picturePath, const QString& lastFolder) {
    const QFileInfo picture(picturePath);
    FileDialogStart start;
    for (const QString& folder : {picturePath.isEmpty() ? QString() : picture.absolutePath(),
                                  lastFolder, QDir::currentPath()})
        if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
            start.folder = folder;
            break;
        }
    if (picturePath.isEmpty())
        return start;
    // The extension the dialog's first filter gives.
    QString suffix;
    if (use == FileDialogUse::SaveDepthMap || use == FileDialogUse::LoadDepthMap)
        suffix = SettingsFor(FileDialogUse::SaveDepthMap).defaultSuffix;
    else if (use == FileDialogUse::GenerateGif)
        suffix = SettingsFor(use).defaultSuffix;
    if (suffix.isEmpty())
        return start;
    const QString name = picture.completeBaseName() + QLatin1Char('.') + suffix;
    const QFileInfo offered(picture.dir().filePath(name));
    // A BMP picture is no map of its own; a save there would replace the picture.
    if (picture.exists() && offered == picture)
        return start;
    if (use == FileDialogUse::LoadDepthMap && !offered.isFile())
        return start;
    start.fileName = name;
    return start;
}

QString SuffixOfFilter(const QString& filter) {
    const qsizetype star = filter.indexOf(QLatin1String("*."));
    if (star < 0)
        return {};
    return filter.mid(star + 2).section(QLatin1Char(')'), 0, 0).section(QLatin1Char(' '), 0, 0);
}

QString AnimationFormatName(const QString& suffix) {
    const QString lower = suffix.toLower();
    if (lower.isEmpty() || lower == QLatin1String("gif"))
        return QStringLiteral("GIF");
    if (lower == QLatin1String("webp"))
        return QStringLiteral("WebP");
    return lower.toUpper();
}

QString GenerateTitleFor(const QString& chosenFilter) {
    const QString name = AnimationFormatName(SuffixOfFilter(chosenFilter));
    if (name == QLatin1String("GIF"))
        return SettingsFor(FileDialogUse::GenerateGif).title;
    if (name == QLatin1String("MP4"))
        return FileDialogs::tr("MP4動画を生成する");
    return FileDialogs::tr("%1ファイルを生成する").arg(name);
}

QString WithDefaultSuffix(const QString& path, FileDialogUse use, const QString& chosenFilter) {
    // An open dialog returns an existing file as it is named, extension or not.
    if (!SettingsFor(use).save)
        return path;
    QString suffix = SuffixOfFilter(chosenFilter);
    if (suffix.isEmpty())
        suffix = SettingsFor(use).defaultSuffix;
    if (path.isEmpty() || suffix.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    return path + QLatin1Char('.') + suffix;
}

} // namespace kelvaro
