#include "gridcontrol.h"

#include "gridmodel.h"
#include "core/runtimeerror.h"
#include "twips.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QStylePainter>
#include <QTableView>
#include <QVBoxLayout>

#include <cmath>
#include <functional>

using namespace Qt::StringLiterals;

namespace {
// The cells' view, with its own keyboard movement open to the grid: Shift with
// a movement key goes where the key alone would go.
class CellView : public QTableView
{
public:
    using QTableView::QTableView;

    // Where the frozen columns' view ends over the cells (0: not shown), and how
    // many columns it holds.
    std::function<int()> frozenRight;
    int frozenCount = 0;

    // A column brought into view by the keyboard clears the frozen columns laid
    // over the left of the cells.
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override
    {
        QTableView::scrollTo(index, hint);
        const int covered = frozenRight ? frozenRight() : 0;
        if (!index.isValid() || covered <= 0 || index.column() < frozenCount)
            return;
        const int left = columnViewportPosition(index.column());
        if (left < covered)
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() - (covered - left));
    }

    QModelIndex moved(int key)
    {
        switch (key) {
        case Qt::Key_Up:
            return moveCursor(MoveUp, Qt::NoModifier);
        case Qt::Key_Down:
            return moveCursor(MoveDown, Qt::NoModifier);
        case Qt::Key_Left:
            return moveCursor(MoveLeft, Qt::NoModifier);
        case Qt::Key_Right:
            return moveCursor(MoveRight, Qt::NoModifier);
        case Qt::Key_PageUp:
            return moveCursor(MovePageUp, Qt::NoModifier);
        case Qt::Key_PageDown:
            return moveCursor(MovePageDown, Qt::NoModifier);
        default:
            return {};
        }
    }
};

// Widths before the program sets its own, in characters.
constexpr double DesignColumnWidth = 9.0;
// Room for the cell's margins and grid line, in pixels.
constexpr int CellPadding = 6;
// A fitted column's text also gives way to the grid line and to rounding to the
// width's unit, or its last letters are cut to "...".
constexpr int FitSlack = 2;
// The narrowest a dragged column gets, in characters.
constexpr double NarrowestColumn = 1.0;
} // namespace

GridControl::GridControl(QWidget *parent)
    : QWidget(parent)
    , m_model(new GridModel(this))
    , m_view(new CellView(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    m_view->setModel(m_model);
    m_view->setObjectName(u"gridView"_s);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { emit currentRowChanged(current.isValid() ? current.row() + 1 : 0); });
    // The grid keeps the blocks itself (several, whole columns, never whole rows
    // unless allowed) and only shows them through the selection model.
    m_view->setSelectionMode(QAbstractItemView::NoSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the grid for the window's other controls, its toolbar among them.
    m_view->setTabKeyNavigation(false);
    m_view->setWordWrap(false);
    m_view->setTextElideMode(Qt::ElideRight);
    // By the item, a scrolled view would hide a whole column under the frozen ones.
    m_view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_corner = m_view->findChild<QAbstractButton *>(QString(), Qt::FindDirectChildrenOnly);
    setUpFrozenView();
    static_cast<CellView *>(m_view)->frozenRight = [this] { return frozenRight(); };

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
    cols->viewport()->setMouseTracking(true); // the resize pointer over a caption's border
    m_model->setSelection(&m_selection);
    setColumnWidth(-1, DesignColumnWidth);

    for (QObject *watched :
         {static_cast<QObject *>(m_view), static_cast<QObject *>(m_view->viewport()),
          static_cast<QObject *>(cols->viewport()), static_cast<QObject *>(rows->viewport()),
          static_cast<QObject *>(m_corner), static_cast<QObject *>(m_frozen->viewport()),
          static_cast<QObject *>(m_frozen->horizontalHeader()->viewport())}) {
        if (watched)
            watched->installEventFilter(this);
    }

    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_selection.clear();
        m_widths.clear(); // the sections are back at the default width
        m_resizing = -1;
        showSelection();
        placeFrozenView();
        emit selectionBlocksChanged();
    });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &GridControl::showSelection);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &GridControl::showSelection);
    connect(m_model, &QAbstractItemModel::columnsRemoved, this, &GridControl::showSelection);
    connect(m_model, &QAbstractItemModel::columnsInserted, this, &GridControl::showSelection);
    connect(m_model, &QAbstractItemModel::columnsRemoved, this, &GridControl::placeFrozenView);
    connect(m_model, &QAbstractItemModel::columnsInserted, this, &GridControl::placeFrozenView);
    connect(cols, &QHeaderView::sectionResized, this, &GridControl::placeFrozenView);
    connect(cols, &QHeaderView::geometriesChanged, this, &GridControl::placeFrozenView);
    connect(rows, &QHeaderView::geometriesChanged, this, &GridControl::placeFrozenView);
    connect(m_model, &GridModel::cornerCaptionChanged, this, [this] {
        if (m_corner)
            m_corner->update();
    });
}

GridControl::~GridControl()
{
    // The views die after this object's own part: their headers still signal while
    // they are hidden, and must not reach a grid that is no longer one.
    for (QObject *sender : {static_cast<QObject *>(m_view->horizontalHeader()),
                            static_cast<QObject *>(m_view->verticalHeader()),
                            static_cast<QObject *>(m_view->verticalScrollBar()), static_cast<QObject *>(m_model)})
        disconnect(sender, nullptr, this, nullptr);
    for (QObject *watched : findChildren<QObject *>())
        watched->removeEventFilter(this);
    static_cast<CellView *>(m_view)->frozenRight = nullptr;
}

// The frozen columns are a second view of the same model laid over the left of the
// cells, its rows kept in step with the grid's; it never scrolls sideways.
void GridControl::setUpFrozenView()
{
    m_frozen = new QTableView(m_view);
    m_frozen->setObjectName(u"frozenView"_s);
    m_frozen->setModel(m_model);
    m_frozen->setSelectionModel(m_view->selectionModel());
    m_frozen->setSelectionMode(QAbstractItemView::NoSelection);
    m_frozen->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_frozen->setFocusPolicy(Qt::NoFocus);
    m_frozen->setFrameShape(QFrame::NoFrame);
    m_frozen->setWordWrap(false);
    m_frozen->setTextElideMode(Qt::ElideRight);
    m_frozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->verticalHeader()->hide();
    m_frozen->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_frozen->verticalHeader()->setMinimumSectionSize(1);
    QHeaderView *cols = m_frozen->horizontalHeader();
    cols->setSectionResizeMode(QHeaderView::Fixed);
    cols->setMinimumSectionSize(1);
    cols->setHighlightSections(false);
    cols->viewport()->setMouseTracking(true);
    m_view->viewport()->stackUnder(m_frozen);
    m_frozen->hide();
    connect(m_view->verticalScrollBar(), &QAbstractSlider::valueChanged, m_frozen->verticalScrollBar(),
            &QAbstractSlider::setValue);
    connect(m_frozen->verticalScrollBar(), &QAbstractSlider::valueChanged, m_view->verticalScrollBar(),
            &QAbstractSlider::setValue);
    // The views share the current cell, and a view scrolls to its current cell:
    // Ctrl+End would otherwise bring the last column in under the time's caption.
    QScrollBar *sideways = m_frozen->horizontalScrollBar();
    connect(sideways, &QAbstractSlider::valueChanged, sideways, [sideways](int value) {
        if (value != sideways->minimum())
            sideways->setValue(sideways->minimum());
    });
}

void GridControl::placeFrozenView()
{
    const int count = std::min(m_frozenColumns, colCount());
    QHeaderView *cols = m_view->horizontalHeader();
    int width = 0;
    for (int col = 0; col < count; ++col)
        width += cols->sectionSize(col);
    width = std::min(width, m_view->viewport()->width());
    if (width <= 0) {
        m_frozen->hide();
        return;
    }
    const QRect cells = m_view->viewport()->geometry();
    const QRect captions = cols->geometry();
    m_frozen->horizontalHeader()->setFixedHeight(captions.height());
    m_frozen->setGeometry(cells.left(), captions.top(), width, cells.bottom() - captions.top() + 1);
    m_frozen->verticalScrollBar()->setValue(m_view->verticalScrollBar()->value());
    m_frozen->show();
}

void GridControl::setFrozenColumns(int count)
{
    if (count < 0)
        throw RuntimeError(RuntimeError::InvalidPropertyValue);
    m_frozenColumns = count;
    static_cast<CellView *>(m_view)->frozenCount = count;
    placeFrozenView();
}

int GridControl::frozenRight() const { return m_frozen->isHidden() ? 0 : m_frozen->width(); }

// The model column shown at x of the cells' viewport (the captions' viewport has
// the same x), the frozen columns included; -1 where there is none.
int GridControl::columnAtX(int x) const
{
    if (x < frozenRight())
        return m_frozen->columnAt(x);
    return m_view->columnAt(x);
}

// Where the column's right border shows, in the same coordinates.
int GridControl::columnRight(int column) const
{
    const QTableView *view = column < m_frozenColumns && frozenRight() > 0 ? m_frozen : m_view;
    return view->horizontalHeader()->sectionViewportPosition(column) + view->horizontalHeader()->sectionSize(column);
}

// The column whose right border is within the grip margin of x, or -1.
int GridControl::borderAt(int x) const
{
    const int column = columnAtX(x);
    if (column < 0)
        return -1;
    QHeaderView *cols = m_view->horizontalHeader();
    const int margin = cols->style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, cols);
    const int right = columnRight(column);
    if (right - x <= margin)
        return column;
    // A column partly under the frozen ones starts where they end.
    int left = right - cols->sectionSize(column);
    if (column >= m_frozenColumns)
        left = std::max(left, frozenRight());
    if (x - left <= margin && left > 0) {
        const int before = columnAtX(left - 1);
        return before == column ? -1 : before;
    }
    return -1;
}

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

void GridControl::showTable(LogTable *table)
{
    m_model->showTable(table);
}

void GridControl::tableGrew()
{
    // The views set their scroll ranges in a layout pass of their own, later;
    // both looks need the ranges of the rows as they are. The frozen columns'
    // view, whose scrolling is tied to the cells', would hold them back otherwise.
    const auto layOut = [this] {
        QMetaObject::invokeMethod(m_frozen, "updateGeometries");
        QMetaObject::invokeMethod(m_view, "updateGeometries");
    };
    layOut();
    const QScrollBar *bar = m_view->verticalScrollBar();
    const bool showedEnd = bar->value() >= bar->maximum();
    m_model->tableGrew();
    if (showedEnd) {
        layOut();
        m_view->scrollToBottom();
    }
}

const LogTable::LoadNotes &GridControl::loadNotes() const { return m_model->table().loadNotes(); }

int GridControl::rowCount() const { return m_model->table().rowCount(); }
int GridControl::colCount() const { return m_model->table().colCount(); }
void GridControl::setRowCount(int rows) { m_model->setGridRowCount(rows); }
void GridControl::setColCount(int cols) { m_model->setGridColCount(cols); }
bool GridControl::rowIsWhole(int row, int col) const { return m_model->table().rowIsWhole(row, col); }

int GridControl::lastDataColumn() const { return m_model->table().lastDataColumn(); }

int GridControl::currentRow() const
{
    const QModelIndex current = m_view->selectionModel()->currentIndex();
    return current.isValid() ? current.row() + 1 : 0;
}

void GridControl::setCurrentRow(int row)
{
    if (row < 1 || row > m_model->rowCount() || row == currentRow())
        return;
    const QModelIndex current = m_view->selectionModel()->currentIndex();
    setCurrentCell(current.isValid() ? current.column() + 1 : 1, row);
}

// Up or down to the cell; the columns in view stay.
void GridControl::setCurrentCell(int col, int row)
{
    const QModelIndex target = m_model->index(row - 1, col - 1);
    const int sideways = m_view->horizontalScrollBar()->value();
    m_view->selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    m_view->scrollTo(target);
    m_view->horizontalScrollBar()->setValue(sideways);
}

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

LogTable::ColumnReader GridControl::columnReader(int col) const
{
    return m_model->table().columnReader(col);
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

double GridControl::widthForPixels(int pixels) const
{
    return std::max(0, pixels - CellPadding) / double(m_view->fontMetrics().horizontalAdvance(u'0'));
}

void GridControl::applyRowHeight()
{
    const int height = m_view->fontMetrics().height() + CellPadding;
    m_view->verticalHeader()->setDefaultSectionSize(height);
    m_frozen->verticalHeader()->setDefaultSectionSize(height);
}

void GridControl::setColumnWidth(int col, double width)
{
    if (col < -1 || !(width >= 0))
        throw RuntimeError(RuntimeError::InvalidPropertyValue);
    const int pixels = pixelsForWidth(width);
    if (col <= 0) {
        m_headerWidth = width;
        m_view->verticalHeader()->setFixedWidth(pixels);
    }
    if (col == -1) {
        m_defaultWidth = width;
        m_widths.clear();
    } else if (col >= 1) {
        m_widths.insert(col, width);
    }
    for (QHeaderView *header : {m_frozen->horizontalHeader(), m_view->horizontalHeader()}) {
        if (col == -1) {
            header->setDefaultSectionSize(pixels);
            for (int section = 0; section < header->count(); ++section)
                header->resizeSection(section, pixels);
        } else if (col >= 1 && col <= colCount()) {
            header->resizeSection(col - 1, pixels);
        }
    }
}

void GridControl::fitColumnWidth(int col)
{
    if (col == 0) {
        fitRowCaptions();
        return;
    }
    if (col < 1 || col > colCount())
        return;
    QHeaderView *cols = m_view->horizontalHeader();
    // The caption needs its own margins on both sides, in its own font.
    QFont captionFont = cols->font();
    if (const QVariant bold = m_model->headerData(col - 1, Qt::Horizontal, Qt::FontRole); bold.isValid())
        captionFont = bold.value<QFont>();
    const int margin = cols->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, cols);
    int widest = QFontMetrics(captionFont).horizontalAdvance(m_model->headerData(col - 1, Qt::Horizontal).toString())
                 + 2 * margin - CellPadding;
    const int top = std::max(0, m_view->rowAt(0));
    int bottom = m_view->rowAt(m_view->viewport()->height() - 1);
    if (bottom < 0)
        bottom = rowCount() - 1;
    const QFontMetrics metrics = m_view->fontMetrics();
    for (int row = top; row <= bottom; ++row)
        widest = std::max(widest, metrics.horizontalAdvance(m_model->data(m_model->index(row, col - 1)).toString()));
    setColumnWidth(col, widthForPixels(widest + CellPadding + FitSlack));
}

// The row captions (column 0) as wide as the widest of the corner's caption and the
// rows' captions at the top and the bottom of the grid, which stand for the rest.
void GridControl::fitRowCaptions()
{
    QHeaderView *rows = m_view->verticalHeader();
    const QFontMetrics metrics(rows->font());
    const int margin = rows->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, rows);
    int widest = metrics.horizontalAdvance(cornerCaption());
    constexpr int Sampled = 200;
    const auto measure = [&](int from, int to) {
        for (int row = std::max(0, from); row < to; ++row)
            widest = std::max(widest, metrics.horizontalAdvance(m_model->headerData(row, Qt::Vertical).toString()));
    };
    measure(0, std::min(rowCount(), Sampled));
    measure(std::max(Sampled, rowCount() - Sampled / 4), rowCount());
    setColumnWidth(0, widthForPixels(widest + 2 * margin + FitSlack));
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
    const int pages = GridPrinter(*m_model, [this](int col) { return columnWidth(col); }, m_frozenColumns)
                          .print(printer, m_print, m_block);
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
    m_frozen->viewport()->update();
    m_frozen->horizontalHeader()->viewport()->update();
}

void GridControl::copySelection()
{
    if (m_selection.blocks().isEmpty())
        return;
    if (QClipboard *clipboard = QGuiApplication::clipboard())
        clipboard->setText(m_model->blocksText(m_selection.blocks()));
}

void GridControl::selectValueColumns()
{
    const int first = m_frozenColumns + 1;
    if (!(m_selection.options() & BlockSelection::WholeColumns) || first > colCount())
        return;
    if (m_valueBlocks)
        setSelectionBlocks(*m_valueBlocks);
    else
        setSelectionBlocks({GridBlock{first, -1, colCount(), -1}});
}

int GridControl::clampedColumnAt(int x) const
{
    const int viewportX = std::clamp(x, 0, std::max(0, m_view->viewport()->width() - 1));
    const int col = columnAtX(viewportX);
    return col >= 0 ? col : colCount() - 1;
}

int GridControl::clampedRowAt(int y) const
{
    const int viewportY = std::clamp(y, 0, std::max(0, m_view->viewport()->height() - 1));
    const int row = m_view->rowAt(viewportY);
    return row >= 0 ? row : rowCount() - 1;
}

namespace {
bool isMouseEvent(const QEvent *event);
}

bool GridControl::eventFilter(QObject *watched, QEvent *event)
{
    try {
        if (watched == m_view)
            return keyEvent(event);
        if (watched == m_corner)
            return cornerEvent(event);
        if (watched == m_view->viewport() && event->type() == QEvent::Resize)
            placeFrozenView();
        if (watched == m_frozen->viewport() && event->type() == QEvent::Wheel) {
            QCoreApplication::sendEvent(m_view->viewport(), event);
            return true;
        }
        // Positions over the frozen columns are taken in the grid's coordinates.
        const auto posIn = [event, watched](QWidget *target) {
            const QPoint pos = static_cast<QMouseEvent *>(event)->position().toPoint();
            return watched == target ? pos
                                     : target->mapFromGlobal(static_cast<QWidget *>(watched)->mapToGlobal(pos));
        };
        if (watched == m_view->viewport() || watched == m_frozen->viewport())
            return isMouseEvent(event)
                   && selectionMouse(event, BlockSelection::Target::Cell, posIn(m_view->viewport()));
        if (watched == m_view->horizontalHeader()->viewport() || watched == m_frozen->horizontalHeader()->viewport())
            return isMouseEvent(event)
                   && captionMouse(event, static_cast<QWidget *>(watched), posIn(m_view->horizontalHeader()->viewport()));
        if (watched == m_view->verticalHeader()->viewport())
            return isMouseEvent(event) && rowCaptionMouse(event, static_cast<QWidget *>(watched));
    } catch (...) {
        return true; // nothing escapes into the event loop; the event is dropped
    }
    return QWidget::eventFilter(watched, event);
}

bool GridControl::keyEvent(QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (event->type() == QEvent::KeyPress && movementKey(key->key()))
        return stretchByKey(key->key(), key->modifiers() & ~Qt::KeypadModifier);
    if (!key->matches(QKeySequence::Copy) && !key->matches(QKeySequence::SelectAll))
        return false;
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept(); // the grid's own keys, before any window's shortcut
        return true;
    }
    if (key->matches(QKeySequence::Copy))
        copySelection();
    else
        selectValueColumns();
    return true;
}

// The row captions: their right border resizes them (drag) or fits them
// (double-click); elsewhere a caption selects its row as ever.
bool GridControl::rowCaptionMouse(QEvent *event, QWidget *source)
{
    auto *mouse = static_cast<QMouseEvent *>(event);
    const QPoint pos = mouse->position().toPoint();
    QHeaderView *rows = m_view->verticalHeader();
    const int grip = rows->style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, rows);
    const bool onBorder = rows->width() - pos.x() <= grip;
    switch (event->type()) {
    case QEvent::MouseMove:
        if (m_resizingCaptions) {
            const int pixels = m_resizeFromPixels + pos.x() - m_resizeFromX;
            setColumnWidth(0, std::max(NarrowestColumn, widthForPixels(pixels)));
            return true;
        }
        if (!(mouse->buttons() & Qt::LeftButton)) {
            if (onBorder)
                source->setCursor(Qt::SplitHCursor);
            else
                source->unsetCursor();
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (mouse->button() == Qt::LeftButton && onBorder) {
            if (event->type() == QEvent::MouseButtonDblClick) {
                fitRowCaptions();
            } else {
                m_resizingCaptions = true;
                m_resizeFromX = pos.x();
                m_resizeFromPixels = rows->width();
            }
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (m_resizingCaptions) {
            m_resizingCaptions = false;
            return true;
        }
        break;
    default:
        break;
    }
    return selectionMouse(event, BlockSelection::Target::RowHeader, pos);
}

bool GridControl::movementKey(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

// Shift with an arrow or a page key stretches a block as a spreadsheet does, the
// keyboard's cell moving with its far corner; with Ctrl too, an arrow goes to the
// edge of the grid. Any other movement is the view's own and ends the stretching.
bool GridControl::stretchByKey(int key, Qt::KeyboardModifiers modifiers)
{
    const bool arrow = key != Qt::Key_PageUp && key != Qt::Key_PageDown;
    const bool stretching = modifiers == Qt::ShiftModifier
                            || (arrow && modifiers == (Qt::ShiftModifier | Qt::ControlModifier));
    if (!stretching || !(m_selection.options() & BlockSelection::Blocks) || rowCount() == 0 || colCount() == 0) {
        m_selection.endStretch();
        return false;
    }
    const QModelIndex current = m_view->selectionModel()->currentIndex();
    const QPoint at = current.isValid() ? QPoint(current.column() + 1, current.row() + 1) : QPoint(1, 1);
    const QPoint from = m_selection.stretchFrom(at);
    QPoint to = from;
    if (modifiers & Qt::ControlModifier) {
        switch (key) {
        case Qt::Key_Up:
            to.setY(1);
            break;
        case Qt::Key_Down:
            to.setY(rowCount());
            break;
        case Qt::Key_Left:
            to.setX(1);
            break;
        default:
            to.setX(colCount());
            break;
        }
    } else {
        // Moved as the key alone moves from the far corner.
        m_view->selectionModel()->setCurrentIndex(m_model->index(from.y() - 1, from.x() - 1),
                                                  QItemSelectionModel::NoUpdate);
        const QModelIndex moved = static_cast<CellView *>(m_view)->moved(key);
        if (moved.isValid())
            to = QPoint(moved.column() + 1, moved.row() + 1);
    }
    const bool changed = m_selection.stretchTo(at, to);
    const QModelIndex target = m_model->index(to.y() - 1, to.x() - 1);
    m_view->selectionModel()->setCurrentIndex(target, QItemSelectionModel::NoUpdate);
    m_view->scrollTo(target);
    if (changed) {
        showSelection();
        emit selectionBlocksChanged();
    }
    return true;
}

// The captions: a border resizes its column (drag) or fits it (double-click);
// elsewhere a caption selects as ever.
bool GridControl::captionMouse(QEvent *event, QWidget *source, QPoint pos)
{
    auto *mouse = static_cast<QMouseEvent *>(event);
    const bool left = mouse->button() == Qt::LeftButton;
    switch (event->type()) {
    case QEvent::MouseMove:
        if (m_resizing >= 0) {
            const int pixels = m_resizeFromPixels + pos.x() - m_resizeFromX;
            setColumnWidth(m_resizing + 1, std::max(NarrowestColumn, widthForPixels(pixels)));
            return true;
        }
        if (!(mouse->buttons() & Qt::LeftButton)) {
            if (borderAt(pos.x()) >= 0)
                source->setCursor(Qt::SplitHCursor);
            else
                source->unsetCursor();
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (const int column = borderAt(pos.x()); left && column >= 0) {
            if (event->type() == QEvent::MouseButtonDblClick) {
                fitColumnWidth(column + 1);
            } else {
                m_resizing = column;
                m_resizeFromX = pos.x();
                m_resizeFromPixels = m_view->horizontalHeader()->sectionSize(column);
            }
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (m_resizing >= 0) {
            m_resizing = -1;
            return true;
        }
        break;
    default:
        break;
    }
    return selectionMouse(event, BlockSelection::Target::ColumnHeader, pos);
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

// Dragging past the edge of the cells, or onto the frozen columns, scrolls them a step.
void scrollTowards(QTableView *view, QPoint pos, int frozenRight)
{
    const QRect area = view->viewport()->rect().adjusted(frozenRight, 0, 0, 0);
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
        const int col = columnAtX(pos.x());
        const int row = m_view->rowAt(pos.y());
        if (col < 0 || row < 0)
            return std::nullopt;
        return QPoint(col + 1, row + 1);
    }
    case BlockSelection::Target::ColumnHeader:
        section = columnAtX(pos.x());
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
bool GridControl::selectionMouse(QEvent *event, BlockSelection::Target target, QPoint pos)
{
    auto *mouse = static_cast<QMouseEvent *>(event);
    bool changed = false;
    if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        const std::optional<QPoint> at = pressedAt(target, pos);
        if (!at)
            return true;
        // A click anywhere in a row, its caption (the date) and the frozen time
        // included, makes it the current row, which the trend's cursor follows and
        // the arrow keys move from. A value cell scrolls into view; the frozen
        // columns and the caption are in view, so the columns in view stay.
        if (target == BlockSelection::Target::Cell) {
            m_view->setFocus(Qt::MouseFocusReason);
            if (pos.x() >= frozenRight())
                m_view->selectionModel()->setCurrentIndex(m_model->index(at->y() - 1, at->x() - 1),
                                                          QItemSelectionModel::NoUpdate);
            else
                setCurrentCell(at->x(), at->y());
        } else if (target == BlockSelection::Target::RowHeader) {
            m_view->setFocus(Qt::MouseFocusReason);
            setCurrentRow(at->y());
        }
        changed = m_selection.press(target, at->x(), at->y(), mouse->modifiers());
    } else if (event->type() == QEvent::MouseMove) {
        if (!(mouse->buttons() & Qt::LeftButton))
            return false; // hovering
        if (rowCount() == 0 || colCount() == 0)
            return true;
        scrollTowards(m_view, pos, frozenRight());
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
