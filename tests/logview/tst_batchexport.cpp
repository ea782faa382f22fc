#include "support/logfixture.h"
#include "support/testenv.h"
#include "support/testregistry.h"

#include "logview/batchexport.h"

#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Counts the widgets made while it watches: every widget is told of its
// creation before anything else.
class WidgetCounter : public QObject
{
public:
    int made = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Create && watched->isWidgetType())
            ++made;
        return false;
    }
};

} // namespace

// --export in the program's own process: it needs no widget, so it can run where
// no display and no window can be.
class BatchExportTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { TestEnv::reset(); }

    void exportMakesNoWidget_data()
    {
        QTest::addColumn<QByteArray>("log");
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("message"); // %L is the log's path
        QTest::newRow("a PNG written") << LogFixture::minutes(30, 3) << u"trend.png"_s << QString();
        QTest::newRow("an SVG written") << LogFixture::minutes(30, 1) << u"trend.svg"_s << QString();
        QTest::newRow("a cell that is no number")
            << QByteArray("Date,Time,A\r\n1/2/2024,1:00,5\r\n1/2/2024,1:01,5x\r\n1/2/2024,1:02,5\r\n1/2/2024,1:03,5\r\n")
            << u"trend.png"_s << u"\"%L\": Line 3, column \"A\": \"5x\" is not a number."_s;
    }

    void exportMakesNoWidget()
    {
        QFETCH(QByteArray, log);
        QFETCH(QString, image);
        QFETCH(QString, message);
        const QString path = LogFixture::write(log);
        batchexport::Request request;
        request.logFile = path;
        request.outFile = TestEnv::tempDir() + u'/' + image;
        QFile::remove(request.outFile);
        WidgetCounter counter;
        qApp->installEventFilter(&counter);

        const QString why = batchexport::run(request);

        qApp->removeEventFilter(&counter);
        QCOMPARE(counter.made, 0);
        QCOMPARE(why, QString(message).replace(u"%L"_s, path));
        QCOMPARE(QFileInfo(request.outFile).size() > 0, message.isEmpty());
    }
};

VIEWER_TEST(BatchExportTest)
#include "tst_batchexport.moc"
