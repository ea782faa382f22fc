#include "gridprinter.h"

#include "gridmodel.h"
#include "core/runtimeerror.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

// Page margins in millimetres: left and right, top and bottom.
constexpr double SideMarginMm = 15;
constexpr double EndMarginMm = 12;
constexpr double CellPoints = 9;
constexpr double PageTextPoints = 9;
constexpr double SmallestPageTextPoints = 6;
// Room between the page header or footer and the cells, in millimetres.
constexpr double PageTextGapMm = 4;
const QColor HeaderFill(0xe8, 0xe8, 0xe8);
const QColor GridLine(0x90, 0x90, 0x90);
const QColor HeaderLine(0x40, 0x40, 0x40);

// Sizes of one printout on one printer, in device pixels.
struct Metrics
{
    QFont cellFont;
    QFont captionFont;
    QFont pageFont;
    double resolution = 0;
    double rowHeight = 0;
    double padding = 0;
    double zeroWidth = 0;
    double pageTextHeight = 0;
    double gap = 0;
    QSizeF page;

    double mm(double millimetres) const { return millimetres * resolution / 25.4; }
    double points(double pts) const { return pts * resolution / 72.0; }
    double columnWidth(double chars) const { return chars * zeroWidth + 2 * padding; }
    double gridTop() const { return pageTextHeight + gap; }
    double gridHeight() const { return page.height() - 2 * (pageTextHeight + gap); }
};

Metrics metricsFor(QPrinter &printer, const QFont &base)
{
    Metrics m;
    m.resolution = printer.resolution();
    // Without shaping there are no ligatures: "fi" stays two letters, so that the
    // printed text reads back (searched, copied) as it was written.
    m.cellFont = QFont(base.family());
    m.cellFont.setPointSizeF(CellPoints);
    m.cellFont.setStyleStrategy(QFont::PreferNoShaping);
    m.captionFont = m.cellFont;
    m.captionFont.setBold(true);
    m.pageFont = m.cellFont;
    m.pageFont.setPointSizeF(PageTextPoints);
    const QFontMetricsF cell(m.cellFont, &printer);
    m.rowHeight = std::ceil(cell.height() * 1.45);
    m.padding = std::ceil(cell.horizontalAdvance(u'0') * 0.6);
    m.zeroWidth = cell.horizontalAdvance(u'0');
    m.pageTextHeight = std::ceil(QFontMetricsF(m.pageFont, &printer).height());
    m.gap = std::ceil(m.mm(PageTextGapMm));
    m.page = printer.pageRect(QPrinter::DevicePixel).size();
    return m;
}

// The header or footer line at `top`: the parts at the left, centre and right,
// the font made smaller until they fit side by side.
void drawPageText(QPainter &painter, const Metrics &m, const PageText &text, double top)
{
    QFont font = m.pageFont;
    auto width = [&](const QFont &f) {
        const QFontMetricsF fm(f, painter.device());
        const double space = 2 * fm.averageCharWidth();
        const double left = fm.horizontalAdvance(text.left);
        const double right = fm.horizontalAdvance(text.right);
        if (text.centre.isEmpty())
            return left + right + space;
        // The centred part sits in the middle, so each side has half the rest.
        return fm.horizontalAdvance(text.centre) + 2 * (std::max(left, right) + space);
    };
    while (width(font) > m.page.width() && font.pointSizeF() > SmallestPageTextPoints)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    painter.setFont(font);
    painter.setPen(Qt::black);
    const QFontMetricsF fm(font, painter.device());
    const QRectF line(0, top, m.page.width(), m.pageTextHeight);
    const auto fitted = [&](const QString &s, double room) {
        return fm.horizontalAdvance(s) <= room ? s : fm.elidedText(s, Qt::ElideMiddle, room);
    };
    const double centreWidth = std::min(fm.horizontalAdvance(text.centre), line.width());
    const double sideRoom = text.centre.isEmpty() ? line.width() : (line.width() - centreWidth) / 2;
    if (!text.left.isEmpty())
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter, fitted(text.left, sideRoom));
    if (!text.centre.isEmpty())
        painter.drawText(line, Qt::AlignHCenter | Qt::AlignVCenter, fitted(text.centre, line.width()));
    if (!text.right.isEmpty())
        painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, fitted(text.right, sideRoom));
}

void drawCellText(QPainter &painter, const Metrics &m, const QRectF &cell, const QString &text,
                  Qt::Alignment alignment)
{
    if (text.isEmpty())
        return;
    const QRectF inner = cell.adjusted(m.padding, 0, -m.padding, 0);
    const QFontMetricsF fm(painter.font(), painter.device());
    const QString shown = fm.horizontalAdvance(text) <= inner.width()
                              ? text
                              : fm.elidedText(text, Qt::ElideRight, inner.width());
    painter.drawText(inner, int(alignment | Qt::AlignVCenter), shown);
}

} // namespace

// ---- PageText ----

PageText PageText::parse(const QString &codes, int page)
{
    PageText result;
    QString *part = &result.left;
    for (qsizetype i = 0; i < codes.size(); ++i) {
        const QChar c = codes.at(i);
        if (c != u'/' || i + 1 >= codes.size()) {
            part->append(c);
            continue;
        }
        switch (codes.at(i + 1).unicode()) {
        case u'l':
            part = &result.left;
            break;
        case u'c':
            part = &result.centre;
            break;
        case u'r':
            part = &result.right;
            break;
        case u'p':
            part->append(QString::number(page));
            break;
        case u'/':
            part->append(u'/');
            break;
        default:
            part->append(c);
            continue; // the next character is text
        }
        ++i;
    }
    return result;
}

QString PageText::escaped(const QString &text)
{
    return QString(text).replace(u"/"_s, u"//"_s);
}

// ---- PrintArea ----

PrintArea PrintArea::of(const GridModel &model, const GridPrintSettings &settings, const GridBlock &block)
{
    const LogTable &table = model.table();
    PrintArea a{1, table.colCount(), 1, table.rowCount()};
    if (settings.type == GridPrintSettings::Block) {
        if (block.firstCol != -1 && block.lastCol != -1) {
            a.firstCol = std::max(1, std::min(block.firstCol, block.lastCol));
            a.lastCol = std::min(a.lastCol, std::max(block.firstCol, block.lastCol));
        }
        if (block.firstRow != -1 && block.lastRow != -1) {
            a.firstRow = std::max(1, std::min(block.firstRow, block.lastRow));
            a.lastRow = std::min(a.lastRow, std::max(block.firstRow, block.lastRow));
        }
    }
    if (!settings.useDataMax || a.isEmpty())
        return a;

    const auto rowHasData = [&](int row, int lastCol) {
        for (int col = a.firstCol; col <= lastCol; ++col) {
            if (!table.text(col, row).isEmpty())
                return true;
        }
        return false;
    };
    const int widest = table.lastDataColumn(a.firstRow, a.lastRow);
    int lastCol = std::min(widest, a.lastCol);
    if (widest > a.lastCol) {
        // Data reaches past the area's columns; find the area's own last one.
        lastCol = a.firstCol - 1;
        for (int col = a.lastCol; col >= a.firstCol && lastCol < a.firstCol; --col) {
            for (int row = a.firstRow; row <= a.lastRow; ++row) {
                if (!table.text(col, row).isEmpty()) {
                    lastCol = col;
                    break;
                }
            }
        }
    }
    a.lastCol = lastCol;
    if (a.isEmpty())
        return a;
    int lastRow = a.lastRow;
    while (lastRow >= a.firstRow && !rowHasData(lastRow, a.lastCol))
        --lastRow;
    a.lastRow = lastRow;
    return a;
}

// ---- PagePlan ----

int PagePlan::rowPages() const
{
    const int rows = lastRow - firstRow + 1;
    return rows <= 0 ? 0 : (rows + rowsPerPage - 1) / rowsPerPage;
}

int PagePlan::pageCount() const
{
    return int(bands.size()) * rowPages();
}

PagePlan::Page PagePlan::page(int number) const
{
    const int perBand = rowPages();
    const Band &band = bands.at((number - 1) / perBand);
    const int first = firstRow + ((number - 1) % perBand) * rowsPerPage;
    return {band.firstCol, band.lastCol, first, std::min(lastRow, first + rowsPerPage - 1),
            std::min(repeatedLastCol, band.firstCol - 1)};
}

PagePlan PagePlan::make(const PrintArea &area, const std::function<double(int)> &columnWidth, double bandWidth,
                        int rowsPerPage, int repeatedCols)
{
    PagePlan plan;
    plan.firstRow = area.firstRow;
    plan.lastRow = area.lastRow;
    plan.rowsPerPage = std::max(1, rowsPerPage);
    if (area.isEmpty())
        return plan;
    // leading.at(k): the width of columns 1 to k, printed before a band starting after them.
    QList<double> leading{0};
    for (int col = 1; col <= std::min(repeatedCols, area.lastCol - 1); ++col)
        leading.append(leading.constLast() + columnWidth(col));
    if (leading.constLast() <= bandWidth / 2)
        plan.repeatedLastCol = int(leading.size()) - 1;
    double used = 0;
    for (int col = area.firstCol; col <= area.lastCol; ++col) {
        const double width = columnWidth(col);
        if (plan.bands.isEmpty() || used + width > bandWidth) {
            plan.bands.append({col, col});
            used = leading.at(std::min(plan.repeatedLastCol, col - 1)) + width;
        } else {
            plan.bands.last().lastCol = col;
            used += width;
        }
    }
    return plan;
}

// ---- GridPrinter ----

GridPrinter::GridPrinter(const GridModel &model, std::function<double(int)> columnChars, int repeatedCols)
    : m_model(model)
    , m_columnChars(std::move(columnChars))
    , m_repeatedCols(repeatedCols)
{
}

int GridPrinter::print(QPrinter &printer, const GridPrintSettings &settings, const GridBlock &block) const
{
    if ((settings.type != GridPrintSettings::WholeSheet && settings.type != GridPrintSettings::Block)
        || settings.orientation < 0 || settings.orientation > 2 || settings.firstPage < 0 || settings.lastPage < 0)
        throw RuntimeError(RuntimeError::InvalidPropertyValue);

    const PrintArea area = PrintArea::of(m_model, settings, block);
    if (area.isEmpty())
        return 0;

    printer.setDocName(settings.jobName);
    if (settings.orientation != 0)
        printer.setPageOrientation(settings.orientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setPageMargins(QMarginsF(SideMarginMm, EndMarginMm, SideMarginMm, EndMarginMm), QPageLayout::Millimeter);

    const Metrics m = metricsFor(printer, QFont());
    // The date column keeps at least half the page for the cells beside it.
    const double dateWidth = std::min(m.columnWidth(m_columnChars(0)), m.page.width() / 2);
    const double bandWidth = m.page.width() - dateWidth;
    const auto widthOf = [&](int col) { return std::min(m.columnWidth(m_columnChars(col)), bandWidth); };
    const int rowsPerPage = int((m.gridHeight() - m.rowHeight) / m.rowHeight);
    const PagePlan plan = PagePlan::make(area, widthOf, bandWidth, rowsPerPage, m_repeatedCols);

    const int first = std::max(1, settings.firstPage);
    const int last = settings.lastPage == 0 ? plan.pageCount() : std::min(settings.lastPage, plan.pageCount());
    if (first > last)
        return 0;

    QPainter painter;
    if (!painter.begin(&printer))
        throw RuntimeError(RuntimeError::PrinterError);
    for (int number = first; number <= last; ++number) {
        if (number > first && !printer.newPage()) {
            painter.end();
            throw RuntimeError(RuntimeError::PrinterError);
        }
        const PagePlan::Page page = plan.page(number);

        drawPageText(painter, m, PageText::parse(settings.header, number), 0);
        drawPageText(painter, m, PageText::parse(settings.footer, number), m.page.height() - m.pageTextHeight);

        // The page's columns: the repeated ones its band starts after, then the
        // band's. Their edges follow the date column's.
        QList<int> columns;
        double room = bandWidth;
        for (int col = 1; col <= page.repeatedLastCol; ++col) {
            columns.append(col);
            room -= widthOf(col);
        }
        for (int col = page.firstCol; col <= page.lastCol; ++col)
            columns.append(col);
        // A band column as wide as the page gives way to the repeated ones.
        QList<double> edges{0, dateWidth};
        for (const int col : std::as_const(columns))
            edges.append(edges.constLast() + (col > page.repeatedLastCol ? std::min(widthOf(col), room) : widthOf(col)));
        const double top = m.gridTop();
        const int rows = page.lastRow - page.firstRow + 1;
        const double bottom = top + (rows + 1) * m.rowHeight;
        const double right = edges.constLast();
        const auto cellRect = [&](int edge, int line) {
            return QRectF(edges.at(edge), top + line * m.rowHeight, edges.at(edge + 1) - edges.at(edge), m.rowHeight);
        };

        painter.fillRect(QRectF(0, top, right, m.rowHeight), HeaderFill);
        painter.fillRect(QRectF(0, top + m.rowHeight, dateWidth, rows * m.rowHeight), HeaderFill);

        painter.setPen(Qt::black);
        painter.setFont(m.captionFont);
        drawCellText(painter, m, cellRect(0, 0), m_model.cornerCaption(), Qt::AlignLeft);
        for (qsizetype i = 0; i < columns.size(); ++i) {
            drawCellText(painter, m, cellRect(int(i) + 1, 0),
                         m_model.headerData(columns.at(i) - 1, Qt::Horizontal).toString(), Qt::AlignHCenter);
        }
        painter.setFont(m.cellFont);
        for (int row = page.firstRow; row <= page.lastRow; ++row) {
            const int line = row - page.firstRow + 1;
            drawCellText(painter, m, cellRect(0, line), m_model.headerData(row - 1, Qt::Vertical).toString(),
                         Qt::AlignLeft);
            for (qsizetype i = 0; i < columns.size(); ++i) {
                const QModelIndex index = m_model.index(row - 1, columns.at(i) - 1);
                const auto alignment = m_model.data(index, Qt::TextAlignmentRole).value<Qt::Alignment>();
                drawCellText(painter, m, cellRect(int(i) + 1, line), m_model.data(index).toString(),
                             alignment & Qt::AlignHorizontal_Mask);
            }
        }

        painter.setPen(QPen(GridLine, m.points(0.4)));
        for (int line = 0; line <= rows + 1; ++line)
            painter.drawLine(QPointF(0, top + line * m.rowHeight), QPointF(right, top + line * m.rowHeight));
        for (const double x : std::as_const(edges))
            painter.drawLine(QPointF(x, top), QPointF(x, bottom));
        // The captions and the dates set off from the cells, the table framed.
        painter.setPen(QPen(HeaderLine, m.points(0.8)));
        painter.drawLine(QPointF(0, top + m.rowHeight), QPointF(right, top + m.rowHeight));
        painter.drawLine(QPointF(dateWidth, top), QPointF(dateWidth, bottom));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(0, top, right, bottom - top));
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        throw RuntimeError(RuntimeError::PrinterError);
    return last - first + 1;
}
