#include "files/dialogs/CFileDialogTitle.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace kelvaro;

namespace {

// Runs act on the modal window of type T as soon as it is the active one (tries for 5 s). So that
// no test hangs, a window act leaves open is closed, and so is whatever is modal after 5 s.
template <typename T> void WhenShown(std::function<void(T*)> act, int tries = 100) {
    QTimer::singleShot(50, [act, tries] {
        if (auto* window = qobject_cast<T*>(QApplication::activeModalWidget())) {
            const QPointer<T> shown(window);
            act(window);
            if (shown && shown->isVisible()) {
                shown->close();
                QTest::qFail("the window was left open", __FILE__, __LINE__);
            }
        } else if (tries > 0) {
            WhenShown<T>(act, tries - 1);
        } else if (QWidget* other = QApplication::activeModalWidget()) {
            other->close();
            QTest::qFail("another window was shown", __FILE__, __LINE__);
        }
    });
}

void Touch(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
}

QString NameBox(const QFileDialog& dialog) {
    return dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
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

    // Where each dialog opens and what it offers: the picture's folder and names, else the folder
    // last used, else the current one.
    void startForEachUse() {
        QTemporaryDir dir;
        const QDir root(dir.path());
        QVERIFY(root.mkpath(QStringLiteral("写真")) && root.mkpath(QStringLiteral("文書")));
        const QString photos = root.filePath(QStringLiteral("写真"));
        const QString docs = root.filePath(QStringLiteral("文書"));
        const QString here = QDir::currentPath();
        const FileDialogUse all[] = {FileDialogUse::OpenPicture, FileDialogUse::SaveDepthMap,
                                     FileDialogUse::LoadDepthMap, FileDialogUse::LoadGreyDepth,
                                     FileDialogUse::GenerateGif};
        const auto starts = [&](const QString& picture, const QString& last) {
            std::vector<FileDialogStart> result;
            for (FileDialogUse use : all)
                result.push_back(StartFor(use, picture, last));
            return result;
        };
        const auto each = [](const QString& folder, std::vector<QString> names) {
            std::vector<FileDialogStart> result;
            for (const QString& name : names)
                result.push_back({folder, name});
            return result;
        };
        const std::vector<QString> none(5);

        // No picture: the folder last used, at first (or when it is gone) the current one.
        QCOMPARE(starts(QString(), QString()), each(here, none));
        QCOMPARE(starts(QString(), docs), each(docs, none));
        QCOMPARE(starts(QString(), root.filePath(QStringLiteral("消えた"))), each(here, none));

        // A picture: its folder, whatever was used last. Its name keeps every dot but the
        // extension's; a map is selected for loading only once there is one.
        const QString picture = QDir(photos).filePath(QStringLiteral("夏.v2.jpg"));
        Touch(picture);
        const QString bmp = QStringLiteral("夏.v2.bmp"), gif = QStringLiteral("夏.v2.gif");
        QCOMPARE(starts(picture, docs), each(photos, {"", bmp, "", "", gif}));
        Touch(QDir(photos).filePath(bmp));
        QCOMPARE(starts(picture, docs), each(photos, {"", bmp, bmp, "", gif}));
        // A folder named like the map is no map.
        const QString other = QDir(photos).filePath(QStringLiteral("冬.png"));
        Touch(other);
        QVERIFY(QDir(photos).mkdir(QStringLiteral("冬.bmp")));
        QCOMPARE(StartFor(FileDialogUse::LoadDepthMap, other, QString()),
                 (FileDialogStart{photos, QString()}));

        // A BMP picture is never offered as its own map.
        const QString bitmap = QDir(docs).filePath(QStringLiteral("絵.bmp"));
        Touch(bitmap);
        QCOMPARE(starts(bitmap, photos), each(docs, {"", "", "", "", "絵.gif"}));

        // A picture whose folder is gone: the folder last used, the same names.
        const QString gone = root.filePath(QStringLiteral("消えた/秋.png"));
        QCOMPARE(starts(gone, docs), each(docs, {"", "秋.bmp", "", "", "秋.gif"}));
        // Relative to the current folder, as the command line gives it.
        QCOMPARE(StartFor(FileDialogUse::SaveDepthMap, QStringLiteral("春.png"), docs),
                 (FileDialogStart{here, QStringLiteral("春.bmp")}));
    }

    // The dialog opens in the folder given, the name in its name box: what it gives when accepted
    // at once.
    void dialogOpensWhereItIsStarted() {
        QTemporaryDir dir;
        Touch(dir.filePath(QStringLiteral("夏.bmp")));
        for (FileDialogUse use : {FileDialogUse::SaveDepthMap, FileDialogUse::LoadDepthMap}) {
            CFileDialogTitle dialog(use);
            dialog.Start({dir.path(), QStringLiteral("夏.bmp")});
            QCOMPARE(dialog.directory().absolutePath(), dir.path());
            QCOMPARE(NameBox(dialog), QStringLiteral("夏.bmp"));
            QCOMPARE(dialog.selectedFiles(), QStringList(dir.filePath(QStringLiteral("夏.bmp"))));
        }
        // Without a name the name box stays empty; an empty start leaves the dialog as it is.
        CFileDialogTitle open(FileDialogUse::OpenPicture);
        const QString before = open.directory().absolutePath();
        open.Start({});
        QCOMPARE(open.directory().absolutePath(), before);
        open.Start({dir.path(), QString()});
        QCOMPARE(open.directory().absolutePath(), dir.path());
        QCOMPARE(NameBox(open), QString());
    }

    // Qt's save dialog gives the suggested name the extension of each filter the user chooses
    // (here from the keyboard in the filter box), and the name is chosen with it.
    void suggestedNameFollowsTheFilter() {
        QTemporaryDir dir;
        QStringList names, titles;
        WhenShown<CFileDialogTitle>([&](CFileDialogTitle* dialog) {
            auto* filters = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            QVERIFY(filters);
            const auto look = [&] {
                names << NameBox(*dialog);
                titles << dialog->windowTitle();
            };
            look();
            for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Up, Qt::Key_End}) {
                QTest::keyClick(filters, key);
                look();
            }
            static_cast<QDialog*>(dialog)->accept();
        });
        const std::optional<QString> chosen =
            CFileDialogTitle::Ask(FileDialogUse::GenerateGif, {dir.path(), "夏.v2.gif"});
        QCOMPARE(names, QStringList({"夏.v2.gif", "夏.v2.webp", "夏.v2.mp4", "夏.v2.webp",
                                     "夏.v2.gif", "夏.v2.mp4"}));
        QCOMPARE(titles, QStringList({"GIFファイルを生成する", "WebPファイルを生成する",
                                      "MP4動画を生成する", "WebPファイルを生成する",
                                      "GIFファイルを生成する", "MP4動画を生成する"}));
        QCOMPARE(chosen, std::optional(dir.filePath(QStringLiteral("夏.v2.mp4"))));
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
