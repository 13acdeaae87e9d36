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
    void eachCommandsDialog_data() {
        QTest::addColumn<int>("use");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("open picture") << int(FileDialogUse::OpenPicture) << "画像ファイルを開く"
                                      << false << "すべてのファイル (*)"
                                      << "";
        QTest::newRow("save depth map")
            << int(FileDialogUse::SaveDepthMap) << "立体情報をファイルに保存する" << true
            << "ビットマップファイル (*.bmp)"
            << "bmp";
        QTest::newRow("load depth map")
            << int(FileDialogUse::LoadDepthMap) << "立体情報をファイルから読み込む" << false
            << "画像ファイル (*)"
            << "";
        QTest::newRow("generate gif") << int(FileDialogUse::GenerateGif) << "GIFファイルを生成する"
                                      << true << "GIFファイル (*.gif)"
                                      << "gif";
    }
    void eachCommandsDialog() {
        QFETCH(int, use);
        QFETCH(QString, title);
        QFETCH(bool, save);
        QFETCH(QString, filter);
        QFETCH(QString, suffix);
        const CFileDialogTitle dialog{FileDialogUse(use)};
        QCOMPARE(dialog.windowTitle(), title);
        QCOMPARE(dialog.acceptMode(), save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        QCOMPARE(dialog.fileMode(), save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        QCOMPARE(dialog.nameFilters(), QStringList(filter));
        QCOMPARE(dialog.defaultSuffix(), suffix);
        QCOMPARE(dialog.testOption(QFileDialog::DontConfirmOverwrite), !save);
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
