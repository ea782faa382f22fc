#include "gridcontrol.h"

#include "gridmodel.h"
#include "runtimeerror.h"
#include "twips.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QStylePainter>
#include <QTableView>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {
// Widths before the program sets its own, in characters.
constexpr double DesignColumnWidth = 9.0;
// Room for the cell's margins and grid line, in pixels.
constexpr int CellPadding = 6;
} // namespace

GridControl::GridControl(QWidget *parent)
    : QWidget(parent)
    , m_model(new GridModel(this))
    , m_view(new QTableView(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    m_view->setModel(m_model);
    m_view->setObjectName(u"gridView"_s);
    // The grid keeps the blocks itself (several, whole columns, never whole rows
    // unless allowed) and only shows them through the selection model.
    m_view->setSelectionMode(QAbstractItemView::NoSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setWordWrap(false);
    m_view->setTextElideMode(Qt::ElideRight);

    // Fixed section sizes: a million rows cost nothing to lay out.
    QHeaderView *rows = m_view->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    rows->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    rows->setHighlightSections(false); // a whole column would make every date bold
    applyRowHeight();
    QHeaderView *cols = m_view->horizontalHeader();
    cols->setSectionResizeMode(QHeaderView::Fixed);
    cols->setMinimumSectionSize(1);
    // Selected columns show bold captions through the model: the header's own
    // highlighting asks the selection model, which walks every row of a column.
    cols->setHighlightSections(false);
    m_model->setSelection(&m_selection);
    setColumnWidth(-1, DesignColumnWidth);

    m_corner = m_view->findChild<QAbstractButton *>();
    for (QObject *watched : {static_cast<QObject *>(m_view->viewport()), static_cast<QObject *>(cols->viewport()),
                             static_cast<QObject *>(rows->viewport()), static_cast<QObject *>(m_corner)}) {
        if (watched)
            watched->installEventFilter(this);
    }

    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_selection.clear();
        m_widths.clear(); // the sections are back at the default width
        showSelection();
        emit selectionBlocksChanged();
    });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &GridControl::showSelection);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &GridControl::showSelection);
    connect(m_model, &QAbstractItemModel::columnsRemoved, this, &GridControl::showSelection);
    connect(m_model, &QAbstractItemModel::columnsInserted, this, &GridControl::showSelection);
    connect(m_model, &GridModel::cornerCaptionChanged, this, [this] {
        if (m_corner)
            m_corner->update();
    });
}

GridControl::~GridControl() = default;

bool GridControl::loadDelimited(const QString &path, const QString &quote, const QString &colDelimiter,
                                const QString &rowDelimiter, int flags)
{
    if ((!quote.isEmpty() && quote != u"\""_s) || colDelimiter.size() != 1 || colDelimiter.at(0).unicode() >= 0x80
        || colDelimiter == u"\""_s || (rowDelimiter != u"\r\n"_s && rowDelimiter != u"\n"_s)
        || (flags & ~(HeaderRow | HeaderColumn)))
        throw RuntimeError(RuntimeError::InvalidCall);
    m_model->load(path, char(colDelimiter.at(0).unicode()), flags);
    return true;
}

const LogTable::LoadNotes &GridControl::loadNotes() const { return m_model->table().loadNotes(); }

int GridControl::rowCount() const { return m_model->table().rowCount(); }
int GridControl::colCount() const { return m_model->table().colCount(); }
void GridControl::setRowCount(int rows) { m_model->setGridRowCount(rows); }
void GridControl::setColCount(int cols) { m_model->setGridColCount(cols); }
int GridControl::lastDataColumn() const { return m_model->table().lastDataColumn(); }

void GridControl::setActiveCell(int col, int row)
{
    m_activeCol = col;
    m_activeRow = row;
}

QString GridControl::activeText() const { return m_model->table().text(m_activeCol, m_activeRow); }
void GridControl::setActiveText(const QString &text) { m_model->setText(m_activeCol, m_activeRow, text); }
QString GridControl::activeValueText() const { return activeText(); }
bool GridControl::activeRawText(QByteArrayView &bytes) const
{
    return cellRawText(m_activeCol, m_activeRow, bytes);
}

bool GridControl::cellRawText(int col, int row, QByteArrayView &bytes) const
{
    return m_model->table().rawText(col, row, bytes);
}

void GridControl::setBlock(int firstCol, int firstRow, int lastCol, int lastRow)
{
    m_block = {firstCol, firstRow, lastCol, lastRow};
}

QString GridControl::cellText(int col, int row) const { return m_model->table().text(col, row); }

bool GridControl::hasSelectedBlock() const { return !m_selection.blocks().isEmpty(); }
int GridControl::selectionBlockCount() const { return int(m_selection.blocks().size()); }

GridBlock GridControl::selectionBlock(int n) const
{
    if (n < 0 || n >= m_selection.blocks().size())
        throw RuntimeError(RuntimeError::SubscriptOutOfRange);
    return m_selection.blocks().at(n);
}

GridBlock GridControl::selectedBlock() const
{
    return m_selection.blocks().isEmpty() ? GridBlock{} : m_selection.blocks().constLast();
}

int GridControl::pixelsForWidth(double width) const
{
    return int(std::lround(width * m_view->fontMetrics().horizontalAdvance(u'0'))) + CellPadding;
}

void GridControl::applyRowHeight()
{
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + CellPadding);
}

void GridControl::setColumnWidth(int col, double width)
{
    if (col < -1 || !(width >= 0))
        throw RuntimeError(RuntimeError::InvalidPropertyValue);
    const int pixels = pixelsForWidth(width);
    QHeaderView *header = m_view->horizontalHeader();
    if (col <= 0) {
        m_headerWidth = width;
        m_view->verticalHeader()->setFixedWidth(pixels);
    }
    if (col == -1) {
        m_defaultWidth = width;
        m_widths.clear();
        header->setDefaultSectionSize(pixels);
        for (int section = 0; section < header->count(); ++section)
            header->resizeSection(section, pixels);
    } else if (col >= 1) {
        m_widths.insert(col, width);
        if (col <= colCount())
            header->resizeSection(col - 1, pixels);
    }
}

double GridControl::columnWidth(int col) const
{
    if (col == 0)
        return m_headerWidth;
    if (col == -1)
        return m_defaultWidth;
    return m_widths.value(col, m_defaultWidth);
}

void GridControl::setBlockSelectionOptions(int options)
{
    if (options & ~BlockSelection::AllOptions)
        throw RuntimeError(RuntimeError::InvalidPropertyValue);
    m_selection.setOptions(options);
}

int GridControl::blockSelectionOptions() const { return m_selection.options(); }
void GridControl::setMultipleBlocks(bool allowed) { m_selection.setMultiple(allowed); }
bool GridControl::multipleBlocks() const { return m_selection.multiple(); }

void GridControl::clearRange(int col1, int row1, int col2, int row2, bool dataOnly)
{
    Q_UNUSED(dataOnly)
    m_model->clearRange(col1, row1, col2, row2);
}

int GridControl::print(QPrinter &printer)
{
    const int pages =
        GridPrinter(*m_model, [this](int col) { return columnWidth(col); }).print(printer, m_print, m_block);
    if (pages > 0)
        emit printed(pages);
    return pages;
}

QSizeF GridControl::sizeTwips() const { return twips::sizeOf(*this); }

QString GridControl::cornerCaption() const { return m_model->cornerCaption(); }

// Shows the blocks through the view's selection model, clipped to the grid.
void GridControl::setSelectionBlocks(const QList<GridBlock> &blocks)
{
    m_selection.setBlocks(blocks);
    showSelection();
    emit selectionBlocksChanged();
}

void GridControl::showSelection()
{
    m_view->viewport()->update();
    m_view->horizontalHeader()->viewport()->update();
}

int GridControl::clampedColumnAt(int x) const
{
    const int viewportX = std::clamp(x, 0, std::max(0, m_view->viewport()->width() - 1));
    const int col = m_view->columnAt(viewportX);
    return col >= 0 ? col : colCount() - 1;
}

int GridControl::clampedRowAt(int y) const
{
    const int viewportY = std::clamp(y, 0, std::max(0, m_view->viewport()->height() - 1));
    const int row = m_view->rowAt(viewportY);
    return row >= 0 ? row : rowCount() - 1;
}

bool GridControl::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_corner)
        return cornerEvent(event);
    if (watched == m_view->viewport())
        return selectionMouse(event, BlockSelection::Target::Cell);
    if (watched == m_view->horizontalHeader()->viewport())
        return selectionMouse(event, BlockSelection::Target::ColumnHeader);
    if (watched == m_view->verticalHeader()->viewport())
        return selectionMouse(event, BlockSelection::Target::RowHeader);
    return QWidget::eventFilter(watched, event);
}

namespace {
bool isMouseEvent(const QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        return true;
    default:
        return false;
    }
}

// Dragging past the edge of the cells scrolls them a step.
void scrollTowards(QTableView *view, QPoint pos)
{
    const QRect area = view->viewport()->rect();
    QScrollBar *v = view->verticalScrollBar();
    QScrollBar *h = view->horizontalScrollBar();
    if (pos.y() < area.top())
        v->setValue(v->value() - v->singleStep());
    else if (pos.y() > area.bottom())
        v->setValue(v->value() + v->singleStep());
    if (pos.x() < area.left())
        h->setValue(h->value() - h->singleStep());
    else if (pos.x() > area.right())
        h->setValue(h->value() + h->singleStep());
}
} // namespace

std::optional<QPoint> GridControl::pressedAt(BlockSelection::Target target, QPoint pos) const
{
    int section = -1;
    switch (target) {
    case BlockSelection::Target::Cell: {
        const QModelIndex index = m_view->indexAt(pos);
        if (!index.isValid())
            return std::nullopt;
        return QPoint(index.column() + 1, index.row() + 1);
    }
    case BlockSelection::Target::ColumnHeader:
        section = m_view->horizontalHeader()->logicalIndexAt(pos.x());
        return section < 0 ? std::nullopt : std::optional<QPoint>(QPoint(section + 1, -1));
    case BlockSelection::Target::RowHeader:
        section = m_view->verticalHeader()->logicalIndexAt(pos.y());
        return section < 0 ? std::nullopt : std::optional<QPoint>(QPoint(-1, section + 1));
    default:
        return std::nullopt;
    }
}

// Presses and drags on the cells and the headers make the blocks. The headers'
// viewports share the cells' coordinates along their own axis.
bool GridControl::selectionMouse(QEvent *event, BlockSelection::Target target)
{
    if (!isMouseEvent(event))
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    const QPoint pos = mouse->position().toPoint();
    bool changed = false;
    if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        const std::optional<QPoint> at = pressedAt(target, pos);
        if (!at)
            return true;
        if (target == BlockSelection::Target::Cell) {
            m_view->setFocus(Qt::MouseFocusReason);
            m_view->selectionModel()->setCurrentIndex(m_model->index(at->y() - 1, at->x() - 1),
                                                      QItemSelectionModel::NoUpdate);
        }
        changed = m_selection.press(target, at->x(), at->y(), mouse->modifiers());
    } else if (event->type() == QEvent::MouseMove) {
        if (!(mouse->buttons() & Qt::LeftButton))
            return false; // hovering
        if (rowCount() == 0 || colCount() == 0)
            return true;
        scrollTowards(m_view, pos);
        changed = m_selection.dragTo(clampedColumnAt(pos.x()) + 1, clampedRowAt(pos.y()) + 1);
    } else if (event->type() == QEvent::MouseButtonRelease) {
        m_selection.release();
    }
    if (changed) {
        showSelection();
        emit selectionBlocksChanged();
    }
    return true;
}

bool GridControl::cornerEvent(QEvent *event)
{
    if (event->type() == QEvent::Paint) {
        QStyleOptionHeader option;
        option.initFrom(m_corner);
        option.state = QStyle::State_Raised;
        if (m_corner->isEnabled())
            option.state |= QStyle::State_Enabled;
        option.rect = m_corner->rect();
        option.position = QStyleOptionHeader::OnlyOneSection;
        option.text = cornerCaption();
        option.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        QStylePainter painter(m_corner);
        painter.drawControl(QStyle::CE_Header, option);
        return true;
    }
    if (!isMouseEvent(event))
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton
        && m_selection.press(BlockSelection::Target::Corner, -1, -1, mouse->modifiers())) {
        showSelection();
        emit selectionBlocksChanged();
    }
    return true; // the view's own select-all never runs
}
