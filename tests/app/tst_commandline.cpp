#include "support/devicenode.h"
#include "support/pdftext.h"
#include "support/smalldisk.h"
#include "support/testregistry.h"

#include "controls/plotcontrol.h"
#include "core/logdocument.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A log of `rows` samples a minute apart with values A and B that wander like a
// sensor's; rows from `gapFrom` to `gapTo` (from 1) have no A.
QByteArray sensorLog(int rows, int gapFrom = 0, int gapTo = -1)
{
    QByteArray log = "Date,Time,A,B\r\n";
    double a = 50, b = 20;
    quint32 noise = 12345;
    for (int r = 1; r <= rows; ++r) {
        noise = noise * 1103515245u + 12345u;
        a += double(int(noise >> 16) % 200 - 100) / 40.0;
        b += double(int(noise >> 8) % 100 - 50) / 80.0;
        const int m = r - 1;
        log += "3/14/2024," + QByteArray::number(1 + m / 60) + ':' + QByteArray::number(m % 60).rightJustified(2, '0')
               + ":00 PM,";
        if (r < gapFrom || r > gapTo)
            log += QByteArray::number(a, 'f', 2);
        log += ',' + QByteArray::number(b, 'f', 2) + "\r\n";
    }
    return log;
}

struct Run
{
    int exitCode = -1;
    QString error;
};

} // namespace

// krn740-viewer --export OUT [--columns ...] [--size WxH] LOG, run as a script
// would: no display, its own settings folder.
class CommandLineTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_device; // what null.png links to; empty when no device may be made

    QString path(const QString &name) const { return m_dir.filePath(name); }

    bool write(const QString &name, const QByteArray &bytes) const
    {
        QFile file(path(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

    Run run(const QStringList &arguments) const
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        env.insert(u"XDG_CONFIG_HOME"_s, path(u"config"_s));
        env.insert(u"XDG_RUNTIME_DIR"_s, path(u"runtime"_s));
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral(VIEWER_PROGRAM), arguments);
        Run result;
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return result;
        result.exitCode = process.exitCode();
        result.error = QString::fromUtf8(process.readAllStandardError());
        return result;
    }

    // An export that wrote out.png (empty `message`), or ended on that one line
    // (%D: the test folder) with exit code 1.
    void expectExport(const Run &result, const QString &message)
    {
        if (message.isEmpty()) {
            QCOMPARE(result.error, QString());
            QCOMPARE(result.exitCode, 0);
            QVERIFY(QFile::exists(path(u"out.png"_s)));
        } else {
            QCOMPARE(result.error, u"krn740-viewer: "_s + QString(message).replace(u"%D"_s, m_dir.path()) + u'\n');
            QCOMPARE(result.exitCode, 1);
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).mkpath(u"config"_s));
        QVERIFY(QDir(m_dir.path()).mkpath(u"runtime"_s));
        QFile::setPermissions(path(u"runtime"_s), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(write(u"run.csv"_s, sensorLog(30)));
        QVERIFY(write(u"letters.csv"_s, "Date,Time,A,B\r\n3/14/2024,1:00:00 PM,1,2\r\n3/14/2024,1:01:00 PM,2,3\r\n"
                                        "3/14/2024,1:02:00 PM,3,1O.5\r\n3/14/2024,1:03:00 PM,4,5\r\n"));
        QVERIFY(write(u"short.csv"_s, sensorLog(1)));
        QVERIFY(write(u"heading.csv"_s, "Date,Time,A,B\r\n"));
        QVERIFY(write(u"codes.csv"_s, "when,aircraft,speed\n2024-01-01 10:00,T-38A,400\n2024-01-01 11:00,KC-10A,300\n"
                                      "2024-01-01 12:00,T-38A,410\n"));
        QVERIFY(write(u"marks.csv"_s, "Date,Time,A,B\r\n3/14/2024,1:00:00 PM,ERR,\r\n3/14/2024,1:01:00 PM,,N/A\r\n"));
        QVERIFY(QFile::link(path(u"run.csv"_s), path(u"same.png"_s)));
        QVERIFY(::link(QFile::encodeName(path(u"run.csv"_s)).constData(), QFile::encodeName(path(u"hard.png"_s)).constData())
                == 0);
        QVERIFY(::mkfifo(QFile::encodeName(path(u"pipe.png"_s)).constData(), 0600) == 0);
        QVERIFY(QDir(m_dir.path()).mkdir(u"folder.png"_s));
        m_device = deviceForLinks(m_dir.path());
        if (!m_device.isEmpty())
            QVERIFY(QFile::link(m_device, path(u"null.png"_s)));
        QVERIFY(write(u"headings.csv"_s, "Date,Time,\"Temp, C\",Wind,2,Bad,\"DewPt, \xC2\xB0" "F\",\"DewPt, \xC2\xB0" "F\","
                                         "\"Flow \"\"A\"\", l/s\"\r\n3/14/2024,1:00:00 PM,1,2,3,4,5,6,7\r\n"
                                         "3/14/2024,1:01:00 PM,2,3,4,1O.5,6,7,8\r\n3/14/2024,1:02:00 PM,3,4,5,6,7,8,9\r\n"
                                         "3/14/2024,1:03:00 PM,4,5,6,7,8,9,1x\r\n"));
        QVERIFY(write(u"breaks.csv"_s, "Date,Time,A,B\r\n3/14/2024,1:00:00 PM,1,2\r\n3/14/2024,1:01:00 PM,2,3\r\n"
                                       "3/14/2024,1:02:00 PM,3,\"1\n2\"\r\n3/14/2024,1:03:00 PM,4,5\r\n"));
        QByteArray elapsed = "stamp,value\n";
        for (int r = 0; r < 6; ++r)
            elapsed += QByteArray::number(1700000000 + 60 * r) + ',' + QByteArray::number(r) + '\n';
        QVERIFY(write(u"elapsed.csv"_s, elapsed));
        QVERIFY(write(u"semi.csv"_s, "when;a\n2024-01-01 10:00;1,5\n2024-01-01 10:01;2,5\n2024-01-01 10:02;3\n"
                                     "2024-01-01 10:03;4,25\n"));
        QVERIFY(write(u"dayfirst.csv"_s, "d,v\n13/01/2024,1\n14/01/2024,2\n15/01/2024,3\n16/01/2024,4\n"));
        QVERIFY(write(u"orders.csv"_s, "Date,Time,A\r\n14.03.2024,13:00,1\r\n14.03.2024,13:01,2\r\n"
                                       "03.15.2024,13:02,3\r\n15.03.2024,13:03,4\r\n"));
    }

    // Every failure: exit code 1 and one line saying why; nothing written.
    void exportExitCodesAndMessages_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message"); // %D is the test's folder
        const QString log = u"run.csv"_s;
        QTest::newRow("written") << QStringList{u"--export"_s, u"out.png"_s, log} << 0 << QString();
        QTest::newRow("named columns") << QStringList{u"--export"_s, u"out.png"_s, u"--columns"_s, u"B,A"_s, log} << 0
                                       << QString();
        QTest::newRow("unknown column")
            << QStringList{u"--export"_s, u"out.png"_s, u"--columns"_s, u"A,Wind"_s, log} << 1
            << u"\"%D/run.csv\" has no column named \"Wind\""_s;
        QTest::newRow("time column") << QStringList{u"--export"_s, u"out.png"_s, u"--columns"_s, u"Time"_s, log} << 1
                                     << u"column \"Time\" holds no values to plot"_s;
        QTest::newRow("log missing") << QStringList{u"--export"_s, u"out.png"_s, u"gone.csv"_s} << 1
                                     << u"cannot load \"%D/gone.csv\": File not found"_s;
        QTest::newRow("not a number") << QStringList{u"--export"_s, u"out.png"_s, u"letters.csv"_s} << 1
                                      << u"\"%D/letters.csv\": Line 4, column \"B\": \"1O.5\" is not a number."_s;
        QTest::newRow("one row: a point") << QStringList{u"--export"_s, u"out.png"_s, u"short.csv"_s} << 0 << QString();
        QTest::newRow("every value column, not the codes") << QStringList{u"--export"_s, u"out.png"_s, u"codes.csv"_s} << 0
                                                           << QString();
        QTest::newRow("no row") << QStringList{u"--export"_s, u"out.png"_s, u"heading.csv"_s} << 1
                                << u"\"%D/heading.csv\" has no rows to plot"_s;
        QTest::newRow("no value, only gaps and marks") << QStringList{u"--export"_s, u"out.png"_s, u"marks.csv"_s} << 1
                                                       << u"\"%D/marks.csv\": no value to plot: every chosen cell is empty or a mark"_s;
        QTest::newRow("folder missing") << QStringList{u"--export"_s, u"no/out.png"_s, log} << 1
                                        << u"cannot write \"no/out.png\": Path not found"_s;
        const QString viewed = u" is the log being viewed; choose another file."_s;
        QTest::newRow("out is the log") << QStringList{u"--export"_s, log, log} << 1 << u"\"run.csv\""_s + viewed;
        QTest::newRow("out links to the log") << QStringList{u"--export"_s, u"same.png"_s, log} << 1
                                              << u"\"same.png\""_s + viewed;
        QTest::newRow("out is a hard link to the log") << QStringList{u"--export"_s, u"hard.png"_s, log} << 1
                                                       << u"\"hard.png\""_s + viewed;
        const QString notRegular = u" is not a regular file."_s;
        QTest::newRow("out is a pipe") << QStringList{u"--export"_s, u"pipe.png"_s, log} << 1
                                       << u"\"pipe.png\""_s + notRegular;
        QTest::newRow("out is a folder") << QStringList{u"--export"_s, u"folder.png"_s, log} << 1
                                         << u"\"folder.png\""_s + notRegular;
        if (!m_device.isEmpty())
            QTest::newRow("out links to a device") << QStringList{u"--export"_s, u"null.png"_s, log} << 1
                                                   << u"\"null.png\""_s + notRegular;
        const QString longName = QString(300, u'x') + u".png"_s;
        QTest::newRow("name too long") << QStringList{u"--export"_s, longName, log} << 1
                                       << u"cannot write \""_s + longName + u"\": the name is too long"_s;
        QTest::newRow("line break in a cell") << QStringList{u"--export"_s, u"out.png"_s, u"breaks.csv"_s} << 1
                                              << u"\"%D/breaks.csv\": Line 4, column \"B\": \"1\\n2\" is not a number."_s;
        QTest::newRow("dates in both orders")
            << QStringList{u"--export"_s, u"out.png"_s, u"orders.csv"_s} << 1
            << u"\"%D/orders.csv\": Line 4, column \"Date\": \"03.15.2024\" does not fit the day-first dates above it."_s;
        QTest::newRow("unknown type") << QStringList{u"--export"_s, u"out.bmp"_s, log} << 1
                                      << u"\"out.bmp\" has no image type: name it .png, .jpg, .svg or .pdf"_s;
        const QString badSize = u" is not a size: give width and height in pixels, such as 1000x600, each 32 to 10000"_s;
        QTest::newRow("size not WxH") << QStringList{u"--export"_s, u"out.png"_s, u"--size"_s, u"800"_s, log} << 1
                                      << u"--size \"800\""_s + badSize;
        QTest::newRow("size too small") << QStringList{u"--export"_s, u"out.png"_s, u"--size"_s, u"20x400"_s, log}
                                        << 1 << u"--size \"20x400\""_s + badSize;
        QTest::newRow("unknown option") << QStringList{u"--export"_s, u"out.png"_s, u"--colour"_s, u"red"_s, log} << 1
                                        << u"Unknown option 'colour'."_s;
        QTest::newRow("two logs") << QStringList{u"--export"_s, u"out.png"_s, log, log} << 1
                                  << u"--export needs exactly one log file, given 2"_s;
    }

    // --columns names a column by its heading, CSV-quoted when it holds a comma, or
    // by its field number from 1 (the Date); a heading that is a number goes first.
    // Column "Bad" (field 6) fails the plot: its message shows that it was taken.
    void columnsByHeadingOrFieldNumber_data()
    {
        QTest::addColumn<QStringList>("columns"); // each one --columns
        QTest::addColumn<QString>("message");     // empty: written
        const QString badTaken = u"\"%D/headings.csv\": Line 3, column \"Bad\": \"1O.5\" is not a number."_s;
        QTest::newRow("quoted heading with a comma") << QStringList{u"\"Temp, C\",Wind"_s} << QString();
        QTest::newRow("field number") << QStringList{u"Wind,6"_s} << badTaken;
        QTest::newRow("numeric heading before field 2 (the time)") << QStringList{u"2"_s} << QString();
        QTest::newRow("the Date is field 1") << QStringList{u"1"_s} << u"column \"1\" holds no values to plot"_s;
        QTest::newRow("repeated option") << QStringList{u"6"_s, u"\"Temp, C\""_s} << badTaken;
        QTest::newRow("field number past the last")
            << QStringList{u"10"_s} << u"\"%D/headings.csv\" has no column named \"10\" and no field 10: its fields are 1 to 9"_s;
        QTest::newRow("a heading two columns share") << QStringList{u"\"DewPt, \u00B0F\""_s}
                                                     << u"\"DewPt, \u00B0F\" names fields 7 and 8; choose one by its number."_s;
        QTest::newRow("one of them by its number") << QStringList{u"8,Wind"_s} << QString();
        // Its last cell is no number: the column was found and read.
        QTest::newRow("a doubled quote in a quoted heading")
            << QStringList{u"\"Flow \"\"A\"\", l/s\""_s}
            << u"\"%D/headings.csv\": Line 5, column \"Flow \"A\", l/s\": \"1x\" is not a number."_s;
        QTest::newRow("quote left open") << QStringList{u"Wind,\"Temp, C"_s}
                                         << u"--columns \"Wind,\"Temp, C\": a quote is not closed"_s;
    }

    void columnsByHeadingOrFieldNumber()
    {
        QFETCH(QStringList, columns);
        QFETCH(QString, message);
        QFile::remove(path(u"out.png"_s));
        QStringList arguments{u"--export"_s, u"out.png"_s};
        for (const QString &value : columns)
            arguments << u"--columns"_s << value;
        const Run result = run(arguments << u"headings.csv"_s);
        expectExport(result, message);
    }

    // The shape options choose how the log is read: each one held (a row that fails
    // without it, or with another value), and a value they do not take is one line.
    void shapeOptionsChooseTheReading_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("message"); // empty: written
        const QString noTime = u": "_s + LogDocument::noTimeText();
        QTest::newRow("no time found without an option") << QStringList() << u"elapsed.csv"_s << u"\"%D/elapsed.csv\""_s + noTime;
        QTest::newRow("--time-column by heading") << QStringList{u"--time-column"_s, u"stamp"_s} << u"elapsed.csv"_s << QString();
        QTest::newRow("--time-column by field number") << QStringList{u"--time-column"_s, u"1"_s} << u"elapsed.csv"_s << QString();
        QTest::newRow("--separator ;") << QStringList{u"--separator"_s, u";"_s} << u"semi.csv"_s << QString();
        QTest::newRow("--separator tab") << QStringList{u"--separator"_s, u"tab"_s} << u"semi.csv"_s << u"\"%D/semi.csv\""_s + noTime;
        QTest::newRow("--decimal ,") << QStringList{u"--decimal"_s, u","_s} << u"semi.csv"_s << QString();
        // Read with a decimal point, its cells are no numbers: a column of text.
        QTest::newRow("--decimal .") << QStringList{u"--decimal"_s, u"."_s} << u"semi.csv"_s
                                     << u"\"%D/semi.csv\" has no value columns to plot"_s;
        QTest::newRow("--day-first") << QStringList{u"--day-first"_s} << u"dayfirst.csv"_s << QString();
        QTest::newRow("--month-first") << QStringList{u"--month-first"_s} << u"dayfirst.csv"_s
                                       << u"\"%D/dayfirst.csv\": Line 2, column \"d\": \"13/01/2024\" is not a date."_s;
        QTest::newRow("bad separator") << QStringList{u"--separator"_s, u"|"_s} << u"semi.csv"_s
                                       << u"--separator \"|\" is not a separator: give , ; or tab"_s;
        QTest::newRow("bad decimal mark") << QStringList{u"--decimal"_s, u";"_s} << u"semi.csv"_s
                                          << u"--decimal \";\" is not a decimal mark: give . or ,"_s;
        QTest::newRow("decimal comma with comma fields") << QStringList{u"--separator"_s, u","_s, u"--decimal"_s, u","_s}
                                                         << u"semi.csv"_s
                                                         << u"--decimal , needs a log whose fields are not separated by commas: give --separator ; or tab"_s;
        QTest::newRow("both date orders") << QStringList{u"--day-first"_s, u"--month-first"_s} << u"dayfirst.csv"_s
                                          << u"--day-first and --month-first exclude each other: give one"_s;
        QTest::newRow("unknown time column") << QStringList{u"--time-column"_s, u"when"_s} << u"elapsed.csv"_s
                                             << u"--time-column \"when\": the log has no column named so"_s;
    }

    void shapeOptionsChooseTheReading()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, log);
        QFETCH(QString, message);
        QFile::remove(path(u"out.png"_s));
        const Run result = run(QStringList{u"--export"_s, u"out.png"_s} + options + QStringList{log});
        expectExport(result, message);
    }

    void exportExitCodesAndMessages()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFile::remove(path(u"out.png"_s));
        QDir config(path(u"config"_s));
        QVERIFY(config.removeRecursively() && config.mkpath(u"."_s));
        const QByteArray logBefore = [&] {
            QFile f(path(u"run.csv"_s));
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();

        const Run result = run(arguments);

        QCOMPARE(result.exitCode, exitCode);
        if (exitCode == 0) {
            QCOMPARE(result.error, QString());
            QCOMPARE(QImageReader(path(u"out.png"_s)).format(), QByteArray("png"));
        } else {
            QCOMPARE(result.error, u"krn740-viewer: "_s + QString(message).replace(u"%D"_s, m_dir.path()) + u'\n');
            QVERIFY(!QFile::exists(path(u"out.png"_s)));
        }
        QFile log(path(u"run.csv"_s));
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), logBefore);
        // No settings written.
        QCOMPARE(config.entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
    }

    // A stretch of missing samples stays open: no pixel column over it shows the
    // trace, neither joined across nor drawn as zeros.
    void exportedGapIsBackground_data()
    {
        QTest::addColumn<int>("gapFrom");
        QTest::addColumn<int>("gapTo");
        QTest::addColumn<double>("least"); // widest stretch without trace, share of the width
        QTest::addColumn<double>("most");
        QTest::newRow("100 of 600 minutes missing") << 201 << 300 << 0.11 << 0.18;
        QTest::newRow("none missing") << 0 << -1 << 0.0 << 0.05;
    }

    void exportedGapIsBackground()
    {
        QFETCH(int, gapFrom);
        QFETCH(int, gapTo);
        QFETCH(double, least);
        QFETCH(double, most);
        QVERIFY(write(u"gap.csv"_s, sensorLog(600, gapFrom, gapTo)));
        const Run result = run({u"--export"_s, u"gap.png"_s, u"--columns"_s, u"A"_s, u"--size"_s, u"800x400"_s,
                                u"gap.csv"_s});
        QCOMPARE(result.exitCode, 0);
        const QImage image(path(u"gap.png"_s));
        QCOMPARE(image.size(), QSize(800, 400));

        // Pixel columns holding the trace's colour (antialiased onto black).
        const QColor trace = toQColor(PlotControl::defaultChannelColor(0));
        QVERIFY(trace.red() > 2 * trace.green());
        std::vector<bool> traced(size_t(image.width()), false);
        for (int x = 0; x < image.width(); ++x) {
            for (int y = 0; y < image.height() && !traced[size_t(x)]; ++y) {
                const QColor c = image.pixelColor(x, y);
                traced[size_t(x)] = c.red() > 120 && c.red() > 2 * c.green() && c.red() > 2 * c.blue();
            }
        }
        // The widest stretch of columns without it between traced columns (the
        // legend's swatch, at the right, closes the last one).
        int widest = 0, run = 0;
        bool started = false;
        for (bool t : traced) {
            if (t) {
                if (started)
                    widest = std::max(widest, run);
                started = true;
                run = 0;
            } else {
                ++run;
            }
        }
        const double share = double(widest) / image.width();
        QVERIFY2(share >= least && share <= most, qPrintable(u"widest stretch %1 of the width"_s.arg(share)));
    }

    // A viewer that runs already is left alone: the export writes its own image.
    void exportBesideRunningViewer()
    {
        QProcess viewer;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"XDG_CONFIG_HOME"_s, path(u"config-viewer"_s));
        env.insert(u"XDG_RUNTIME_DIR"_s, path(u"runtime"_s));
        viewer.setProcessEnvironment(env);
        viewer.start(QStringLiteral(VIEWER_PROGRAM), QStringList());
        QVERIFY(viewer.waitForStarted());
        const QString lock = path(u"runtime/krn740-data-viewer.lock"_s);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock), 30000);
        QFile::remove(path(u"beside.png"_s));

        const Run result = run({u"--export"_s, u"beside.png"_s, u"run.csv"_s});

        viewer.kill();
        viewer.waitForFinished();
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(QImageReader(path(u"beside.png"_s)).format(), QByteArray("png"));
    }

    // A disk too full for the image: one line says so, and the earlier image stays.
    void fullDiskIsOneLine_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("PNG") << u"disk/trend.png"_s;
        QTest::newRow("JPEG") << u"disk/trend.jpg"_s;
        QTest::newRow("SVG") << u"disk/trend.svg"_s;
        QTest::newRow("PDF") << u"disk/trend.pdf"_s;
    }

    void fullDiskIsOneLine()
    {
        QFETCH(QString, name);
        QVERIFY(QDir(m_dir.path()).mkpath(u"disk"_s));
        SmallDisk small;
        if (!small.mount(path(u"disk"_s), 128))
            QSKIP(qPrintable(SmallDisk::cannotMount()));
        const QByteArray earlier = "the image of yesterday";
        QVERIFY(write(name, earlier));
        QVERIFY(small.fillLeaving(8192));

        const Run result = run({u"--export"_s, name, u"run.csv"_s});

        QCOMPARE(result.exitCode, 1);
        QCOMPARE(result.error, u"krn740-viewer: cannot write \""_s + name + u"\": Disk full\n"_s);
        QFile image(path(name));
        QVERIFY(image.open(QIODevice::ReadOnly));
        QCOMPARE(image.readAll(), earlier);
        QCOMPARE(QDir(path(u"disk"_s)).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
                 (QStringList{u"filler"_s, QFileInfo(name).fileName()}));
    }

    // A later start with a log ends with 0 only once the viewer that runs has
    // opened the log; otherwise it says why on standard error and ends with 1.
    void handOverToRunningViewer_data()
    {
        QTest::addColumn<QString>("log");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("error");
        QTest::newRow("a log") << u"run.csv"_s << 0 << QString();
        QTest::newRow("a missing path") << u"gone.csv"_s << 1 << u"it does not exist"_s;
    }

    void handOverToRunningViewer()
    {
        QFETCH(QString, log);
        QFETCH(int, exitCode);
        QFETCH(QString, error);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"XDG_CONFIG_HOME"_s, path(u"config-viewer"_s));
        env.insert(u"XDG_RUNTIME_DIR"_s, path(u"runtime"_s));
        const QString socket = path(u"runtime/krn740-data-viewer.socket"_s);
        QFile::remove(socket); // a killed viewer's
        QProcess viewer;
        viewer.setProcessEnvironment(env);
        viewer.start(QStringLiteral(VIEWER_PROGRAM), QStringList());
        QVERIFY(viewer.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket), 30000);

        QProcess later;
        later.setProcessEnvironment(env);
        later.setWorkingDirectory(m_dir.path());
        later.start(QStringLiteral(VIEWER_PROGRAM), {log});
        const bool ended = later.waitForFinished(60000);
        viewer.kill();
        viewer.waitForFinished();
        QVERIFY(ended);
        QCOMPARE(later.exitCode(), exitCode);
        const QString said = QString::fromUtf8(later.readAllStandardError());
        if (error.isEmpty())
            QCOMPARE(said, QString());
        else
            QCOMPARE(said, u"krn740-viewer: the viewer that runs did not open %1: %2\n"_s.arg(path(log), error));
    }

    // Each type opens as what it is, at the size asked for.
    void exportWritesEachType_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("PNG") << u"trend.png"_s;
        QTest::newRow("JPEG") << u"trend.jpg"_s;
        QTest::newRow("SVG") << u"trend.svg"_s;
        QTest::newRow("PDF") << u"trend.pdf"_s;
    }

    void exportWritesEachType()
    {
        QFETCH(QString, name);
        const Run result = run({u"--export"_s, name, u"--size"_s, u"640x360"_s, u"run.csv"_s});
        QCOMPARE(result.exitCode, 0);
        const QString file = path(name);
        if (name.endsWith(u".svg"_s)) {
            QSvgRenderer svg(file);
            QVERIFY(svg.isValid());
            QCOMPARE(svg.viewBox().size(), QSize(640, 360));
        } else if (name.endsWith(u".pdf"_s)) {
            QFile pdf(file);
            QVERIFY(pdf.open(QIODevice::ReadOnly));
            QVERIFY(pdf.read(5) == "%PDF-");
            QCOMPARE(PdfText::info(file, u"Pages"_s), u"1"_s);
            QVERIFY(PdfText::pages(file).value(0).contains(u"Time"_s)); // the axis title, as text
        } else {
            QImageReader reader(file);
            reader.setDecideFormatFromContent(true);
            QCOMPARE(reader.format(), name.endsWith(u".png"_s) ? QByteArray("png") : QByteArray("jpeg"));
            QCOMPARE(reader.read().size(), QSize(640, 360));
        }
    }
};

VIEWER_TEST(CommandLineTest)
#include "tst_commandline.moc"
