#include "files/dialogs/CFileDialogTitle.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace kelvaro;

namespace {

// Runs act on the modal window of type T as soon as it is the active one (tries for 5 s).
template <typename T> void WhenShown(std::function<void(T*)> act, int tries = 100) {
    QTimer::singleShot(50, [act, tries] {
        if (auto* window = qobject_cast<T*>(QApplication::activeModalWidget()))
            act(window);
        else if (tries > 0)
            WhenShown<T>(act, tries - 1);
    });
}

} // namespace

class TestFileDialog : public QObject {
    Q_OBJECT
private slots:
    // Title, open or save (which asks before replacing), filter and default extension.
    void eachCommandsDialog() {
        const struct {
            FileDialogUse use;
            const char* title;
            bool save;
            const char* filter;
            const char* suffix;
        } uses[] = {
            {FileDialogUse::OpenPicture, "画像ファイルを開く", false, "%1;;すべてのファイル (*)",
             ""},
            {FileDialogUse::SaveDepthMap, "立体情報をファイルに保存する", true,
             "ビットマップファイル (*.bmp)", "bmp"},
            {FileDialogUse::LoadDepthMap, "立体情報をファイルから読み込む", false,
             "%1;;画像ファイル (*)", ""},
            {FileDialogUse::LoadGreyDepth, "グレースケールの深度画像を読み込む", false,
             "%1;;画像ファイル (*)", ""},
            {FileDialogUse::GenerateGif, "GIFファイルを生成する", true,
             "GIFファイル (*.gif);;WebPファイル (*.webp);;MP4動画 (*.mp4)", "gif"},
        };
        // The open dialogs list the pictures first: every extension the readers decode.
        const QString pictures = QStringLiteral("読み込める画像ファイル (%1)")
                                     .arg(SettingsFor(FileDialogUse::OpenPicture)
                                              .filter.section(QLatin1Char('('), 1)
                                              .section(QLatin1Char(')'), 0, 0));
        for (const char* format : {"bmp", "png", "jpg", "jpeg", "gif", "webp", "tif", "tga"})
            QVERIFY2(pictures.contains(QStringLiteral(" *.%1 ").arg(QLatin1String(format))) ||
                         pictures.contains(QStringLiteral("(*.%1 ").arg(QLatin1String(format))) ||
                         pictures.contains(QStringLiteral(" *.%1)").arg(QLatin1String(format))),
                     format);
        QVERIFY(!pictures.contains(QLatin1String("(*)")));
        for (const auto& u : uses) {
            const CFileDialogTitle dialog{u.use};
            QCOMPARE(dialog.windowTitle(), QString::fromUtf8(u.title));
            QCOMPARE(dialog.acceptMode(),
                     u.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
            QCOMPARE(dialog.fileMode(), u.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
            QCOMPARE(dialog.nameFilters().join(QStringLiteral(";;")),
                     QString::fromUtf8(u.filter).replace(QLatin1String("%1"), pictures));
            // An open dialog gives the file chosen as it is named, with or without extension.
            if (!u.save)
                QCOMPARE(WithDefaultSuffix(QStringLiteral("/tmp/写真"), u.use, pictures),
                         QStringLiteral("/tmp/写真"));
            QCOMPARE(dialog.defaultSuffix(), QString::fromUtf8(u.suffix));
            QCOMPARE(dialog.testOption(QFileDialog::DontConfirmOverwrite), !u.save);
        }
    }

    // The generate dialog's title names the format of the filter chosen, and the GIF title comes
    // back with the GIF filter; a bare name gets that filter's extension.
    void generateTitleFollowsTheFilter() {
        CFileDialogTitle dialog{FileDialogUse::GenerateGif};
        const QStringList filters = dialog.nameFilters();
        QCOMPARE(filters.size(), 3);
        dialog.selectNameFilter(filters[1]);
        emit dialog.filterSelected(filters[1]); // as the dialog's filter box does
        QCOMPARE(dialog.windowTitle(), QStringLiteral("WebPファイルを生成する"));
        QCOMPARE(dialog.defaultSuffix(), QStringLiteral("webp"));
        emit dialog.filterSelected(filters[0]);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("GIFファイルを生成する"));
        QCOMPARE(dialog.defaultSuffix(), QStringLiteral("gif"));
        // A video is named a video.
        emit dialog.filterSelected(filters[2]);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("MP4動画を生成する"));
        QCOMPARE(dialog.defaultSuffix(), QStringLiteral("mp4"));
        // Any later format is named by its extension.
        QCOMPARE(GenerateTitleFor(QStringLiteral("APNG (*.apng)")),
                 QStringLiteral("APNGファイルを生成する"));
        QCOMPARE(AnimationFormatName(QStringLiteral("WEBP")), QStringLiteral("WebP"));
    }

    // Choosing an existing file in a save dialog asks first, and No keeps the dialog open; a name
    // typed without extension gets the default one; Cancel chooses nothing.
    void askConfirmsReplacingAndAddsTheExtension() {
        QTemporaryDir dir;
        QFile old(dir.filePath(QStringLiteral("古い.gif")));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.close();
        // Types the name into the dialog and presses its Save button.
        const auto type = [](CFileDialogTitle* dialog, const QString& path) {
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(path);
            static_cast<QDialog*>(dialog)->accept(); // public there
        };

        QString question;
        bool openAfterNo = false;
        WhenShown<CFileDialogTitle>([&](CFileDialogTitle* dialog) {
            WhenShown<QMessageBox>([&](QMessageBox* box) {
                question = box->text();
                box->button(QMessageBox::No)->click();
            });
            type(dialog, old.fileName());
            openAfterNo = dialog->isVisible();
            dialog->reject();
        });
        QCOMPARE(CFileDialogTitle::Ask(FileDialogUse::GenerateGif), std::optional<QString>());
        QVERIFY(question.contains(QStringLiteral("古い.gif")));
        QVERIFY(openAfterNo);

        WhenShown<CFileDialogTitle>([&](CFileDialogTitle* dialog) {
            type(dialog, dir.filePath(QStringLiteral("新しい")));
        });
        QCOMPARE(CFileDialogTitle::Ask(FileDialogUse::SaveDepthMap),
                 std::optional(dir.filePath(QStringLiteral("新しい.bmp"))));
    }
};

QTEST_MAIN(TestFileDialog)
#include "tst_filedialog.moc"
