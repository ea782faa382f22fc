#include "support/testregistry.h"

#include "controls/gridmodel.h"
#include "core/runtimeerror.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QLocale>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {
const QByteArray Log("Date,Time,Flow,Level\r\n"
                     "1/2/2024,1:00:00 AM,1.5,x\r\n"
                     "1/3/2024,1:00:01 AM,,21\r\n"
                     "1/4/2024,1:00:02 AM,3,22\r\n");

bool loadInto(GridModel &model, const QTemporaryDir &dir, const QByteArray &bytes)
{
    const QString path = dir.filePath(u"log.csv"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    try {
        model.load(path, ',', LogTable::HeaderRow | LogTable::HeaderColumn);
    } catch (const RuntimeError &) {
        return false;
    }
    return true;
}
} // namespace

class GridModelTest : public QObject
{
    Q_OBJECT

private slots:
    void passesTheModelTesterThroughEveryChange()
    {
        QTemporaryDir dir;
        GridModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QVERIFY(loadInto(model, dir, Log));
        model.setGridRowCount(2);
        model.setGridRowCount(5);
        model.setGridColCount(1);
        model.setGridColCount(4);
        model.setText(1, 1, u"changed"_s);
        model.setText(0, 0, u"Day"_s);
        model.clearRange(0, 0, 4, 5);
        QVERIFY(!loadInto(model, dir, QByteArray("\0\0binary", 8)));
        QVERIFY(loadInto(model, dir, Log));
    }

    void headersAndCells()
    {
        QTemporaryDir dir;
        GridModel model;
        QVERIFY(loadInto(model, dir, Log));
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(model.columnCount(), 3);
        QCOMPARE(model.cornerCaption(), u"Date"_s);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), u"Time"_s);
        QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), u"Level"_s);
        QCOMPARE(model.headerData(0, Qt::Vertical).toString(), u"1/2/2024"_s);
        QCOMPARE(model.headerData(2, Qt::Vertical).toString(), u"1/4/2024"_s);
        QCOMPARE(model.data(model.index(0, 0)).toString(), u"1:00:00 AM"_s);
        QCOMPARE(model.data(model.index(0, 1)).toString(), u"1.5"_s);
        QCOMPARE(model.data(model.index(1, 1)).toString(), QString());
        QVERIFY(!model.headerData(3, Qt::Vertical).isValid());
    }

    void aVeryLongCellShowsItsStartOnly()
    {
        QTemporaryDir dir;
        GridModel model;
        const QByteArray longValue(5000, '7');
        QVERIFY(loadInto(model, dir, "Date,Time," + QByteArray(3000, 'N') + "\r\n1/2/2024,1:00," + longValue + "\r\n"));
        const QString shown = model.data(model.index(0, 1)).toString();
        QCOMPARE(shown.size(), GridModel::MaxShownLength + 1);
        QVERIFY(shown.endsWith(u'\u2026'));
        QCOMPARE(model.headerData(1, Qt::Horizontal).toString().size(), GridModel::MaxShownLength + 1);
        QCOMPARE(model.table().text(2, 1).size(), 5000); // the cell itself keeps it all
    }

    void numbersAlignRight_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("horizontal");
        QTest::newRow("number") << 0 << 1 << int(Qt::AlignRight);
        QTest::newRow("text") << 0 << 2 << int(Qt::AlignLeft);
        QTest::newRow("time") << 0 << 0 << int(Qt::AlignLeft);
        QTest::newRow("empty") << 1 << 1 << int(Qt::AlignLeft);
    }

    void numbersAlignRight()
    {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(int, horizontal);
        QTemporaryDir dir;
        GridModel model;
        QVERIFY(loadInto(model, dir, Log));
        const auto alignment = model.data(model.index(row, column), Qt::TextAlignmentRole).value<Qt::Alignment>();
        QCOMPARE(int(alignment & Qt::AlignHorizontal_Mask), horizontal);
    }

    // A value lines up as a number whichever decimal mark it was logged with, and
    // whatever the user's locale makes of either mark.
    void decimalMarkDoesNotChangeTheAlignment_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("cell");
        QTest::addColumn<int>("horizontal");
        const QLocale german(QLocale::German, QLocale::Germany);
        const QLocale american(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("comma, German desktop") << german << u"20,25"_s << int(Qt::AlignRight);
        QTest::newRow("point, German desktop") << german << u"20.10"_s << int(Qt::AlignRight);
        QTest::newRow("comma, American desktop") << american << u"20,25"_s << int(Qt::AlignRight);
        QTest::newRow("negative comma, C locale") << QLocale::c() << u"-0,5"_s << int(Qt::AlignRight);
        QTest::newRow("both marks are text, German desktop") << german << u"1.234,5"_s << int(Qt::AlignLeft);
        QTest::newRow("both marks are text, American desktop") << american << u"1,234.5"_s << int(Qt::AlignLeft);
        QTest::newRow("two commas are text") << german << u"20,25,3"_s << int(Qt::AlignLeft);
        QTest::newRow("a comma between words is text") << german << u"on,off"_s << int(Qt::AlignLeft);
    }

    void decimalMarkDoesNotChangeTheAlignment()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, cell);
        QFETCH(int, horizontal);
        QLocale::setDefault(locale);
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); });
        QTemporaryDir dir;
        GridModel model;
        QVERIFY(loadInto(model, dir, "Date,Time,Value\r\n1/2/2024,1:00:00 AM,\"" + cell.toUtf8() + "\"\r\n"));
        QCOMPARE(model.data(model.index(0, 1)).toString(), cell);
        const auto alignment = model.data(model.index(0, 1), Qt::TextAlignmentRole).value<Qt::Alignment>();
        QCOMPARE(int(alignment & Qt::AlignHorizontal_Mask), horizontal);
    }

    void nothingIsEditable()
    {
        QTemporaryDir dir;
        GridModel model;
        QVERIFY(loadInto(model, dir, Log));
        for (int row = 0; row < model.rowCount(); ++row) {
            for (int col = 0; col < model.columnCount(); ++col)
                QVERIFY(!(model.flags(model.index(row, col)) & Qt::ItemIsEditable));
        }
        QVERIFY(!model.setData(model.index(0, 0), u"x"_s));
    }

    void writesTellTheViews_data()
    {
        QTest::addColumn<int>("col");
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("cellSignals");
        QTest::addColumn<int>("horizontalHeaderSignals");
        QTest::addColumn<int>("verticalHeaderSignals");
        QTest::addColumn<int>("cornerSignals");
        QTest::newRow("cell") << 2 << 2 << 1 << 0 << 0 << 0;
        QTest::newRow("column caption") << 2 << 0 << 0 << 1 << 0 << 0;
        QTest::newRow("date") << 0 << 3 << 0 << 0 << 1 << 0;
        QTest::newRow("corner") << 0 << 0 << 0 << 0 << 0 << 1;
    }

    void writesTellTheViews()
    {
        QFETCH(int, col);
        QFETCH(int, row);
        QTemporaryDir dir;
        GridModel model;
        QVERIFY(loadInto(model, dir, Log));
        QSignalSpy cells(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy headers(&model, &QAbstractItemModel::headerDataChanged);
        QSignalSpy corner(&model, &GridModel::cornerCaptionChanged);
        model.setText(col, row, u"new"_s);
        QTEST(int(cells.size()), "cellSignals");
        int horizontal = 0, vertical = 0;
        for (const QList<QVariant> &args : std::as_const(headers)) {
            if (args.at(0).value<Qt::Orientation>() == Qt::Horizontal) {
                ++horizontal;
                QCOMPARE(args.at(1).toInt(), col - 1);
            } else {
                ++vertical;
                QCOMPARE(args.at(1).toInt(), row - 1);
            }
        }
        QTEST(horizontal, "horizontalHeaderSignals");
        QTEST(vertical, "verticalHeaderSignals");
        QTEST(int(corner.size()), "cornerSignals");
        if (cells.size() == 1)
            QCOMPARE(cells.constFirst().at(0).toModelIndex(), model.index(row - 1, col - 1));
    }

    void failingLoadResetsTheViewsToEmpty()
    {
        QTemporaryDir dir;
        GridModel model;
        QVERIFY(loadInto(model, dir, Log));
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QVERIFY_THROWS_EXCEPTION(RuntimeError, model.load(dir.filePath(u"gone.csv"_s), ',', 3));
        QCOMPARE(reset.size(), 1);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 0);
    }
};

VIEWER_TEST(GridModelTest)
#include "tst_gridmodel.moc"
