#include "support/scripteddialogs.h"
#include "support/scriptedui.h"
#include "support/startup.h"
#include "support/testenv.h"
#include "support/ordinaryuser.h"
#include "support/testregistry.h"

#include "core/blockselection.h"
#include "controls/gridcontrol.h"
#include "controls/gridmodel.h"
#include "core/logtable.h"
#include "logview/datafilewindow.h"
#include "core/logdocument.h"
#include "shell/openlog.h"
#include "shell/sharedstate.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray GoodLog("Date,Time,Flow,Level,Speed\r\n"
                         "1/2/2024,1:00:00 AM,1.5,20,300\r\n"
                         "1/2/2024,1:00:01 AM,,21,301\r\n"
                         "1/2/2024,1:00:02 AM,1.75,22,302\r\n");

const QString Loading = u"Loading File, please wait. Large files could take some time to load."_s;

QString reportText(int number, const QString &description)
{
    return u"Error %1 = %2 in function getHistFile occurred.\r\nPlease contact Halvard with this error."_s.arg(number).arg(
        description);
}

// Every cell of the grid, row by row, headers included, joined by "|".
QStringList gridCells(const GridControl &grid)
{
    QStringList rows;
    for (int row = 0; row <= grid.rowCount(); ++row) {
        QStringList fields;
        for (int col = 0; col <= grid.colCount(); ++col)
            fields << grid.cellText(col, row);
        rows << fields.join(u'|');
    }
    return rows;
}

bool gridIsEmpty(const GridControl &grid)
{
    for (const QString &row : gridCells(grid)) {
        if (!QString(row).remove(u'|').isEmpty())
            return false;
    }
    return true;
}

} // namespace

class GetHistFileTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString logFile(const QByteArray &bytes, const QString &name = u"run.csv"_s)
    {
        const QString path = m_dir->filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            qFatal("cannot write the log");
        return path;
    }

    static DataFileWindow &window() { return frmHistory(); }
    static GridControl &grid() { return *frmHistory().dataGrid(); }

    // The user picks `path` (or cancels) in the open dialog and the load runs.
    static void open(const std::optional<QString> &path)
    {
        TestEnv::dialogs().files.append(path);
        window().toolbarButton(1)->trigger();
    }

private slots:
    void init()
    {
        TestEnv::reset();
        TestStartup::run();
        m_dir = std::make_unique<QTemporaryDir>();
        QFile::setPermissions(m_dir->path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                 | QFileDevice::ExeOwner | QFileDevice::ReadOther
                                                 | QFileDevice::ExeOther);
    }

    void dialogIsPreparedAndKeepsItsFileName()
    {
        CommonDialog &dialog = *shared().fileDialog;
        dialog.fileName = u"/work/trend.jpg"_s; // left by a trend image saved before
        dialog.defaultExt = u".jpg"_s;
        dialog.flags = 2;
        open(std::nullopt);
        QCOMPARE(TestEnv::dialogs().fileRequests.size(), 1);
        const FileDialogRequest request = TestEnv::dialogs().fileRequests.constFirst();
        QVERIFY(!request.save);
        QCOMPARE(request.title, u"Open Log file (.csv)"_s);
        QCOMPARE(request.nameFilter, u"Log Files(*.csv);;Logger files (*.csv *.dat *.txt *.tsv);;All files (*)"_s);
        QCOMPARE(request.initialDir, shared().startDir + QDir::separator());
        QCOMPARE(request.fileName, u"/work/trend.jpg"_s);
        QCOMPARE(request.defaultSuffix, u"jpg"_s);
        QVERIFY(request.mustExist);
        QCOMPARE(dialog.flags, 4100);
        QCOMPARE(dialog.filter, u"Log Files(*.csv)|*.csv|Logger files (*.csv *.dat *.txt *.tsv)|*.csv;*.dat;*.txt;*.tsv|All files (*)|*"_s);
        QVERIFY(dialog.cancelError);
        QCOMPARE(dialog.defaultExt, u".jpg"_s);
    }

    void loadShowsTheLogTrimmedAndLocked()
    {
        const QString path = logFile(GoodLog);
        const QString before = logFile(GoodLog, u"before.csv"_s);
        logDocument().load(before);
        QString statusAtYield, fileAtYield;
        TestEnv::ui().onPass = [&](int) {
            statusAtYield = window().statusPanelText();
            fileAtYield = logDocument().path();
        };
        open(path);
        QCOMPARE(TestEnv::ui().passes, 1);
        QCOMPARE(statusAtYield, Loading);
        QCOMPARE(fileAtYield, before); // the name is set after the yield
        QCOMPARE(TestEnv::ui().pointerHistory, (QList<Pointer>{Pointer::Hourglass, Pointer::Default, Pointer::Default}));
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QCOMPARE(logDocument().path(), path);
        QCOMPARE(window().statusPanelText(), u"Current File is "_s + path);
        QCOMPARE(gridCells(grid()), (QStringList{u"Date|Time|Flow|Level|Speed"_s, u"1/2/2024|1:00:00 AM|1.5|20|300"_s,
                                                 u"1/2/2024|1:00:01 AM||21|301"_s,
                                                 u"1/2/2024|1:00:02 AM|1.75|22|302"_s}));
        QCOMPARE(grid().columnWidth(0), 14.0);
        QCOMPARE(grid().columnWidth(-1), 14.0);
        QCOMPARE(grid().blockSelectionOptions(), BlockSelection::WholeColumns | BlockSelection::Blocks);
        QVERIFY(grid().multipleBlocks());
        QVERIFY(grid().cellsLocked());
        QVERIFY(grid().sheetProtected());
        QVERIFY(!window().isLoading());
    }

    // A file that loads with something to say: the status text says it. The whole
    // open (index, last data column twice, last row) walks the file a few times at
    // most, whatever its shape.
    void loadRemarks_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("cols");
        QTest::addColumn<QString>("remarks");
        QByteArray wide = "Date,Time";
        QByteArray wideRow = "1/2/2024,1:00:00 AM";
        for (int c = 0; c < 20000; ++c) {
            wide += ",V" + QByteArray::number(c);
            wideRow += ",7";
        }
        QTest::newRow("plain") << GoodLog << QString() << 3 << 4 << QString();
        QTest::newRow("header only") << QByteArray("Date,Time,Flow\r\n") << QString() << 0 << 2 << u" (no rows yet)"_s;
        QTest::newRow("quote never closed")
            << QByteArray("Date,Time,A\r\n1/2/2024,1:00:00 AM,1\r\n1/2/2024,\"1:00:01 AM,2\r\n1/2/2024,1:00:02 AM,3\r\n")
            << QString() << 3 << 2 << u" (a quoted field at line 3 has no closing quote)"_s;
        QTest::newRow("more columns than shown")
            << wide + "\r\n" + wideRow + "\r\n" + wideRow + "\r\n" << QString() << 2 << LogTable::MaxColumns
            << u" (only the first 16384 of 20001 columns are shown)"_s;
        QTest::newRow("one line of many fields, CR only")
            << "Date,Time\r" + wideRow + "\r" << QString() << 1 << LogTable::MaxColumns
            << u" (only the first 16384 of 20001 columns are shown)"_s;
        // A kernel file reports a page and holds a line, as a file cut short while read.
        QTest::newRow("shrank while read") << QByteArray() << u"/sys/devices/system/cpu/online"_s << 0 << 0
                                           << u" (the file changed while it was read) (no rows yet)"_s;
    }

    void loadRemarks()
    {
        QFETCH(QByteArray, log);
        QFETCH(QString, path);
        QFETCH(int, rows);
        QFETCH(int, cols);
        QFETCH(QString, remarks);
        if (path.isEmpty())
            path = logFile(log);
        else if (!QFile::exists(path))
            QSKIP("no such kernel file here");
        open(path);
        QVERIFY2(TestEnv::ui().messages.isEmpty(), qPrintable(TestEnv::ui().texts().join(u'|')));
        QCOMPARE(grid().rowCount(), rows);
        QCOMPARE(grid().colCount(), cols);
        QCOMPARE(window().statusPanelText(), u"Current File is "_s + path + remarks);
        const LogTable &table = grid().model()->table();
        QVERIFY2(table.bytesScanned() <= 8 * table.byteSize(),
                 qPrintable(u"%1 bytes scanned of %2"_s.arg(table.bytesScanned()).arg(table.byteSize())));
    }

    // The status bar tells the log's size beside the current-file text, after the
    // load has trimmed it; a failed load leaves none.
    void countsBesideTheFile_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QString>("counts");
        QByteArray big("Date,Time,A,B,C\r\n"); // 17 + 2,000 x 30 bytes
        for (int r = 0; r < 2000; ++r)
            big += "12/31/2024,11:59:59 PM,1,2,3\r\n";
        QTest::newRow("as loaded") << GoodLog << u"3 rows, 5 columns, %1 bytes"_s.arg(GoodLog.size());
        QTest::newRow("incomplete last row dropped")
            << QByteArray("Date,Time,A\r\n1/1/2024,1:00:00 AM,1\r\n1/2/2024,1:00:01 AM\r\n") << u"1 row, 3 columns, 57 bytes"_s;
        QTest::newRow("kilobytes") << big << u"2,000 rows, 5 columns, 58.6 kB"_s;
        QTest::newRow("failed load") << QByteArray() << QString();
    }

    void countsBesideTheFile()
    {
        QFETCH(QByteArray, log);
        open(logFile(GoodLog, u"before.csv"_s));
        const QString path = logFile(log);
        open(path);
        auto *counts = window().StatusBar1()->findChild<QLabel *>(u"StatusBar1Counts"_s);
        QVERIFY(counts);
        QTEST(counts->text(), "counts");
        if (!counts->text().isEmpty())
            QCOMPARE(window().statusPanelText(), u"Current File is "_s + path);
    }

    void failuresReportAndReset_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        const QString notRegular = reportText(31003, u"The file is not a regular file (a folder, a device or a pipe)."_s);
        QTest::newRow("binary file") << u"binary"_s
                                     << reportText(31002, u"The file is not a text log: it holds NUL bytes near the start."_s);
        QTest::newRow("empty file") << u"empty"_s << reportText(31001, u"The file is empty."_s);
        QTest::newRow("missing file") << u"missing"_s << reportText(53, u"File not found"_s);
        QTest::newRow("a folder") << u"folder"_s << notRegular;
        QTest::newRow("a pipe") << u"fifo"_s << notRegular;
        QTest::newRow("an endless device") << u"device"_s << notRegular;
        QTest::newRow("unreadable file") << u"unreadable"_s << reportText(70, u"Permission denied"_s);
    }

    void failuresReportAndReset()
    {
        QFETCH(QString, kind);
        QFETCH(QString, message);
        open(logFile(GoodLog, u"good.csv"_s));
        QCOMPARE(grid().rowCount(), 3);
        window().DcryLabel()->show();
        window().ProgBar()->show();
        TestEnv::ui().pointerHistory.clear();

        QString path;
        std::optional<AsOrdinaryUser> user;
        if (kind == u"binary"_s) {
            path = logFile(QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16) + QByteArray(2000, '\x11'), u"picture.csv"_s);
        } else if (kind == u"empty"_s) {
            path = logFile(QByteArray(), u"empty.csv"_s);
        } else if (kind == u"fifo"_s) {
            path = m_dir->filePath(u"pipe.csv"_s);
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == u"device"_s) {
            path = u"/dev/zero"_s;
        } else if (kind == u"missing"_s) {
            path = m_dir->filePath(u"gone.csv"_s);
        } else if (kind == u"folder"_s) {
            QVERIFY(QDir(m_dir->path()).mkdir(u"folder.csv"_s));
            path = m_dir->filePath(u"folder.csv"_s);
        } else if (kind == u"unreadable"_s) {
            path = logFile(GoodLog, u"locked.csv"_s);
            QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
            user.emplace();
        }
        open(path);
        user.reset();

        QCOMPARE(TestEnv::ui().texts(), QStringList{message});
        QCOMPARE(TestEnv::ui().messages.constFirst().icon, MsgIcon::None);
        QVERIFY(gridIsEmpty(grid()));
        QCOMPARE(window().statusPanelText(), QString());
        QCOMPARE(logDocument().path(), QString());
        QVERIFY(!window().DcryLabel()->isVisible());
        QVERIFY(!window().ProgBar()->isVisible());
        QCOMPARE(TestEnv::ui().pointer(), Pointer::Default);
        QVERIFY(!window().isLoading());

        open(logFile(GoodLog, u"good.csv"_s)); // the next Open works as ever
        QCOMPARE(grid().rowCount(), 3);
    }

    void withoutTheFileDialogItReportsAndResets()
    {
        open(logFile(GoodLog));
        shared().fileDialog = nullptr;
        window().getHistFile();
        QCOMPARE(TestEnv::ui().texts(),
                 QStringList{reportText(91, u"Object variable or With block variable not set"_s)});
        QVERIFY(gridIsEmpty(grid()));
        QCOMPARE(logDocument().path(), QString());
    }

    void cancelLeavesTheFormerFileUntouched()
    {
        const QString path = logFile(GoodLog);
        open(path);
        const QStringList before = gridCells(grid());
        const QList<Pointer> pointers = TestEnv::ui().pointerHistory;
        open(std::nullopt);
        QCOMPARE(TestEnv::dialogs().fileRequests.size(), 2);
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QCOMPARE(logDocument().path(), path);
        QCOMPARE(window().statusPanelText(), u"Current File is "_s + path);
        QCOMPARE(gridCells(grid()), before);
        QCOMPARE(TestEnv::ui().pointerHistory, pointers);
        QCOMPARE(TestEnv::ui().passes, 1);
    }

    void secondOpenDuringTheLoadDoesNothing()
    {
        const QString first = logFile(GoodLog, u"first.csv"_s);
        const QString second = logFile("Date,Time,Other\r\n1/1/2024,x,9\r\n", u"second.csv"_s);
        TestEnv::ui().onPass = [&](int pass) {
            if (pass == 1) {
                TestEnv::dialogs().files.append(second);
                window().toolbarButton(1)->trigger();
            }
        };
        open(first);
        QCOMPARE(TestEnv::dialogs().fileRequests.size(), 1);
        QCOMPARE(logDocument().path(), first);
        QCOMPARE(grid().cellText(2, 0), u"Flow"_s);
        QCOMPARE(TestEnv::ui().passes, 1);

        TestEnv::ui().onPass = nullptr;
        TestEnv::dialogs().files.clear();
        open(second); // once the load is over, Open works again
        QCOMPARE(logDocument().path(), second);
        QCOMPARE(grid().cellText(2, 0), u"Other"_s);
    }
};

VIEWER_TEST(GetHistFileTest)
#include "tst_gethistfile.moc"
