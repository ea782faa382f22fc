#include "support/pdftext.h"
#include "support/scripteddialogs.h"
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
#include "shell/sharedstate.h"
#include "loggen.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

// The grid printed as a user prints it: the Print button, Qt's own print dialog
// answered through its widgets, and a real print server whose PDF printer
// writes each job into the job owner's ~/PDF.
class PrintGridTest : public QObject
{
    Q_OBJECT

    QStringList m_arrived;

    // The PDF printer's output folder: the owner's home from the password
    // database, whatever $HOME says (the tests move it).
    static QString outputFolder()
    {
        const passwd *user = getpwuid(getuid());
        return user ? QString::fromLocal8Bit(user->pw_dir) + u"/PDF"_s : QString();
    }

    // Waits for `count` printouts of this test's log, told apart from other
    // printouts in the folder by the path in their header.
    QStringList waitForPrintouts(const QString &logPath, const QDateTime &since, int count)
    {
        QStringList found;
        // The count decides; the wait's own result says the same.
        (void)QTest::qWaitFor(
            [&] {
                found.clear();
                const QFileInfoList files = QDir(outputFolder()).entryInfoList({u"*.pdf"_s}, QDir::Files, QDir::Time);
                for (const QFileInfo &file : files) {
                    if (file.lastModified() < since || !file.fileName().contains(u"History_Grid_Printout"_s))
                        continue;
                    const QStringList pages = PdfText::pages(file.filePath());
                    if (!pages.isEmpty() && pages.constFirst().contains(logPath))
                        found << file.filePath();
                }
                return found.size() >= count;
            },
            60000);
        m_arrived = found;
        return found;
    }

private slots:
    void init()
    {
        TestEnv::reset();
        TestStartup::run();
    }

    void cleanup()
    {
        for (const QString &file : std::as_const(m_arrived))
            QFile::remove(file);
        m_arrived.clear();
    }

    void printsThroughThePrintServer()
    {
        const QString queue = qEnvironmentVariable("VIEWER_TEST_PRINTER");
        if (queue.isEmpty())
            QSKIP("VIEWER_TEST_PRINTER is not set: ./test starts a private print server with a PDF queue and "
                  "names the queue there (with CUPS_SERVER); run the suite through ./test for this test.");
        const QStringList installed = QPrinterInfo::availablePrinterNames();
        QVERIFY2(installed.contains(queue), qPrintable(installed.join(u", "_s)));
        TestEnv::ui().printers = installed;

        QTemporaryDir dir;
        LogGenOptions options;
        options.rows = 100;
        options.valueColumns = 4;
        const QString log = dir.filePath(u"press-line.csv"_s);
        QVERIFY(writeLog(log, options));
        TestEnv::dialogs().files.append(log);
        frmHistory().toolbarButton(1)->trigger();
        QCOMPARE(logDocument().path(), log);

        // From here on the real dialogs: the user picks the queue and two copies.
        CommonDialog::installBackend(makeQtDialogBackend());
        bool pageRangeOffered = true;
        bool answered = false;
        WidgetDriver::whenModal([&](QWidget *w) {
            auto *dialog = qobject_cast<QPrintDialog *>(w);
            if (!dialog || !dialog->isVisible())
                return false;
            auto *printers = dialog->findChild<QComboBox *>(u"printers"_s);
            auto *copies = dialog->findChild<QSpinBox *>(u"copies"_s);
            if (!printers || !copies)
                return false;
            printers->setCurrentIndex(printers->findText(queue));
            copies->setValue(2);
            pageRangeOffered = dialog->testOption(QAbstractPrintDialog::PrintPageRange);
            answered = true;
            dialog->accept();
            return true;
        });
        const QDateTime since = QDateTime::currentDateTime().addSecs(-2);
        QSignalSpy jobs(frmHistory().dataGrid(), &GridControl::printed);
        frmHistory().toolbarButton(3)->trigger();

        QVERIFY(answered);
        QVERIFY(!pageRangeOffered);
        QVERIFY(TestEnv::ui().messages.isEmpty());
        const QPrinter &printer = shared().fileDialog->printer();
        QCOMPARE(printer.printerName(), queue);
        QCOMPARE(printer.outputFormat(), QPrinter::NativeFormat);
        QCOMPARE(jobs.size(), 2);
        const int pagesPerJob = jobs.constFirst().constFirst().toInt();
        QVERIFY(pagesPerJob >= 2);

        const QStringList arrived = waitForPrintouts(log, since, 2);
        QCOMPARE(arrived.size(), 2); // one job per copy
        for (const QString &pdf : arrived) {
            const QStringList pages = PdfText::pages(pdf);
            QCOMPARE(pages.size(), pagesPerJob);
            for (int p = 0; p < pages.size(); ++p) {
                QVERIFY2(pages.at(p).contains(u"Grid printout for fileName "_s + log), qPrintable(pages.at(p)));
                QVERIFY2(pages.at(p).contains(QRegularExpression(u"\\s{20,}Page #%1\\s*$"_s.arg(p + 1))),
                         qPrintable(pages.at(p)));
                QVERIFY(pages.at(p).contains(u"Date"_s)); // the captions on every page
            }
        }
    }

    // Qt's own print dialog printing to a file: the loaded log, named as that
    // file, is refused once the dialog has closed, and stays as it was.
    void printToFileNeverWritesTheLog()
    {
        QTemporaryDir dir;
        const QByteArray bytes = "Date,Time,A\r\n1/2/2024,1:00:00 AM,1\r\n1/2/2024,1:01:00 AM,2\r\n";
        const QString log = dir.filePath(u"press-line.csv"_s);
        QFile file(log);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        TestEnv::dialogs().files.append(log);
        frmHistory().toolbarButton(1)->trigger();
        QCOMPARE(logDocument().path(), log);

        CommonDialog::installBackend(makeQtDialogBackend());
        bool answered = false;
        WidgetDriver::printToFile(log, &answered);
        frmHistory().toolbarButton(3)->trigger();

        QVERIFY(answered);
        QCOMPARE(shared().fileDialog->printer().outputFileName(), log);
        QCOMPARE(TestEnv::ui().texts(), QStringList{u"\"press-line.csv\" is the log being viewed; choose another file."_s});
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes);
    }
};

VIEWER_TEST(PrintGridTest)
#include "tst_printgrid.moc"
