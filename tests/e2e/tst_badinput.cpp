#include "support/scripteddialogs.h"
#include "support/scriptedui.h"
#include "support/startup.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "controls/gridcontrol.h"
#include "controls/gridmodel.h"
#include "controls/plotcontrol.h"
#include "core/trendreader.h"
#include "logview/datafilewindow.h"
#include "shell/mainframe.h"
#include "shell/settingsstore.h"
#include "core/logdocument.h"
#include "shell/openlog.h"
#include "trend/trendbuilder.h"
#include "trend/trendwindow.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTableView>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

const QString PlotError = u"Lumet data viewer encountered errors while plotting the data file!\r\n"
                          "Please check to make sure the file was created with Lumet software."_s;

// The run's error: its two lines, then the line naming the cell that stopped it.
bool isPlotError(const QStringList &texts, const QString &cell = QString())
{
    return texts.size() == 1 && texts.constFirst().startsWith(PlotError + u"\r\nLine "_s)
           && texts.constFirst().contains(cell);
}

QString reportOf(int number, const QString &description)
{
    return u"Error %1 = %2 in function getHistFile occurred.\r\nPlease contact Halvard with this error."_s.arg(number).arg(
        description);
}

QByteArray digest(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

QString corpus(const QString &name)
{
    return QStringLiteral(VIEWER_SOURCE_DIR "/tests/data/badinput/") + name;
}

GridControl &grid() { return *frmHistory().dataGrid(); }

void open(const QString &path)
{
    TestEnv::dialogs().files.append(path);
    frmHistory().getHistFile();
    // Paint the loaded grid, as the user sees it.
    grid().view()->viewport()->repaint();
}

// Plots every value column as whole columns; true when a trend came out.
bool plotAll()
{
    if (grid().colCount() < 2)
        return false;
    grid().setSelectionBlocks({GridBlock{2, -1, grid().colCount(), -1}});
    frmHistory().toolbarButtonClick(2);
    return loadedTrendWindow() && loadedTrendWindow()->isVisible();
}

} // namespace

// Files a logger, a disk or a user can hand the viewer. Each states its outcome:
// it loads (and plots, or says why not), or the load is reported and the window
// left empty. Nothing crashes and no log file is ever written.
class BadInputTest : public QObject
{
    Q_OBJECT

    QString m_copyDir;

    // A copy of a corpus file in the test's own folder, so that a write would show.
    QString copyOf(const QString &name)
    {
        const QString target = m_copyDir + u'/' + name;
        QFile::remove(target);
        if (!QFile::copy(corpus(name), target))
            qFatal("cannot copy %s", qPrintable(name));
        return target;
    }

private slots:
    void init()
    {
        TestEnv::reset();
        m_copyDir = TestEnv::tempDir() + u"/badinput"_s;
        QDir().mkpath(m_copyDir);
        TestStartup::run();
    }

    void corpusFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("rows");         // -1: the load is reported, the window left empty
        QTest::addColumn<int>("columns");
        QTest::addColumn<bool>("plots");       // when it has rows: all value columns plot
        QTest::addColumn<QString>("outcome");  // the report of a refusal, or what the status text adds
        QTest::newRow("empty") << u"empty.csv"_s << -1 << 0 << false << reportOf(31001, u"The file is empty."_s);
        QTest::newRow("NUL bytes") << u"nul_bytes.csv"_s << -1 << 0 << false
                                   << reportOf(31002, u"The file is not a text log: it holds NUL bytes near the start."_s);
        QTest::newRow("header only") << u"header_only.csv"_s << 0 << 3 << false << u" (no rows yet)"_s;
        QTest::newRow("CR-only line ends") << u"cr_only.csv"_s << 4 << 2 << true << QString();
        QTest::newRow("LF header, CR rows") << u"lf_header_cr_rows.csv"_s << 4 << 2 << true << QString();
        QTest::newRow("quoted fields") << u"quoted.csv"_s << 5 << 3 << true << QString();
        QTest::newRow("quote never closed") << u"unclosed_quote.csv"_s << 6 << 2 << false
                                            << u" (a quoted field at line 6 has no closing quote)"_s;
        QTest::newRow("UTF-16 with byte order mark") << u"utf16_bom.csv"_s << 5 << 3 << true << QString();
        QTest::newRow("separators at every line end") << u"trailing_separators.csv"_s << 5 << 3 << true << QString();
        QTest::newRow("invalid UTF-8 reads as Latin-1") << u"invalid_utf8.csv"_s << 5 << 3 << true << QString();
        QTest::newRow("duplicate and empty names") << u"duplicate_empty_names.csv"_s << 5 << 6 << true << QString();
        QTest::newRow("dates before 1900 and in 9999") << u"dates_far_apart.csv"_s << 6 << 2 << true << QString();
        QTest::newRow("a time past 23:59:59") << u"time_past_midnight.csv"_s << 5 << 2 << false << QString();
        QTest::newRow("1e308, -0, NaN and 1,5") << u"odd_numbers.csv"_s << 5 << 6 << false << QString();
    }

    void corpusFiles()
    {
        QFETCH(QString, file);
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(bool, plots);
        QFETCH(QString, outcome);
        const QString path = copyOf(file);
        const QByteArray before = digest(path);
        open(path);
        if (rows < 0) {
            QCOMPARE(TestEnv::ui().texts(), QStringList{outcome});
            QVERIFY(logDocument().path().isEmpty());
            QVERIFY(frmHistory().statusPanelText().isEmpty());
        } else {
            QVERIFY2(TestEnv::ui().messages.isEmpty(), qPrintable(TestEnv::ui().texts().join(u'|')));
            QCOMPARE(frmHistory().statusPanelText(), u"Current File is "_s + path + outcome);
            QCOMPARE(grid().rowCount(), rows);
            QCOMPARE(grid().colCount(), columns);
            if (rows > 0) {
                QCOMPARE(plotAll(), plots);
                if (!plots)
                    QVERIFY2(isPlotError(TestEnv::ui().texts()), qPrintable(TestEnv::ui().texts().join(u'|')));
            }
        }
        QCOMPARE(digest(path), before);
        QVERIFY(!logDocument().isPlotting());
    }

    void quotedAndUtf16CellsAsTheUserSeesThem()
    {
        open(copyOf(u"quoted.csv"_s));
        QCOMPARE(grid().cellText(2, 0), u"Flow, l/s"_s);
        QCOMPARE(grid().cellText(3, 0), u"Level\r\nin m"_s);
        QCOMPARE(grid().model()->data(grid().model()->index(4, 1)).toString(), u"4.5"_s);
        QVERIFY(plotAll());
        QCOMPARE(frmHistoryPlot().trendPlot().Channel(0).TitleText(), u"Flow, l/s"_s);
        open(copyOf(u"utf16_bom.csv"_s));
        QCOMPARE(grid().cellText(2, 0), u"Temp \u00b0C"_s);
        QCOMPARE(grid().cellText(3, 5), u"8"_s);
    }

    void latin1NamesBecomeTraceTitles()
    {
        open(copyOf(u"invalid_utf8.csv"_s));
        QCOMPARE(grid().cellText(2, 0), u"Temp\u00e9rature"_s);
        QVERIFY(plotAll());
        QCOMPARE(frmHistoryPlot().trendPlot().Channel(1).TitleText(), u"Pr\u00fcfung"_s);
    }

    void valuesAtTheEdgesOfTheNumbers()
    {
        // Each column of the odd numbers on its own: what plots and what does not.
        // From -1e308 to 1e308 is further than a real can reach: no axis can show it.
        open(copyOf(u"odd_numbers.csv"_s));
        // NaN marks a missing sample: a column of nothing else has no value to plot.
        const struct
        {
            int column;
            bool plots;
        } cases[] = {{2, false}, {3, true}, {4, false}, {5, true}, {6, true}};
        for (const auto &c : cases) {
            TestEnv::ui().messages.clear();
            grid().setSelectionBlocks({GridBlock{c.column, -1, c.column, -1}});
            frmHistory().toolbarButtonClick(2);
            const bool plotted = loadedTrendWindow() && loadedTrendWindow()->isVisible();
            QVERIFY2(plotted == c.plots, qPrintable(QString::number(c.column)));
            if (plotted) {
                QVERIFY(std::isfinite(frmHistoryPlot().historyYspan()));
                QVERIFY(frmHistoryPlot().historyYspan() > 0);
                frmHistoryPlot().trendPlot().grab(); // it draws
            } else if (c.column == 4) {
                QCOMPARE(TestEnv::ui().texts(), QStringList{trendreader::noValueText()});
            } else {
                QVERIFY(isPlotError(TestEnv::ui().texts(), u"is too large to plot."_s));
            }
        }
    }

    void aTenMegabyteLine()
    {
        QByteArray log = "Date,Time,A,B\r\n";
        for (int r = 0; r < 4; ++r)
            log += "1/2/2024,1:00:0" + QByteArray::number(r) + " AM,1," + QByteArray::number(r) + "\r\n";
        log += "1/2/2024,1:00:05 AM," + QByteArray(10 * 1024 * 1024, '7') + ",5\r\n";
        log += "1/2/2024,1:00:06 AM,2,6\r\n";
        const QString path = m_copyDir + u"/long_line.csv"_s;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(log);
        file.close();
        open(path);
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QCOMPARE(grid().rowCount(), 6);
        QCOMPARE(grid().cellText(2, 5).size(), 10 * 1024 * 1024);
        grid().view()->scrollToBottom();
        grid().view()->viewport()->repaint();
        // Ten million sevens are a number, too large for the axis: the run says so.
        QVERIFY(!plotAll());
        QVERIFY(isPlotError(TestEnv::ui().texts(), u"Line 6, column \"A\": \"7777777777"_s));
        QVERIFY(TestEnv::ui().texts().constFirst().endsWith(u"\" is too large to plot."_s));
        QVERIFY(TestEnv::ui().texts().constFirst().size() < 400);
        grid().setSelectionBlocks({GridBlock{3, -1, 3, -1}});
        TestEnv::ui().messages.clear();
        frmHistory().toolbarButtonClick(2);
        QVERIFY(loadedTrendWindow() && loadedTrendWindow()->isVisible());
    }

    void fiveThousandColumns()
    {
        QByteArray log = "Date,Time";
        for (int c = 0; c < 5000; ++c)
            log += ",V" + QByteArray::number(c);
        log += "\r\n";
        for (int r = 0; r < 5; ++r) {
            log += "1/2/2024,1:00:0" + QByteArray::number(r) + " AM";
            for (int c = 0; c < 5000; ++c)
                log += ',' + QByteArray::number(c % 97);
            log += "\r\n";
        }
        const QString path = m_copyDir + u"/wide.csv"_s;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(log);
        file.close();
        open(path);
        QVERIFY(TestEnv::ui().messages.isEmpty());
        QCOMPARE(grid().colCount(), 5001);
        grid().view()->scrollTo(grid().model()->index(4, 5000));
        grid().view()->viewport()->repaint();
        QCOMPARE(grid().cellText(5001, 5), u"52"_s); // 4999 % 97
        grid().setSelectionBlocks({GridBlock{4900, -1, 5001, -1}});
        frmHistory().toolbarButtonClick(2);
        QCOMPARE(frmHistoryPlot().trendPlot().ChannelCount(), 102);
    }

    void anImageRenamedToALog()
    {
        QImage picture(64, 64, QImage::Format_RGB32);
        picture.fill(Qt::red);
        const QString path = m_copyDir + u"/picture.csv"_s;
        QVERIFY(picture.save(path, "PNG"));
        const QByteArray before = digest(path);
        open(path);
        QCOMPARE(TestEnv::ui().texts(),
                 QStringList{reportOf(31002, u"The file is not a text log: it holds NUL bytes near the start."_s)});
        QVERIFY(logDocument().path().isEmpty());
        QCOMPARE(digest(path), before);
    }

    void fileDeletedBetweenTheDialogAndTheLoad()
    {
        const QString path = copyOf(u"invalid_utf8.csv"_s);
        QVERIFY(QFile::remove(path));
        open(path);
        QCOMPARE(TestEnv::ui().texts(), QStringList{reportOf(53, u"File not found"_s)});
        QVERIFY(logDocument().path().isEmpty());
    }

    void fileTruncatedAfterTheLoad()
    {
        const QString path = copyOf(u"dates_far_apart.csv"_s);
        open(path);
        QFile file(path);
        QVERIFY(file.resize(10)); // another program cuts the log short
        QCOMPARE(grid().rowCount(), 6);
        QCOMPARE(grid().cellText(0, 6), u"1/1/2024"_s);
        QVERIFY(plotAll());
        QCOMPARE(QFileInfo(path).size(), 10);
    }

    void settingsThatAreNoIniFile()
    {
        // Start again over a settings file full of binary junk.
        TestEnv::reset();
        QFile junk(TestEnv::settingsFile());
        QVERIFY(junk.open(QIODevice::WriteOnly));
        for (int i = 0; i < 4096; ++i)
            junk.putChar(char((i * 131) & 0xFF));
        junk.close();
        TestStartup::run();
        QVERIFY(loadedHistory() && frmHistory().isVisible());
        QVERIFY(TestEnv::ui().messages.isEmpty());
        open(copyOf(u"dates_far_apart.csv"_s));
        QVERIFY(plotAll());
    }

    void settingsValuesThatAreNoNumbers()
    {
        TestEnv::reset();
        for (const QString &section : {u"Settings"_s, u"History\\chartNest"_s, u"History\\HistPlot"_s})
            for (const QString &key : {u"MainLeft"_s, u"MainTop"_s, u"MainWidth"_s, u"MainHeight"_s})
                SettingsStore::writeText(section, key, u"twelve"_s);
        TestStartup::run();
        // The data file window reports each key it could not use; the frame and the
        // trend window fall back to their defaults.
        QCOMPARE(TestEnv::ui().messages.size(), 4);
        for (const QString &text : TestEnv::ui().texts())
            QVERIFY(text.startsWith(u"Error 13 = Type mismatch in function splashScreenTimer1"_s));
        TestEnv::ui().messages.clear();
        open(copyOf(u"dates_far_apart.csv"_s));
        QVERIFY(plotAll());
        QVERIFY(TestEnv::ui().messages.isEmpty());
    }

    void settingsThatCannotBeWritten()
    {
        // A folder where the settings file should be: every write fails.
        QVERIFY(QDir().mkpath(TestEnv::settingsFile()));
        open(copyOf(u"dates_far_apart.csv"_s));
        QVERIFY(plotAll());
        TestEnv::ui().answers = {MsgResult::Yes};
        QVERIFY(mainFrame().close());
        QCOMPARE(TestEnv::ui().endCount, 1);
        QCOMPARE(TestEnv::ui().texts(), QStringList{u"Exit - are you sure?"_s});
        QVERIFY(QDir().rmdir(TestEnv::settingsFile()));
    }
};

VIEWER_TEST(BadInputTest)
#include "tst_badinput.moc"
