#include "support/errorof.h"
#include "support/scripteddialogs.h"
#include "support/testenv.h"
#include "support/testregistry.h"
#include "support/widgetdriver.h"

#include "controls/commondialog.h"
#include "core/runtimeerror.h"
#include "core/writetarget.h"

#include <QAction>
#include <QDialog>
#include <QScreen>
#include <QFile>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class CommonDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void filterConversion_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("qtFilter");
        QTest::newRow("description carries its pattern") << u"Log Files(*.csv)|*.csv"_s << u"Log Files(*.csv)"_s;
        QTest::newRow("jpeg") << u"Jpeg Files(*.jpg)|*.jpg"_s << u"Jpeg Files(*.jpg)"_s;
        QTest::newRow("description without pattern") << u"Pictures|*.jpg;*.jpeg"_s << u"Pictures (*.jpg *.jpeg)"_s;
        QTest::newRow("two pairs") << u"Logs|*.csv|All|*.*"_s << u"Logs (*.csv);;All (*.*)"_s;
        QTest::newRow("empty") << QString() << QString();
    }

    void filterConversion()
    {
        QFETCH(QString, filter);
        QFETCH(QString, qtFilter);
        QCOMPARE(CommonDialog::toQtFilter(filter), qtFilter);
    }

    void defaultExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<QString>("result");
        QTest::newRow("added") << u"/tmp/trend"_s << u".jpg"_s << u"/tmp/trend.jpg"_s;
        QTest::newRow("added without dot") << u"/tmp/trend"_s << u"jpg"_s << u"/tmp/trend.jpg"_s;
        QTest::newRow("kept") << u"/tmp/trend.jpeg"_s << u".jpg"_s << u"/tmp/trend.jpeg"_s;
        QTest::newRow("dot in folder only") << u"/tmp/a.b/trend"_s << u".jpg"_s << u"/tmp/a.b/trend.jpg"_s;
        QTest::newRow("no default") << u"/tmp/trend"_s << QString() << u"/tmp/trend"_s;
    }

    void defaultExtension()
    {
        QFETCH(QString, name);
        QFETCH(QString, ext);
        QFETCH(QString, result);
        QCOMPARE(CommonDialog::withDefaultExt(name, ext), result);
    }

    void openPassesItsStateAndKeepsTheChoice()
    {
        CommonDialog d;
        d.flags = 4100;
        d.filter = u"Log Files(*.csv)|*.csv"_s;
        d.dialogTitle = u"Open Log file (.csv)"_s;
        d.initDir = u"/data/"_s;
        d.fileName = u"/data/old.csv"_s;
        TestEnv::dialogs().files = {u"/data/new.csv"_s};
        d.showOpen();
        QCOMPARE(d.fileName, u"/data/new.csv"_s);
        const FileDialogRequest r = TestEnv::dialogs().fileRequests.constFirst();
        QVERIFY(!r.save);
        QVERIFY(r.mustExist);
        QCOMPARE(r.title, u"Open Log file (.csv)"_s);
        QCOMPARE(r.initialDir, u"/data/"_s);
        QCOMPARE(r.fileName, u"/data/old.csv"_s);
        QCOMPARE(r.nameFilter, u"Log Files(*.csv)"_s);

        // The next use proposes what this one left behind.
        TestEnv::dialogs().files = {u"/data/third.csv"_s};
        d.showOpen();
        QCOMPARE(TestEnv::dialogs().fileRequests.at(1).fileName, u"/data/new.csv"_s);
    }

    void cancelRaisesOnlyWhenAsked()
    {
        CommonDialog d;
        d.fileName = u"kept.csv"_s;
        d.showOpen(); // empty queue: the user cancels
        QCOMPARE(d.fileName, u"kept.csv"_s);

        d.cancelError = true;
        try {
            d.showOpen();
            QFAIL("cancel did not raise");
        } catch (const RuntimeError &e) {
            QCOMPARE(e.number(), 32755);
        }
        QCOMPARE(d.fileName, u"kept.csv"_s);
    }

    void saveAddsTheDefaultExtensionAndAsksBeforeOverwriting()
    {
        CommonDialog d;
        d.flags = 6;
        d.defaultExt = u".jpg"_s;
        TestEnv::dialogs().files = {u"/tmp/picture"_s};
        d.showSave();
        QCOMPARE(d.fileName, u"/tmp/picture.jpg"_s);
        const FileDialogRequest r = TestEnv::dialogs().fileRequests.constFirst();
        QVERIFY(r.save);
        QVERIFY(r.confirmOverwrite);
        QVERIFY(!r.mustExist);
        QCOMPARE(r.defaultSuffix, u"jpg"_s);
    }

    // A save dialog with several types: a name without extension takes the type of
    // the filter chosen; a typed extension stays; the choice is kept for next time.
    void saveTakesTheChosenFiltersExtension_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<int>("chosen"); // 0: the dialog does not say
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<int>("filterIndex");
        const QString types = u"Jpeg Files(*.jpg)|*.jpg|PNG Files(*.png)|*.png|SVG Files(*.svg)|*.svg"_s;
        QTest::newRow("second filter") << types << 2 << u"/tmp/trend"_s << u"/tmp/trend.png"_s << 2;
        QTest::newRow("last filter") << types << 3 << u"/tmp/trend"_s << u"/tmp/trend.svg"_s << 3;
        QTest::newRow("first filter") << types << 1 << u"/tmp/trend"_s << u"/tmp/trend.jpg"_s << 1;
        QTest::newRow("no choice reported") << types << 0 << u"/tmp/trend"_s << u"/tmp/trend.jpg"_s << 1;
        QTest::newRow("typed extension stays") << types << 2 << u"/tmp/trend.svg"_s << u"/tmp/trend.svg"_s << 2;
        QTest::newRow("pattern list: default") << u"Pictures|*.png;*.svg"_s << 1 << u"/tmp/trend"_s
                                               << u"/tmp/trend.jpg"_s << 1;
    }

    void saveTakesTheChosenFiltersExtension()
    {
        QFETCH(QString, filter);
        QFETCH(int, chosen);
        QFETCH(QString, typed);
        QFETCH(QString, fileName);
        QFETCH(int, filterIndex);
        CommonDialog d;
        d.filter = filter;
        d.defaultExt = u".jpg"_s;
        TestEnv::dialogs().files = {FileChoice(typed, chosen)};
        d.showSave();
        QCOMPARE(d.fileName, fileName);
        QCOMPARE(d.filterIndex, filterIndex);
        QCOMPARE(TestEnv::dialogs().fileRequests.constFirst().filterIndex, 1);
    }

    void openTakesAnExistingFileAsItIs()
    {
        // A default extension left by a picture save must not bend the log chosen.
        QTemporaryDir dir;
        const QString plain = dir.path() + u"/log"_s;
        const QString withExt = dir.path() + u"/trend.jpg"_s;
        for (const QString &path : {plain, withExt}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        CommonDialog d;
        d.defaultExt = u".jpg"_s;
        TestEnv::dialogs().files = {plain, dir.path() + u"/trend"_s, dir.path() + u"/nothing"_s};
        d.showOpen();
        QCOMPARE(d.fileName, plain);
        d.showOpen();
        QCOMPARE(d.fileName, withExt);
        d.showOpen();
        QCOMPARE(d.fileName, dir.path() + u"/nothing"_s);
    }

    void colourStartsFromTheGivenOneAndCancelKeepsIt()
    {
        CommonDialog d;
        d.flags = 5;
        d.color = 0x0000FF;
        d.showColor(); // cancelled
        QCOMPARE(d.color, OleColor(0x0000FF));
        TestEnv::dialogs().colors = {OleColor(0x00FF00)};
        d.showColor();
        QCOMPARE(d.color, OleColor(0x00FF00));
        QCOMPARE(TestEnv::dialogs().colorRequests, (QList<OleColor>{0x0000FF, 0x0000FF}));
    }

    void printReadsBackRangeCopiesAndOrientation()
    {
        CommonDialog d;
        d.flags = 12;
        d.cancelError = true;
        PrintDialogResult chosen;
        chosen.fromPage = 2;
        chosen.toPage = 5;
        chosen.copies = 3;
        chosen.orientation = 2;
        TestEnv::dialogs().prints = {chosen};
        TestEnv::dialogs().configurePrinter = [](QPrinter &p) { p.setOutputFileName(u"/tmp/x.pdf"_s); };
        d.showPrinter();
        QCOMPARE(d.fromPage, 2);
        QCOMPARE(d.toPage, 5);
        QCOMPARE(d.copies, 3);
        QCOMPARE(d.orientation, 2);
        QCOMPARE(d.printer().outputFileName(), u"/tmp/x.pdf"_s);
        const auto request = TestEnv::dialogs().printRequests.constFirst();
        QVERIFY(!request.allowSelection);
        QVERIFY(!request.allowPageRange);
    }

    // Qt's preview: drawing its pages writes no file, whatever file the printer
    // The real dialogs open over the window that owns them: centred on it, from
    // its top left corner when they are the bigger (not at the screen's corner),
    // and wholly on the screen.
    void dialogsOpenOverTheirOwner_data()
    {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QRect>("owner");
        QTest::addColumn<QString>("where");
        const QRect big(50, 40, 700, 520);
        const QRect nearTheCorner(60, 60, 300, 200);
        const QRect atTheBottomRight(480, 380, 300, 200);
        QTest::newRow("open, over a bigger window") << u"open"_s << big << u"centred"_s;
        QTest::newRow("open, over a small window near the screen's corner")
            << u"open"_s << nearTheCorner << u"from the owner's corner"_s;
        QTest::newRow("save, over a small window near the screen's corner")
            << u"save"_s << nearTheCorner << u"from the owner's corner"_s;
        QTest::newRow("colour, over a small window near the screen's corner")
            << u"colour"_s << nearTheCorner << u"from the owner's corner"_s;
        QTest::newRow("save, over a small window at the bottom right")
            << u"save"_s << atTheBottomRight << u"on the screen"_s;
    }

    void dialogsOpenOverTheirOwner()
    {
        QFETCH(QString, dialog);
        QFETCH(QRect, owner);
        QFETCH(QString, where);
        CommonDialog::installBackend(makeQtDialogBackend());
        QWidget window;
        window.setGeometry(owner);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        CommonDialog common;
        common.setParentWidget(&window);
        common.dialogTitle = u"Where"_s;
        common.filter = u"Log Files(*.csv)|*.csv"_s;

        QRect shown;
        WidgetDriver::whenModal([&](QWidget *w) {
            if (!w->isVisible())
                return false;
            shown = w->frameGeometry();
            static_cast<QDialog *>(w)->reject();
            return true;
        });
        if (dialog == u"open"_s)
            common.showOpen();
        else if (dialog == u"save"_s)
            common.showSave();
        else
            common.showColor();

        const QRect frame = window.frameGeometry();
        const QRect screen = window.screen()->availableGeometry();
        QVERIFY2(screen.contains(shown), qPrintable(u"%1,%2 %3x%4"_s.arg(shown.x()).arg(shown.y())
                                                        .arg(shown.width()).arg(shown.height())));
        QVERIFY(shown.intersects(frame));
        if (where == u"centred"_s) {
            QVERIFY(shown.width() < frame.width() && shown.height() < frame.height());
            QVERIFY((shown.center() - frame.center()).manhattanLength() <= 2);
        } else if (where == u"from the owner's corner"_s) {
            QVERIFY(shown.width() > frame.width());
            QCOMPARE(shown.topLeft(), frame.topLeft());
        }
    }

    // names; printing from it to a file goes through the checks of every output
    // file, and what they refuse comes out once the preview has closed.
    void previewWritesOnlyWhenPrinted()
    {
        CommonDialog::installBackend(makeQtDialogBackend());
        QTemporaryDir dir;
        const QString log = dir.filePath(u"held.csv"_s);
        QFile file(log);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("Date,Time\r\n") > 0);
        file.close();
        const writetarget::LogHold held(log);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFileName(dir.filePath(u"earlier.pdf"_s));

        int shownPages = 0;
        bool printAsked = false;
        WidgetDriver::whenModal([&](QWidget *w) {
            auto *preview = qobject_cast<QPrintPreviewDialog *>(w);
            if (!preview || !preview->isVisible())
                return false;
            shownPages = preview->findChild<QPrintPreviewWidget *>()->pageCount();
            WidgetDriver::printToFile(log, &printAsked);
            for (QAction *action : preview->findChildren<QAction *>()) {
                if (action->text() == u"Print"_s)
                    action->trigger();
            }
            return true;
        });
        const int error = errorOf([&] {
            CommonDialog::previewPrintout(printer, [](QPrinter &p) {
                QPainter painter(&p);
                painter.drawText(100, 100, u"page one"_s);
                p.newPage();
                painter.drawText(100, 100, u"page two"_s);
            }, nullptr);
        });

        QCOMPARE(shownPages, 2);
        QVERIFY(!QFile::exists(dir.filePath(u"earlier.pdf"_s)));
        QVERIFY(printAsked);
        QCOMPARE(error, int(RuntimeError::LogBeingViewed));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("Date,Time\r\n"));
    }

    void colourPacking()
    {
        QCOMPARE(fromQColor(QColor(255, 0, 0)), OleColor(0x0000FF));
        QCOMPARE(fromQColor(QColor(0x12, 0x34, 0x56)), OleColor(0x563412));
        QCOMPARE(toQColor(0x563412), QColor(0x12, 0x34, 0x56));
    }
};

VIEWER_TEST(CommonDialogTest)
#include "tst_commondialog.moc"
