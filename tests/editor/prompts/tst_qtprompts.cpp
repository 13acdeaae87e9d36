// The real message boxes behind the editor's questions, answered from the keyboard as a user
// answers them: Enter takes the default button, Escape the escape button.
#include "app/language/Language.h"
#include "editor/DepthPaintDlg.h"
#include "editor/QtPrompts.h"
#include "files/dialogs/CFileDialogTitle.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <deque>

using namespace kelvaro;

namespace {

// What a message box showed.
struct Shown {
    QString caption;
    QString text;
    QStringList buttons; // in the order they stand
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers each message box that opens with the next key of its queue (Qt::Key_Return,
// Qt::Key_Escape, or 0 for the close box) and records what the box showed. A box with no key
// left stays open and is counted in `unanswered`, then closed, so that no test can hang on it.
class BoxAnswerer : public QObject {
public:
    std::deque<int> keys;
    std::vector<Shown> shown;
    int unanswered = 0;

    BoxAnswerer() {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, &BoxAnswerer::Look);
        timer_.start();
    }

private:
    void Look() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        Shown seen{box->windowTitle(), box->text(), {}, box->icon()};
        // The buttons as they stand, left to right.
        QList<QAbstractButton*> buttons = box->buttons();
        std::sort(buttons.begin(), buttons.end(), [](QAbstractButton* a, QAbstractButton* b) {
            return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
        });
        for (const QAbstractButton* button : buttons)
            seen.buttons << button->text();
        shown.push_back(seen);
        if (keys.empty()) {
            ++unanswered;
            box->close();
            return;
        }
        const int key = keys.front();
        keys.pop_front();
        if (key == 0)
            box->close();
        else
            QTest::keyClick(box, Qt::Key(key));
    }

    QTimer timer_;
};

// What a file dialog showed when it opened: its folder and the name in its name box.
struct DialogShown {
    QString title;
    QString folder;
    QString name;
    bool operator==(const DialogShown&) const = default;
};

// Answers each file dialog that opens with the next function of its queue (which must end the
// dialog) and records where it opened; message boxes are answered with OK. A dialog with no
// answer left, or left open by its answer, is counted in `unanswered` and closed, so that no
// test can hang on it.
class FileDialogAnswerer : public QObject {
public:
    std::deque<std::function<void(QFileDialog*)>> answers;
    std::vector<DialogShown> shown;
    int unanswered = 0;

    FileDialogAnswerer() {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, &FileDialogAnswerer::Look);
        timer_.start();
    }

private:
    void Look() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            box->accept();
            return;
        }
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        const QPointer<QWidget> open(modal);
        if (dialog && !answers.empty()) {
            const auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            shown.push_back({dialog->windowTitle(), dialog->directory().absolutePath(),
                             name ? name->text() : QStringLiteral("(no name box)")});
            const auto answer = answers.front();
            answers.pop_front();
            answer(dialog);
        }
        if (open && open->isVisible()) {
            ++unanswered;
            open->close();
        }
    }

    QTimer timer_;
};

QString WritePicture(const QString& path) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(qRgb(90, 140, 60));
    if (!image.save(path))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// The texts each language shows.
struct Texts {
    QString unsaved, saved, clear;
    QStringList saveButtons, yesNoButtons, okButton;
};
Texts TextsOf(Language language) {
    if (language == Language::Japanese)
        return {QStringLiteral("立体情報が保存されていません。保存しますか？"),
                QStringLiteral("立体情報をビットマップファイルに保存しました。"),
                QStringLiteral("立体情報をクリアしてよろしいですか？"),
                {QStringLiteral("保存"), QStringLiteral("破棄"), QStringLiteral("キャンセル")},
                {QStringLiteral("はい(&Y)"), QStringLiteral("いいえ(&N)")},
                {QStringLiteral("OK")}};
    return {QStringLiteral("The depth map has not been saved. Save it?"),
            QStringLiteral("The depth map was saved to a bitmap file."),
            QStringLiteral("Clear the depth map?"),
            {QStringLiteral("Save"), QStringLiteral("Discard"), QStringLiteral("Cancel")},
            {QStringLiteral("&Yes"), QStringLiteral("&No")},
            {QStringLiteral("OK")}};
}

} // namespace

class QtPromptsTest : public QObject {
    Q_OBJECT

private slots:
    void editorQuestionsFromTheKeyboard_data() {
        QTest::addColumn<int>("language");
        QTest::newRow("ja") << int(Language::Japanese);
        QTest::newRow("en") << int(Language::English);
    }
    void editorQuestionsFromTheKeyboard() {
        QFETCH(int, language);
        const Translations translations{Language(language)};
        QVERIFY(translations.complete());
        const Texts texts = TextsOf(Language(language));
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString mapFile = dir.filePath(QStringLiteral("map.bmp"));

        QtPrompts prompts;
        std::vector<FileDialogUse> asked;
        prompts.askFilePath = [&](QWidget*, FileDialogUse use,
                                  const FileDialogStart&) -> std::optional<QString> {
            asked.push_back(use);
            return mapFile;
        };
        CDepthPaintDlg editor(prompts);
        prompts.SetParent(&editor);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        BoxAnswerer answerer;
        QVERIFY(editor.LoadPicture(WritePicture(dir.filePath(QStringLiteral("photo.png")))));
        QVERIFY(answerer.shown.empty());
        EditorDocument& document = editor.document();
        const auto paint = [&] {
            document.setLevel(0);
            document.BeginStroke({5, 5});
            document.EndStroke({30, 20});
        };
        paint();
        const QImage painted = document.depthMap().surface();

        // Clear: Escape answers No and leaves the map; Enter answers Yes and clears it.
        answerer.keys = {Qt::Key_Escape, Qt::Key_Return};
        editor.OnCommand(cmd::Clear);
        QCOMPARE(document.depthMap().surface(), painted);
        editor.OnCommand(cmd::Clear);
        QVERIFY(document.depthMap().surface() != painted);
        QCOMPARE(document.history().count(), 3);
        QCOMPARE(answerer.shown.size(), size_t(2));
        for (const Shown& box : answerer.shown) {
            QCOMPARE(box.caption, QStringLiteral("Kelvaro"));
            QCOMPARE(box.text, texts.clear);
            QCOMPARE(box.buttons, texts.yesNoButtons);
            QCOMPARE(box.icon, QMessageBox::NoIcon);
        }

        // Unsaved work: Escape and the close box answer キャンセル and keep the editor open;
        // Enter answers 保存, which saves the map and then closes it.
        paint();
        const QImage unsaved = document.depthMap().surface();
        answerer.shown.clear();
        answerer.keys = {Qt::Key_Escape, 0, Qt::Key_Return, Qt::Key_Return};
        QVERIFY(!editor.close());
        QVERIFY(!editor.close());
        QVERIFY(editor.isVisible());
        QVERIFY(asked.empty());
        QVERIFY(editor.close());
        QVERIFY(!editor.isVisible());
        QCOMPARE(asked, std::vector<FileDialogUse>{FileDialogUse::SaveDepthMap});
        QCOMPARE(QImage(mapFile).convertToFormat(QImage::Format_RGB32), unsaved);
        QCOMPARE(answerer.shown.size(), size_t(4));
        for (int k = 0; k < 3; ++k) {
            const Shown& box = answerer.shown[size_t(k)];
            QCOMPARE(box.caption, QStringLiteral("Kelvaro"));
            QCOMPARE(box.text, texts.unsaved);
            QCOMPARE(box.buttons, texts.saveButtons);
            QCOMPARE(box.icon, QMessageBox::NoIcon);
        }
        const Shown& message = answerer.shown[3];
        QCOMPARE(message.caption, QStringLiteral("Kelvaro"));
        // The file written follows on a second line.
        QCOMPARE(message.text, texts.saved + QLatin1Char('\n') + mapFile);
        QCOMPARE(message.buttons, texts.okButton);
        QCOMPARE(answerer.unanswered, 0);
    }

    // The editor's file dialogs, as Qt's dialogs, open in the picture's folder with the name the
    // editor suggests in the name box, and give what is chosen there.
    void fileDialogsOpenBesideThePicture() {
        const Translations japanese{Language::Japanese};
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("写真")));
        const QString photos = dir.filePath(QStringLiteral("写真"));
        const QString photo = WritePicture(QDir(photos).filePath(QStringLiteral("夏.png")));
        QtPrompts prompts;
        // As the program wires them.
        prompts.askFilePath = [](QWidget* parent, FileDialogUse use, const FileDialogStart& start) {
            return CFileDialogTitle::Ask(use, start, parent);
        };
        CDepthPaintDlg editor(prompts);
        prompts.SetParent(&editor);
        editor.show();
        QVERIFY(QTest::qWaitForWindowExposed(&editor));
        FileDialogAnswerer answerer;
        const auto accept = [](QFileDialog* dialog) {
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog::accept is protected
        };
        const auto reject = [](QFileDialog* dialog) {
            dialog->reject();
        };
        // The generate dialog after the user picks the WebP filter in its filter box.
        QString webpName;
        const auto pickWebp = [&](QFileDialog* dialog) {
            if (auto* filters = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
                QTest::keyClick(filters, Qt::Key_Down);
            webpName = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
            dialog->reject();
        };

        // Before a picture: the current folder. Then, the picture open: its folder.
        answerer.answers = {reject};
        editor.OnCommand(cmd::OpenPicture);
        QVERIFY(editor.LoadPicture(photo));
        answerer.answers = {accept, accept, reject, reject, pickWebp};
        editor.OnCommand(cmd::SaveDepth); // saved under the name suggested
        editor.OnCommand(cmd::LoadDepth); // which is now selected, and loaded
        editor.OnCommand(cmd::LoadGreyDepth);
        editor.OnCommand(cmd::OpenPicture);
        editor.OnCommand(cmd::GenerateGif);
        const std::vector<DialogShown> expected = {
            {QStringLiteral("画像ファイルを開く"), QDir::currentPath(), QString()},
            {QStringLiteral("立体情報をファイルに保存する"), photos, QStringLiteral("夏.bmp")},
            {QStringLiteral("立体情報をファイルから読み込む"), photos, QStringLiteral("夏.bmp")},
            {QStringLiteral("グレースケールの深度画像を読み込む"), photos, QString()},
            {QStringLiteral("画像ファイルを開く"), photos, QString()},
            {QStringLiteral("GIFファイルを生成する"), photos, QStringLiteral("夏.gif")}};
        QCOMPARE(answerer.shown.size(), expected.size());
        for (size_t k = 0; k < expected.size(); ++k) {
            QCOMPARE(answerer.shown[k].title, expected[k].title);
            QCOMPARE(answerer.shown[k].folder, expected[k].folder);
            QCOMPARE(answerer.shown[k].name, expected[k].name);
        }
        QVERIFY(QFileInfo(QDir(photos).filePath(QStringLiteral("夏.bmp"))).isFile());
        QVERIFY(!editor.document().isModified()); // the map loaded is the one saved
        QCOMPARE(webpName, QStringLiteral("夏.webp"));
        QCOMPARE(answerer.unanswered, 0);
    }

    // 破棄 is reached from the keyboard only by its own button, never by Enter or Escape.
    void discardIsAskedForByItsButton() {
        const Translations japanese{Language::Japanese};
        QWidget window;
        QtPrompts prompts(&window);
        SaveChoice answer = SaveChoice::Save;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::Save));
            QCOMPARE(box->escapeButton(), box->button(QMessageBox::Cancel));
            QTest::mouseClick(box->button(QMessageBox::Discard), Qt::LeftButton);
        });
        answer = prompts.AskSaveChanges(QStringLiteral("?"));
        QCOMPARE(answer, SaveChoice::Discard);
    }
};

QTEST_MAIN(QtPromptsTest)
#include "tst_qtprompts.moc"
