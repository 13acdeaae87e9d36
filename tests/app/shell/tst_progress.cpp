#include "ScriptedPrompts.h"

#include "app/shell/DepthPaintApp.h"
#include "app/shell/ProgressDlg.h"
#include "editor/DepthPaintDlg.h"

#include <QtTest>

using namespace kelvaro;

class ProgressTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> main_;
    std::unique_ptr<CProgressDlg> progress_;

    QPoint CentredOverMain() const {
        const QRect r = main_->frameGeometry();
        return QPoint((2 * r.x() + r.width() - 331) / 2, (2 * r.y() + r.height() - 69) / 2);
    }

private slots:
    void init() {
        main_ = std::make_unique<QWidget>();
        main_->setGeometry(200, 150, 650, 528);
        main_->show();
        QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
        progress_ = std::make_unique<CProgressDlg>(main_.get());
    }
    void cleanup() {
        progress_.reset();
        main_.reset();
    }

    void protocol() {
        QVERIFY(!progress_->isVisible());
        QCOMPARE(progress_->windowFlags() & Qt::WindowType_Mask, Qt::Tool); // no taskbar entry
        progress_->ProgressCommand(256); // hiding while hidden keeps it hidden
        QVERIFY(!progress_->isVisible());
        progress_->ProgressCommand(8);
        QVERIFY(progress_->isVisible());
        QCOMPARE(progress_->Step(), 8);
        QCOMPARE(progress_->pos(), CentredOverMain());
        for (int ignored : {9, -1, 255, 257}) {
            progress_->ProgressCommand(ignored);
            QVERIFY(progress_->isVisible());
            QCOMPARE(progress_->Step(), 8);
        }
        progress_->ProgressCommand(256);
        QVERIFY(!progress_->isVisible());
        QCOMPARE(progress_->Step(), 0);
        progress_->ProgressCommand(9);
        QVERIFY(!progress_->isVisible());
        progress_->ProgressCommand(0);
        QVERIFY(progress_->isVisible());
        QCOMPARE(progress_->Step(), 0);
    }

    void stepRecentresOverAMovedMainWindow() {
        progress_->ProgressCommand(2);
        const QPoint first = progress_->pos();
        QCOMPARE(first, CentredOverMain());
        main_->move(main_->pos() + QPoint(101, -37));
        QTRY_VERIFY(main_->frameGeometry().topLeft() != QPoint(200, 150));
        progress_->ProgressCommand(3);
        QCOMPARE(progress_->pos(), CentredOverMain());
        QVERIFY(progress_->pos() != first);
    }

    void enterAndEscapeDoNothing() {
        progress_->ProgressCommand(5);
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(progress_.get(), key);
        QVERIFY(progress_->isVisible());
        QVERIFY(!progress_->close());
        QCOMPARE(progress_->Step(), 5);
    }

    // Start-up runs the editor modally until "終了"; nothing else is needed to end it.
    void appRunsUntilExit() {
        bool sawEditor = false;
        QTimer::singleShot(0, [&] {
            auto* editor = qobject_cast<CDepthPaintDlg*>(QApplication::activeModalWidget());
            sawEditor = editor && editor->windowTitle() == QStringLiteral("Kelvaro ver.4");
            if (editor)
                editor->OnCommand(cmd::Exit);
        });
        QCOMPARE(CDepthPaintApp().Run(), 0);
        QVERIFY(sawEditor);
    }
};

QTEST_MAIN(ProgressTest)
#include "tst_progress.moc"
