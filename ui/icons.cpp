#include "ui/icons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

void drawPage(QPainter& p, const QColor& fold) {
    QPainterPath page;
    page.moveTo(8, 3);
    page.lineTo(19, 3);
    page.lineTo(25, 9);
    page.lineTo(25, 29);
    page.lineTo(8, 29);
    page.closeSubpath();
    p.setPen(QPen(QColor(90, 90, 90), 1.2));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setBrush(fold);
    p.drawPolygon(QPolygonF({QPointF(19, 3), QPointF(19, 9), QPointF(25, 9)}));
    p.setPen(QPen(QColor(160, 160, 160), 1));
    for (int y = 13; y <= 25; y += 4)
        p.drawLine(11, y, 22, y);
}

void drawFolder(QPainter& p) {
    p.setPen(QPen(QColor(150, 110, 20), 1.2));
    p.setBrush(QColor(240, 200, 80));
    p.drawRoundedRect(QRectF(3, 7, 12, 6), 1.5, 1.5);
    p.setBrush(QColor(250, 215, 100));
    p.drawRoundedRect(QRectF(3, 10, 26, 18), 2, 2);
}

void drawGlobe(QPainter& p, const QColor& color) {
    p.setPen(QPen(color.darker(150), 1.5));
    p.setBrush(color);
    p.drawEllipse(QRectF(4, 4, 24, 24));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 1.2));
    p.drawEllipse(QRectF(11, 4, 10, 24));
    p.drawLine(QPointF(4, 16), QPointF(28, 16));
    p.drawLine(QPointF(6, 10), QPointF(26, 10));
    p.drawLine(QPointF(6, 22), QPointF(26, 22));
}

void drawPlus(QPainter& p) {
    p.setPen(QPen(QColor(20, 130, 20), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(24, 18), QPointF(24, 30));
    p.drawLine(QPointF(18, 24), QPointF(30, 24));
}

// An arrow up (uploads) or down (downloads).
void drawUpDown(QPainter& p, bool up) {
    p.setPen(Qt::NoPen);
    p.setBrush(up ? QColor(30, 110, 210) : QColor(30, 150, 60));
    const qreal tip = up ? 3 : 29, back = up ? 15 : 17;
    p.drawPolygon(
        QPolygonF({QPointF(16, tip), QPointF(4, back), QPointF(11, back), QPointF(11, 32 - tip),
                   QPointF(21, 32 - tip), QPointF(21, back), QPointF(28, back)}));
}

void drawBox(QPainter& p, bool plus) {
    p.setPen(QPen(QColor(80, 80, 80), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5, 5, 22, 22));
    p.setPen(QPen(QColor(30, 30, 30), 3));
    p.drawLine(QPointF(10, 16), QPointF(22, 16));
    if (plus) p.drawLine(QPointF(16, 10), QPointF(16, 22));
}

void drawIcon(QPainter& p, TIcon kind) {
    switch (kind) {
    case TIcon::File:
        drawPage(p, QColor(220, 220, 220));
        break;
    case TIcon::Folder:
        drawFolder(p);
        break;
    case TIcon::Site:
        drawGlobe(p, QColor(40, 110, 200));
        break;
    case TIcon::NewSite:
        drawGlobe(p, QColor(120, 160, 210));
        drawPlus(p);
        break;
    case TIcon::QuickConnect: {
        p.setPen(QPen(QColor(160, 110, 0), 1.2));
        p.setBrush(QColor(255, 200, 0));
        p.drawPolygon(QPolygonF({QPointF(18, 2), QPointF(7, 18), QPointF(15, 18), QPointF(12, 30),
                                 QPointF(25, 12), QPointF(17, 12)}));
        break;
    }
    case TIcon::Edit:
        drawPage(p, QColor(220, 220, 220));
        p.setPen(QPen(QColor(200, 80, 20), 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(14, 26), QPointF(28, 10));
        break;
    case TIcon::Delete:
        p.setPen(QPen(QColor(200, 30, 30), 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(7, 7), QPointF(25, 25));
        p.drawLine(QPointF(25, 7), QPointF(7, 25));
        break;
    case TIcon::Connect:
    case TIcon::Disconnect: {
        const QColor c = kind == TIcon::Connect ? QColor(30, 150, 40) : QColor(170, 170, 170);
        p.setPen(QPen(c.darker(140), 1.2));
        p.setBrush(c);
        p.drawRect(QRectF(4, 12, 10, 8));
        p.drawRect(QRectF(18, 12, 10, 8));
        p.setPen(QPen(c.darker(140), 3));
        if (kind == TIcon::Connect) p.drawLine(QPointF(14, 16), QPointF(18, 16));
        break;
    }
    case TIcon::ViewStyle:
        p.setPen(QPen(QColor(60, 60, 120), 1));
        p.setBrush(QColor(120, 140, 220));
        for (int x : {4, 18})
            for (int y : {4, 18})
                p.drawRect(QRectF(x, y, 10, 10));
        break;
    case TIcon::Help: {
        p.setPen(QPen(QColor(20, 60, 160), 1.5));
        p.setBrush(QColor(60, 120, 230));
        p.drawEllipse(QRectF(3, 3, 26, 26));
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(20);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, QStringLiteral("?"));
        break;
    }
    case TIcon::Browse:
        drawFolder(p);
        p.setPen(QPen(QColor(60, 60, 60), 2));
        for (int x : {10, 16, 22})
            p.drawPoint(QPointF(x, 20));
        break;
    case TIcon::Options:
        p.setPen(QPen(QColor(80, 80, 80), 5, Qt::SolidLine, Qt::RoundCap));
        for (int i = 0; i < 4; ++i) {
            p.save();
            p.translate(16, 16);
            p.rotate(45.0 * i);
            p.drawLine(QPointF(-11, 0), QPointF(11, 0));
            p.restore();
        }
        p.setBrush(QColor(200, 200, 200));
        p.setPen(QPen(QColor(80, 80, 80), 2));
        p.drawEllipse(QRectF(9, 9, 14, 14));
        break;
    case TIcon::LogSent:
    case TIcon::LogReceived: {
        // Sent lines point right (out to the server), received lines point left.
        const bool sent = kind == TIcon::LogSent;
        p.setPen(Qt::NoPen);
        p.setBrush(sent ? QColor(30, 110, 210) : QColor(30, 150, 60));
        const qreal tip = sent ? 28 : 4, back = sent ? 12 : 20;
        p.drawPolygon(
            QPolygonF({QPointF(tip, 16), QPointF(back, 5), QPointF(back, 11), QPointF(32 - tip, 11),
                       QPointF(32 - tip, 21), QPointF(back, 21), QPointF(back, 27)}));
        break;
    }
    case TIcon::Back:
        p.setPen(QPen(QColor(30, 90, 180), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawLine(QPointF(16, 26), QPointF(16, 7));
        p.drawPolyline(QPolygonF({QPointF(8, 14), QPointF(16, 6), QPointF(24, 14)}));
        break;
    case TIcon::Refresh: {
        p.setPen(QPen(QColor(30, 140, 60), 4, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(6, 6, 20, 20), 60 * 16, 280 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 140, 60));
        p.drawPolygon(QPolygonF({QPointF(18, 2), QPointF(27, 8), QPointF(18, 13)}));
        break;
    }
    case TIcon::Upload:
    case TIcon::Download:
        drawUpDown(p, kind == TIcon::Upload);
        break;
    case TIcon::Day:
        p.setPen(QPen(QColor(90, 90, 90), 1.2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4, 6, 24, 22));
        p.setBrush(QColor(200, 50, 50));
        p.drawRect(QRectF(4, 6, 24, 6));
        p.setPen(QPen(QColor(120, 120, 120), 2));
        for (int x : {9, 16, 23})
            for (int y : {17, 23})
                p.drawPoint(QPointF(x, y));
        break;
    case TIcon::Execute:
        p.setPen(QPen(QColor(20, 110, 30), 1.2));
        p.setBrush(QColor(40, 170, 60));
        p.drawPolygon(QPolygonF({QPointF(8, 4), QPointF(27, 16), QPointF(8, 28)}));
        break;
    case TIcon::Expand:
    case TIcon::Collapse:
        drawBox(p, kind == TIcon::Expand);
        break;
    case TIcon::Bookmark:
        p.setPen(QPen(QColor(150, 30, 30), 1.2));
        p.setBrush(QColor(220, 60, 60));
        p.drawPolygon(QPolygonF(
            {QPointF(8, 3), QPointF(24, 3), QPointF(24, 29), QPointF(16, 22), QPointF(8, 29)}));
        break;
    case TIcon::Task:
        drawPage(p, QColor(220, 220, 220));
        p.setPen(QPen(QColor(30, 140, 60), 3, Qt::SolidLine, Qt::RoundCap));
        p.drawPolyline(QPolygonF({QPointF(11, 18), QPointF(15, 23), QPointF(23, 12)}));
        break;
    case TIcon::LogError:
        p.setPen(QPen(QColor(150, 20, 20), 1.5));
        p.setBrush(QColor(220, 40, 40));
        p.drawEllipse(QRectF(4, 4, 24, 24));
        p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(16, 9), QPointF(16, 18));
        p.drawPoint(QPointF(16, 23));
        break;
    }
}

} // namespace

QIcon TIcons::Get(TIcon kind) {
    static QHash<int, QIcon> drawn;
    const int key = static_cast<int>(kind);
    auto found = drawn.constFind(key);
    if (found != drawn.constEnd()) return *found;
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        drawIcon(painter, kind);
    }
    QIcon icon(pixmap);
    drawn.insert(key, icon);
    return icon;
}
