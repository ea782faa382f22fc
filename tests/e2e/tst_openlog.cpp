#include "support/scriptedui.h"
#include "support/startup.h"
#include "support/testenv.h"
#include "support/testregistry.h"
#include "support/widgetdriver.h"

#include "controls/commondialog.h"
#include "controls/gridcontrol.h"
#include "logview/datafilewindow.h"
#include "core/logdocument.h"
#include "shell/openlog.h"
#include "loggen.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// Opening a log as a user does: the Open button, Qt's own file dialog answered
// through its widgets, and the real error report box.
class OpenLogTest : public QObject
{
    Q_OBJECT

    QString m_seenTitle;
    QStringList m_seenFilters;

    // Picks `path` in the next file dialog, noting how the dialog was set up.
    void pickInFileDialog(const QString &path)
    {
        WidgetDriver::whenModal([this, path](QWidget *w) {
            auto *dialog = qobject_cast<QFileDialog *>(w);
            if (!dialog || !dialog->isVisible())
                return false;
            m_seenTitle = dialog->windowTitle();
            m_seenFilters = dialog->nameFilters();
            // Typed into the file name box, as selectFile() leaves a focused box alone.
            auto *name = dialog->findChild<QLineEdit *>(u"fileNameEdit"_s);
            if (!name)
                return false;
            name->setText(path);
            static_cast<QDialog *>(dialog)->accept(); // the Open button's own path // the Open button's own path
            return true;
        });
    }

private slots:
    void init()
    {
        TestEnv::reset();
        CommonDialog::installBackend(makeQtDialogBackend());
        TestEnv::ui().realMessageBoxes = true;
        TestStartup::run();
    }

    void generatedLogOpensThroughTheRealDialog()
    {
        QTemporaryDir dir;
        LogGenOptions options;
        options.rows = 300;
        options.emptyOneIn = 0;
        const QString path = dir.filePath(u"plant.csv"_s);
        QVERIFY(writeLog(path, options));

        pickInFileDialog(path);
        frmHistory().toolbarButton(1)->trigger();

        QCOMPARE(m_seenTitle, u"Open Log file (.csv)"_s);
        QCOMPARE(m_seenFilters, (QStringList{u"Log Files(*.csv)"_s, u"Logger files (*.csv *.dat *.txt *.tsv)"_s, u"All files (*)"_s}));
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QCOMPARE(logDocument().path(), path);
        QCOMPARE(frmHistory().statusPanelText(), u"Current File is "_s + path);
        GridControl &grid = *frmHistory().dataGrid();
        QCOMPARE(grid.rowCount(), 300);
        QCOMPARE(grid.colCount(), 13);
        QCOMPARE(grid.cornerCaption(), u"Date"_s);
        QCOMPARE(grid.cellText(3, 0), logValueName(1));
    }

    void fileThatIsNoLogGivesTheErrorReport()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"photo.csv"_s);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("\xFF\xD8\xFF\xE0\0\x10JFIF\0\x01\x01\0\0\x01", 17) + QByteArray(500, '\x20'));
        file.close();

        QString reportText;
        pickInFileDialog(path);
        WidgetDriver::answerMessageBox(QMessageBox::Ok, [&](QMessageBox *box) { reportText = box->text(); });
        frmHistory().toolbarButton(1)->trigger();

        QCOMPARE(reportText, u"Error 31002 = The file is not a text log: it holds NUL bytes near the start. in function "
                              "getHistFile occurred.\r\nPlease contact Halvard with this error."_s);
        QCOMPARE(logDocument().path(), QString());
        QCOMPARE(frmHistory().statusPanelText(), QString());
    }
};

VIEWER_TEST(OpenLogTest)
#include "tst_openlog.moc"
