#include "support/devicenode.h"
#include "support/logfixture.h"
#include "support/scripteddialogs.h"
#include "support/scriptedui.h"
#include "support/smalldisk.h"
#include "support/startup.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/commondialog.h"
#include "controls/gridcontrol.h"
#include "logview/datafilewindow.h"
#include "core/logdocument.h"
#include "shell/openlog.h"
#include "trend/trendwindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Every way the viewer writes a file the user names.
enum class Writer {
    SaveJpeg, SavePng, SaveSvg, SavePdf, SaveCsv, // the trend's Save As, by the type chosen
    TrendPdf, GridPdf,                            // Export PDF
    TrendPrint, GridPrint,                        // the print dialog's print to file
    TrendPreview, GridPreview,                    // printed to a file from the preview
};

const QList<std::pair<Writer, const char *>> &writers()
{
    static const QList<std::pair<Writer, const char *>> all{
        {Writer::SaveJpeg, "Save As JPEG"},   {Writer::SavePng, "Save As PNG"},
        {Writer::SaveSvg, "Save As SVG"},     {Writer::SavePdf, "Save As PDF"},
        {Writer::SaveCsv, "Save As CSV"},     {Writer::TrendPdf, "trend Export PDF"},
        {Writer::GridPdf, "grid Export PDF"}, {Writer::TrendPrint, "trend print to file"},
        {Writer::GridPrint, "grid print to file"}, {Writer::TrendPreview, "trend preview to file"},
        {Writer::GridPreview, "grid preview to file"},
    };
    return all;
}

bool isGridWriter(Writer w) { return w == Writer::GridPdf || w == Writer::GridPrint || w == Writer::GridPreview; }

// The printer "chosen" in the print dialog writes a PDF file.
void printerWrites(const QString &file)
{
    TestEnv::dialogs().prints.append(PrintDialogResult{});
    TestEnv::dialogs().configurePrinter = [file](QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
    };
}

// The user names `target` to the writer. Save As answers with the type's entry
// of the dialog's filter (from 1: JPEG, PNG, SVG, PDF, CSV); the test's names
// carry no image extension, so the entry decides.
void write(Writer w, const QString &target)
{
    TrendWindow &trend = *loadedTrendWindow();
    const int saveType = int(w) - int(Writer::SaveJpeg) + 1;
    switch (w) {
    case Writer::SaveJpeg:
    case Writer::SavePng:
    case Writer::SaveSvg:
    case Writer::SavePdf:
    case Writer::SaveCsv:
        TestEnv::dialogs().files.append(FileChoice(target, saveType));
        return trend.toolbarButtonClick(3);
    case Writer::TrendPdf:
        TestEnv::dialogs().files.append(target);
        return trend.exportPdf();
    case Writer::GridPdf:
        TestEnv::dialogs().files.append(target);
        return frmHistory().exportPdf();
    case Writer::TrendPrint:
        printerWrites(target);
        return trend.toolbarButtonClick(4);
    case Writer::GridPrint:
        printerWrites(target);
        return frmHistory().printHistGrid();
    case Writer::TrendPreview:
        printerWrites(target);
        return trend.printPreview();
    case Writer::GridPreview:
        printerWrites(target);
        return frmHistory().printPreview();
    }
}

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

struct stat statOf(const QString &path, bool followLinks = true)
{
    struct stat st{};
    const QByteArray name = QFile::encodeName(path);
    if ((followLinks ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st)) != 0)
        st.st_mode = 0;
    return st;
}

// Everything in a folder, hidden files too: a writer's temporary file left over
// would show here.
QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

enum class Target { TheLog, SymbolicLink, HardLink, PlottedAfterAnotherOpen, PlottedAfterFailedOpen };

} // namespace

Q_DECLARE_METATYPE(Writer)
Q_DECLARE_METATYPE(Target)

// No writer ever writes over a log the viewer holds, nor into anything that is
// not a regular file, and a PDF that does not fit leaves the earlier file.
class WriteTargetsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_logBytes;
    QString m_log;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    QString openLog(const QByteArray &bytes, const QString &name)
    {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write the test log");
        file.close();
        if (!loadedHistory())
            TestStartup::run();
        frmHistory().getHistFile(file.fileName());
        return file.fileName();
    }

    // Log "plant.log" opened and its first value column plotted. The name has no
    // image extension, so that Save As takes the type chosen in its dialog.
    void plotLog()
    {
        m_logBytes = LogFixture::minutes(30, 2);
        m_log = openLog(m_logBytes, u"plant.log"_s);
        frmHistory().dataGrid()->setSelectionBlocks({GridBlock{2, -1, 2, -1}});
        frmHistory().toolbarButtonClick(2);
        QVERIFY(loadedTrendWindow() && loadedTrendWindow()->isVisible());
    }

private slots:
    void init()
    {
        TestEnv::reset();
        QDir dir(m_dir.path());
        QVERIFY(dir.removeRecursively() && dir.mkpath(u"."_s));
    }

    void neverWritesALog_data()
    {
        QTest::addColumn<Writer>("writer");
        QTest::addColumn<Target>("target");
        const QList<std::pair<Target, const char *>> targets{
            {Target::TheLog, "the log"},
            {Target::SymbolicLink, "a symbolic link to it"},
            {Target::HardLink, "a hard link to it"},
            {Target::PlottedAfterAnotherOpen, "the trend's log, another log opened"},
            {Target::PlottedAfterFailedOpen, "the trend's log, an open failed"},
        };
        for (const auto &[writer, writerName] : writers()) {
            for (const auto &[target, targetName] : targets) {
                // With the grid emptied its writers have no printout to write.
                if (isGridWriter(writer) && target == Target::PlottedAfterFailedOpen)
                    continue;
                QTest::addRow("%s, %s", writerName, targetName) << writer << target;
            }
        }
    }

    void neverWritesALog()
    {
        QFETCH(Writer, writer);
        QFETCH(Target, target);
        plotLog();
        QString name = m_log;
        switch (target) {
        case Target::TheLog:
            break;
        case Target::SymbolicLink:
            name = path(u"link.log"_s);
            QVERIFY(QFile::link(m_log, name));
            break;
        case Target::HardLink:
            name = path(u"hard.log"_s);
            QVERIFY(::link(QFile::encodeName(m_log).constData(), QFile::encodeName(name).constData()) == 0);
            break;
        case Target::PlottedAfterAnotherOpen:
            openLog(LogFixture::minutes(5, 2), u"other.log"_s);
            QVERIFY(logDocument().path().endsWith(u"other.log"_s));
            break;
        case Target::PlottedAfterFailedOpen:
            frmHistory().getHistFile(path(u"missing.log"_s));
            QVERIFY(logDocument().path().isEmpty());
            break;
        }
        QVERIFY(loadedTrendWindow() && loadedTrendWindow()->isVisible());
        const struct stat before = statOf(name, false);
        const QStringList present = entries(m_dir.path());
        TestEnv::ui().messages.clear();

        write(writer, name);

        QCOMPARE(TestEnv::ui().texts(),
                 QStringList{u'"' + QFileInfo(name).fileName() + u"\" is the log being viewed; choose another file."_s});
        QCOMPARE(TestEnv::ui().messages.constFirst().icon, MsgIcon::Exclamation);
        QCOMPARE(contentOf(m_log), m_logBytes);
        // The name still is what it was: the same link, the same file.
        const struct stat after = statOf(name, false);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(entries(m_dir.path()), present);
    }

    void refusesWhatIsNotARegularFile_data()
    {
        QTest::addColumn<Writer>("writer");
        QTest::addColumn<QString>("kind");
        for (const auto &[writer, writerName] : writers()) {
            for (const char *kind : {"pipe", "folder", "device link"})
                QTest::addRow("%s, %s", writerName, kind) << writer << QString::fromLatin1(kind);
        }
    }

    void refusesWhatIsNotARegularFile()
    {
        QFETCH(Writer, writer);
        QFETCH(QString, kind);
        plotLog();
        const QString name = path(u"target.out"_s);
        const QByteArray native = QFile::encodeName(name);
        if (kind == u"pipe"_s)
            QVERIFY(::mkfifo(native.constData(), 0600) == 0);
        else if (kind == u"folder"_s)
            QVERIFY(QDir(m_dir.path()).mkdir(u"target.out"_s));
        const QString device = kind == u"device link"_s ? deviceForLinks(m_dir.path()) : QString();
        if (kind == u"device link"_s) {
            if (device.isEmpty())
                QSKIP("no device can be made here, and /dev/null is not to be put at risk");
            QVERIFY(QFile::link(device, name));
        }
        const struct stat before = statOf(name, false);
        const QStringList present = entries(m_dir.path());
        TestEnv::ui().messages.clear();

        // A pipe without a reader would hold up a writer that opened it.
        write(writer, name);

        QCOMPARE(TestEnv::ui().texts(), QStringList{u"\"target.out\" is not a regular file."_s});
        const struct stat after = statOf(name, false);
        QCOMPARE(after.st_mode, before.st_mode);
        QCOMPARE(after.st_ino, before.st_ino);
        if (kind == u"folder"_s)
            QCOMPARE(QDir(name).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
        else if (kind == u"device link"_s)
            QVERIFY(S_ISCHR(statOf(device).st_mode));
        QCOMPARE(entries(m_dir.path()), present);
    }

    // A PDF that does not fit on the disk leaves the earlier file as it was:
    // Save As and Export PDF say that it could not be saved, printing skips it
    // silently as it skips every failure.
    void fullDiskKeepsTheEarlierPdf_data()
    {
        QTest::addColumn<Writer>("writer");
        QTest::addColumn<QString>("message");
        const QString pdfFailure = u"PDF file can not be saved. Check filename or disk space"_s;
        QTest::newRow("Save As PDF") << Writer::SavePdf << pdfFailure;
        QTest::newRow("trend Export PDF") << Writer::TrendPdf << pdfFailure;
        QTest::newRow("grid Export PDF") << Writer::GridPdf << pdfFailure;
        QTest::newRow("trend print to file") << Writer::TrendPrint << QString();
        QTest::newRow("grid print to file") << Writer::GridPrint << QString();
    }

    void fullDiskKeepsTheEarlierPdf()
    {
        QFETCH(Writer, writer);
        QFETCH(QString, message);
        const QString disk = path(u"disk"_s);
        QVERIFY(QDir(m_dir.path()).mkdir(u"disk"_s));
        SmallDisk small;
        if (!small.mount(disk, 256))
            QSKIP(qPrintable(SmallDisk::cannotMount()));
        plotLog();
        const QString pdf = disk + u"/earlier.pdf"_s;
        const QByteArray earlier = "%PDF-1.4 the printout of yesterday\n%%EOF\n";
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlier) == earlier.size());
        file.close();
        // About where a PDF's first pages stop.
        QVERIFY(small.fillLeaving(8192));
        TestEnv::ui().messages.clear();

        write(writer, pdf);

        QCOMPARE(TestEnv::ui().texts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(contentOf(pdf), earlier);
        QCOMPARE(entries(disk), (QStringList{u"earlier.pdf"_s, u"filler"_s}));
    }
};

VIEWER_TEST(WriteTargetsTest)
#include "tst_writetargets.moc"
