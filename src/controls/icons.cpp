#include "icons.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

namespace {

// `ink` is the palette's text colour: the lines that stand on the background.
void drawChart(QPainter &p, const QColor &ink, const QRectF &r, bool withTrace)
{
    p.setPen(QPen(ink, 1.2));
    p.setBrush(QColor(16, 24, 40));
    p.drawRoundedRect(r, 2, 2);
    if (!withTrace)
        return;
    QPainterPath trace;
    trace.moveTo(r.left() + 2, r.bottom() - 4);
    trace.lineTo(r.left() + r.width() * 0.35, r.top() + r.height() * 0.45);
    trace.lineTo(r.left() + r.width() * 0.6, r.top() + r.height() * 0.65);
    trace.lineTo(r.right() - 2, r.top() + 3);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(80, 230, 120), 2));
    p.drawPath(trace);
}

void drawPrinter(QPainter &p, const QColor &ink)
{
    p.setPen(QPen(ink, 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 3, 14, 9));
    p.setBrush(QColor(150, 155, 165));
    p.drawRoundedRect(QRectF(4, 11, 24, 11), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9, 18, 14, 10));
    p.setPen(QPen(QColor(120, 120, 120), 1));
    p.drawLine(QPointF(11, 22), QPointF(21, 22));
    p.drawLine(QPointF(11, 25), QPointF(19, 25));
}

void paint(QPainter &p, IconKind kind, const QColor &ink)
{
    switch (kind) {
    case IconKind::App:
        drawChart(p, ink, QRectF(2, 4, 28, 24), true);
        break;
    case IconKind::Open: {
        p.setPen(QPen(ink, 1.2));
        p.setBrush(QColor(240, 200, 90));
        p.drawRect(QRectF(3, 9, 24, 18));
        p.setBrush(QColor(250, 220, 120));
        QPolygonF flap({QPointF(3, 27), QPointF(8, 14), QPointF(30, 14), QPointF(27, 27)});
        p.drawPolygon(flap);
        p.setBrush(QColor(240, 200, 90));
        p.drawRect(QRectF(3, 6, 9, 3));
        break;
    }
    case IconKind::Plot:
        drawChart(p, ink, QRectF(3, 5, 26, 22), true);
        break;
    case IconKind::Print:
    case IconKind::PrintTrend:
        drawPrinter(p, ink);
        if (kind == IconKind::PrintTrend) {
            p.setPen(QPen(QColor(40, 160, 80), 1.6));
            p.drawPolyline(QPolygonF({QPointF(10, 10), QPointF(14, 6), QPointF(18, 8), QPointF(22, 4)}));
        }
        break;
    case IconKind::CancelPlot:
        drawChart(p, ink, QRectF(3, 5, 26, 22), true);
        p.setPen(QPen(QColor(220, 40, 40), 3.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(9, 9), QPointF(23, 23));
        p.drawLine(QPointF(23, 9), QPointF(9, 23));
        break;
    case IconKind::Setup: {
        for (int i = 0; i < 3; ++i) {
            const qreal y = 8 + i * 8;
            p.setPen(QPen(ink, 2));
            p.drawLine(QPointF(5, y), QPointF(27, y));
            p.setPen(QPen(ink, 1));
            p.setBrush(QColor(i == 1 ? 80 : 230, i == 0 ? 80 : 180, i == 2 ? 80 : 230));
            const qreal x = 9 + i * 6;
            p.drawRoundedRect(QRectF(x - 3, y - 4, 6, 8), 1.5, 1.5);
        }
        break;
    }
    case IconKind::Cursor:
        drawChart(p, ink, QRectF(3, 5, 26, 22), true);
        p.setPen(QPen(QColor(255, 230, 0), 2, Qt::DashLine));
        p.drawLine(QPointF(17, 6), QPointF(17, 26));
        break;
    case IconKind::Statistics:
        // A small table: a header band and three rows of figures.
        p.setPen(QPen(ink, 1.2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 5, 24, 22));
        p.setBrush(QColor(60, 100, 190));
        p.drawRect(QRectF(4, 5, 24, 5));
        p.setPen(QPen(QColor(40, 40, 40), 1.6));
        for (int y = 14; y <= 24; y += 5) {
            p.drawLine(QPointF(7, y), QPointF(13, y));
            p.drawLine(QPointF(17, y), QPointF(25, y));
        }
        break;
    case IconKind::SaveJpeg:
        p.setPen(QPen(ink, 1.2));
        p.setBrush(QColor(60, 100, 190));
        p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(9, 4, 14, 9));
        p.setBrush(QColor(200, 210, 230));
        p.drawRect(QRectF(8, 17, 16, 11));
        p.setPen(QPen(QColor(40, 160, 80), 1.6));
        p.drawPolyline(QPolygonF({QPointF(10, 26), QPointF(14, 21), QPointF(18, 24), QPointF(22, 19)}));
        break;
    case IconKind::PrintPreview:
        p.setPen(QPen(ink, 1.2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(5, 3, 18, 24));
        p.setPen(QPen(QColor(150, 150, 150), 1));
        for (int y = 8; y <= 20; y += 4)
            p.drawLine(QPointF(8, y), QPointF(20, y));
        p.setPen(QPen(ink, 2.2));
        p.setBrush(QColor(200, 225, 255, 200));
        p.drawEllipse(QPointF(19, 18), 6, 6);
        p.setPen(QPen(ink, 3.5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(23.5, 22.5), QPointF(28, 27));
        break;
    case IconKind::ExportPdf:
        p.setPen(QPen(ink, 1.2));
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({QPointF(6, 3), QPointF(20, 3), QPointF(26, 9), QPointF(26, 29), QPointF(6, 29)}));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 30, 30));
        p.drawRect(QRectF(3, 15, 22, 9));
        p.setPen(QPen(Qt::white, 1.6));
        // "P", "D", "F" in strokes, so that no font is needed.
        p.drawPolyline(
            QPolygonF({QPointF(6, 23), QPointF(6, 16.5), QPointF(9, 16.5), QPointF(9, 19.5), QPointF(6, 19.5)}));
        p.drawPolygon(QPolygonF({QPointF(12, 16.5), QPointF(15, 16.5), QPointF(16.5, 18), QPointF(16.5, 21.5),
                                 QPointF(15, 23), QPointF(12, 23)}));
        p.drawPolyline(QPolygonF({QPointF(23, 16.5), QPointF(19.5, 16.5), QPointF(19.5, 23)}));
        p.drawLine(QPointF(19.5, 19.5), QPointF(22, 19.5));
        break;
    }
}

// Draws the picture whenever it is shown, in the palette of that moment.
class DrawnIconEngine final : public QIconEngine
{
public:
    explicit DrawnIconEngine(IconKind kind) : m_kind(kind) {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        painter->drawPixmap(rect, pixmap(rect.size() * scale, mode, state));
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        const QSize square = actualSize(size, mode, QIcon::Off);
        QPixmap picture(square);
        picture.fill(Qt::transparent);
        if (square.isEmpty())
            return picture;
        const QPalette palette = QGuiApplication::palette();
        {
            QPainter p(&picture);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(square.width() / 32.0, square.height() / 32.0);
            ::paint(p, m_kind, palette.color(QPalette::Active, QPalette::WindowText));
        }
        if (mode == QIcon::Disabled || mode == QIcon::Selected) {
            QStyleOption option;
            option.palette = palette;
            if (const QStyle *style = QApplication::style())
                return style->generatedIconPixmap(mode, picture, &option);
        }
        return picture;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return {{16, 16}, {24, 24}, {32, 32}, {48, 48}};
    }

    QIconEngine *clone() const override { return new DrawnIconEngine(m_kind); }
    QString key() const override { return QStringLiteral("drawn"); }

private:
    IconKind m_kind;
};

} // namespace

QIcon drawnIcon(IconKind kind)
{
    return QIcon(new DrawnIconEngine(kind));
}
