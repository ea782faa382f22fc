#include "support/logfixture.h"
#include "support/scriptedui.h"
#include "support/startup.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "core/logdocument.h"
#include "core/runtimeerror.h"
#include "shell/mainframe.h"
#include "shell/openlog.h"
#include "shell/settingsstore.h"
#include "shell/uiservices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <QTest>

#include <sys/inotify.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using Edge = PlacementSetting::Edge;

namespace {
// Counts, from its making on, how often the settings file is opened only to be
// read and how often a new file takes its place (or it is written in place).
class FileWatch
{
public:
    explicit FileWatch(const QString &path)
        : m_name(QFile::encodeName(QFileInfo(path).fileName()))
        , m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        ::inotify_add_watch(m_fd, QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                            IN_CLOSE_NOWRITE | IN_CLOSE_WRITE | IN_MOVED_TO);
    }
    ~FileWatch() { ::close(m_fd); }

    int reads() { return take(), m_reads; }
    int writes() { return take(), m_writes; }

private:
    void take()
    {
        alignas(inotify_event) char buffer[16384];
        ssize_t got = 0;
        while ((got = ::read(m_fd, buffer, sizeof buffer)) > 0) {
            for (qsizetype at = 0; at < got;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                if (event->len > 0 && m_name == event->name) {
                    m_reads += (event->mask & IN_CLOSE_NOWRITE) ? 1 : 0;
                    m_writes += (event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) ? 1 : 0;
                }
                at += qsizetype(sizeof(inotify_event) + event->len);
            }
        }
    }

    QByteArray m_name;
    int m_fd;
    int m_reads = 0;
    int m_writes = 0;
};

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
} // namespace

class SettingsStoreTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void numberTexts_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("en whole") << u"en_US"_s << 6765.0f << u"6765"_s;
        QTest::newRow("en fraction") << u"en_US"_s << -112.5f << u"-112.5"_s;
        QTest::newRow("en no grouping") << u"en_US"_s << 1234567.0f << u"1234567"_s;
        QTest::newRow("de fraction") << u"de_DE"_s << 2077.5f << u"2077,5"_s;
        QTest::newRow("de single precision") << u"de_DE"_s << 0.1f << u"0,1"_s;
        QTest::newRow("more than seven digits kept") << u"en_US"_s << 1.1111111e19f << u"1.11111115E+19"_s;
    }

    void numberTexts()
    {
        QFETCH(QString, locale);
        QFETCH(float, value);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(SettingsStore::singleToText(value), text);
        QCOMPARE(SettingsStore::textToSingle(text), value);
    }

    void textThatIsNoNumberIsTypeMismatch_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("letters") << u"abc"_s;
        QTest::newRow("empty") << QString();
        QTest::newRow("number with junk") << u"12px"_s;
    }

    void textThatIsNoNumberIsTypeMismatch()
    {
        QFETCH(QString, text);
        try {
            SettingsStore::textToSingle(text);
            QFAIL("no error");
        } catch (const RuntimeError &e) {
            QCOMPARE(e.number(), 13);
            QCOMPARE(e.description(), u"Type mismatch"_s);
        }
    }

    void sectionWithBackslashIsANestedGroup()
    {
        DataFilePlacement.write(Edge::Left, 120.5f);
        QCOMPARE(DataFilePlacement.read(Edge::Left), 120.5f);
        QFile file(TestEnv::settingsFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString ini = QString::fromUtf8(file.readAll());
        QVERIFY2(ini.contains(u"[History]"_s), qPrintable(ini));
        QVERIFY2(!ini.contains(u"%5C"_s), qPrintable(ini));
        QVERIFY(TestEnv::settingsFile().endsWith(u"Quandel KRN-740 Data Viewer.ini"_s));
    }

    void missingKeysGiveTheirDefaults_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<int>("edge");
        QTest::addColumn<QSizeF>("client");
        QTest::addColumn<float>("value");
        QTest::newRow("main left") << 0 << int(Edge::Left) << QSizeF() << 1000.0f;
        QTest::newRow("main height") << 0 << int(Edge::Height) << QSizeF() << 6500.0f;
        QTest::newRow("data left centred") << 1 << int(Edge::Left) << QSizeF(9000, 7000) << 1117.5f;
        QTest::newRow("data top centred") << 1 << int(Edge::Top) << QSizeF(9000, 7000) << 852.5f;
        QTest::newRow("data left negative") << 1 << int(Edge::Left) << QSizeF(5000, 4000) << -882.5f;
        QTest::newRow("data width") << 1 << int(Edge::Width) << QSizeF(5000, 4000) << 6765.0f;
        QTest::newRow("trend top centred") << 2 << int(Edge::Top) << QSizeF(9000, 7000) << 972.5f;
        QTest::newRow("trend height") << 2 << int(Edge::Height) << QSizeF(9000, 7000) << 5055.0f;
    }

    void missingKeysGiveTheirDefaults()
    {
        QFETCH(int, which);
        QFETCH(int, edge);
        QFETCH(QSizeF, client);
        QFETCH(float, value);
        const PlacementSetting *settings[] = {&MainFramePlacement, &DataFilePlacement, &TrendPlacement};
        QCOMPARE(settings[which]->read(Edge(edge), client), value);
    }

    void storedTextThatIsNoNumberThrows()
    {
        SettingsStore::writeText(u"History\\HistPlot"_s, u"MainWidth"_s, u"wide"_s);
        QVERIFY_THROWS_EXCEPTION(RuntimeError, TrendPlacement.read(Edge::Width));
    }

    // The file is read once for the run (again only when another program changed
    // it) and written once per change set, and not when nothing changed.
    void fileIsReadOnceAndWrittenOncePerChange_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("reads");
        QTest::addColumn<int>("writes");
        QTest::newRow("start-up") << u"start"_s << 1 << 0;
        QTest::newRow("start-up and exit") << u"exit"_s << 1 << 1;
        QTest::newRow("a placement stored twice") << u"store twice"_s << 1 << 1;
        QTest::newRow("twenty keys in one change set") << u"set"_s << 1 << 1;
        QTest::newRow("two keys outside a set") << u"two"_s << 1 << 2;
        QTest::newRow("a file another program changed") << u"changed"_s << 2 << 0;
    }

    void fileIsReadOnceAndWrittenOncePerChange()
    {
        QFETCH(QString, action);
        QFETCH(int, reads);
        QFETCH(int, writes);
        QVERIFY(writeFile(TestEnv::settingsFile(), "[Settings]\nMainLeft=1500\n"));
        FileWatch watch(TestEnv::settingsFile());
        if (action == u"start"_s || action == u"exit"_s || action == u"store twice"_s)
            TestStartup::run();
        if (action == u"exit"_s) {
            TestEnv::ui().answers = {MsgResult::Yes};
            QVERIFY(mainFrame().close());
        } else if (action == u"store twice"_s) {
            MainFramePlacement.store(mainFrame());
            MainFramePlacement.store(mainFrame());
        } else if (action == u"set"_s) {
            SettingsStore::ChangeSet changes;
            for (int i = 0; i < 20; ++i)
                SettingsStore::writeText(u"TrendPens"_s, u"Column%1"_s.arg(i), u"#123456,2,left"_s);
        } else if (action == u"two"_s) {
            SettingsStore::writeText(u"Settings"_s, u"MainTop"_s, u"1"_s);
            SettingsStore::writeText(u"Settings"_s, u"MainTop"_s, u"2"_s);
        } else if (action == u"changed"_s) {
            QCOMPARE(MainFramePlacement.read(Edge::Left), 1500.0f);
            QVERIFY(writeFile(TestEnv::settingsFile(), "[Settings]\nMainLeft=1700.5\n"));
            QCOMPARE(MainFramePlacement.read(Edge::Left), 1700.5f);
            QCOMPARE(MainFramePlacement.read(Edge::Top), 1000.0f);
            QCOMPARE(watch.writes(), 1); // the other program's
            QCOMPARE(watch.reads(), reads);
            return;
        }
        QCOMPARE(watch.reads(), reads);
        QCOMPARE(watch.writes(), writes);
    }

    // What the store writes, Qt's INI reader reads as written, and the other way
    // round: a settings file of an earlier version keeps every value.
    void fileStaysQtsIni_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("a number") << u"Settings"_s << u"MainLeft"_s << u"1000"_s;
        QTest::newRow("a decimal comma") << u"History\\chartNest"_s << u"MainLeft"_s << u"2077,5"_s;
        QTest::newRow("a path with ; = [ and more") << u"Recent"_s << u"File1"_s
                                                    << u"/home/anna/Logs/\u00DCber 1;2 = [x].csv"_s;
        QTest::newRow("blanks at both ends") << u"Recent"_s << u"File2"_s << u"  padded  "_s;
        QTest::newRow("quotes and backslashes") << u"Recent"_s << u"File3"_s << u"C:\\Logs\\\"new\"\\run.csv"_s;
        QTest::newRow("line breaks, a tab, a control") << u"TrendSetup"_s << u"LabelFormat"_s << u"a\nb\tc\r\u0001d"_s;
        QTest::newRow("a leading @") << u"TrendSetup"_s << u"LabelFormat"_s << u"@home"_s;
        QTest::newRow("outside the first plane") << u"TrendSetup"_s << u"LabelFormat"_s << u"\U0001F600 d"_s;
        QTest::newRow("a heading as key") << u"TrendPens"_s << u"Temp%20(%C2%B0C)"_s << u"#123456,2,left"_s;
        QTest::newRow("empty") << u"Recent"_s << u"File4"_s << QString();
    }

    void fileStaysQtsIni()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        const QString qtKey = QString(section).replace(u'\\', u'/') + u'/' + key;
        {
            QSettings qt(TestEnv::settingsFile(), QSettings::IniFormat);
            qt.setValue(qtKey, value);
        }
        QCOMPARE(SettingsStore::readText(section, key, u"(missing)"_s), value);
        TestEnv::clearSettings();
        SettingsStore::writeText(section, key, value);
        QSettings qt(TestEnv::settingsFile(), QSettings::IniFormat);
        QCOMPARE(qt.value(qtKey, u"(missing)"_s).toString(), value);
    }

    // A file written on another system reads the same, whatever its line ends.
    void lineEndsOfAnySystemRead_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("LF") << QByteArray("[Settings]\nMainLeft=2\nMainTop=3\n");
        QTest::newRow("CR LF") << QByteArray("[Settings]\r\nMainLeft=2\r\nMainTop=3\r\n");
        QTest::newRow("CR LF, the last line without one") << QByteArray("[Settings]\r\nMainLeft=2\r\nMainTop=3");
    }

    void lineEndsOfAnySystemRead()
    {
        QFETCH(QByteArray, file);
        QVERIFY(writeFile(TestEnv::settingsFile(), file));
        QCOMPARE(SettingsStore::readText(u"Settings"_s, u"MainLeft"_s, {}), u"2"_s);
        QCOMPARE(MainFramePlacement.read(Edge::Top), 3.0f);
    }

    // A write rewrites its own section; every other byte of the file, comments and
    // sections the program does not know included, stays as it was.
    void otherSectionsKeepTheirBytes()
    {
        const QByteArray head = "; written by hand\r\n[Unknown]\r\n  odd = \"spaced\" ; note\r\nnot a key line\r\n\r\n";
        const QByteArray tail = "\n[TrendPens]\nA=#010203,1,left\n[Recent]\nFile1=/x.csv";
        QVERIFY(writeFile(TestEnv::settingsFile(), head + "[Settings]\nMainLeft=1\n" + tail));
        MainFramePlacement.write(Edge::Left, 2);
        QFile file(TestEnv::settingsFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        QVERIFY2(written.startsWith(head + "[Settings]\nMainLeft=2\n"), written.constData());
        QVERIFY2(written.endsWith(tail), written.constData());
        QCOMPARE(SettingsStore::readText(u"Unknown"_s, u"odd"_s, {}), u"spaced"_s);
    }

    void unwritableStoreRaises()
    {
        // A folder where the file should be cannot be written, whoever runs the test.
        QVERIFY(QDir().mkpath(TestEnv::settingsFile()));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, MainFramePlacement.write(Edge::Left, 1.0f));
        QVERIFY(QDir().rmdir(TestEnv::settingsFile()));
    }

    // [OpenAs]: a choice written is read back when its log opens next; the ninth
    // pushes out the oldest; a pair whose shape does not read is passed over.
    void openAsChoicesAreKept_data()
    {
        QTest::addColumn<QByteArray>("stored"); // the settings file before; %T the test folder
        QTest::addColumn<int>("added");         // choices added after: /logs/1.csv ... with heading line N
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("expected");  // the shape found; empty: none
        const QString heading = u"separator=comma decimal=point heading=%1 time=none order=notasked"_s;
        QTest::newRow("written and read back") << QByteArray() << 1 << u"/logs/1.csv"_s << heading.arg(1);
        QTest::newRow("the ninth pushes out the oldest") << QByteArray() << 9 << u"/logs/1.csv"_s << QString();
        QTest::newRow("the eighth newest stays") << QByteArray() << 9 << u"/logs/2.csv"_s << heading.arg(2);
        QTest::newRow("a broken shape is passed over")
            << QByteArray("[OpenAs]\nFile1=/logs/x.csv\nShape1=separator=comma heading=0\nFile2=/logs/y.csv\n"
                          "Shape2=separator=tab decimal=comma heading=0 time=none order=dayfirst\n")
            << 0 << u"/logs/x.csv"_s << QString();
        QTest::newRow("the log opened reads its kept shape")
            << QByteArray("[OpenAs]\nFile1=%T/kept.csv\nShape1=separator=semicolon decimal=comma heading=0 time=none order=dayfirst\n")
            << 0 << u"%T/kept.csv"_s << u"separator=semicolon decimal=comma heading=0 time=none order=dayfirst"_s;
    }

    void openAsChoicesAreKept()
    {
        QFETCH(QByteArray, stored);
        QFETCH(int, added);
        QFETCH(QString, asked);
        QFETCH(QString, expected);
        const QString folder = TestEnv::tempDir();
        QVERIFY(writeFile(TestEnv::settingsFile(), QByteArray(stored).replace("%T", QFile::encodeName(folder))));
        asked.replace(u"%T"_s, folder);
        for (int i = 1; i <= added; ++i)
            OpenAsChoices::add(u"/logs/%1.csv"_s.arg(i), *logshape::Shape::fromText(
                                   u"separator=comma decimal=point heading=%1 time=none order=notasked"_s.arg(i)));
        if (asked.startsWith(folder)) {
            // Opened as a user opens it: the data file window reads the kept shape.
            LogFixture::open(LogFixture::minutes(5, 2), QFileInfo(asked).fileName());
            QCOMPARE(logDocument().shapeChoice(asked)->toText(), expected);
            QCOMPARE(logDocument().shape().separator, ';');
            return;
        }
        const std::optional<logshape::Shape> found = OpenAsChoices::find(asked);
        QCOMPARE(found ? found->toText() : QString(), expected);
    }
};

VIEWER_TEST(SettingsStoreTest)
#include "tst_settingsstore.moc"
