#include "ui/Icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace chengfan::ui {

namespace {

// Drawn on a 16-unit grid and scaled, so every size shows the same picture.
QPixmap drawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1e, 0x5a, 0xc8));
    painter.drawRoundedRect(QRectF(0, 0, 16, 16), 3, 3);

    // The sail.
    QPainterPath sail;
    sail.moveTo(7.5, 2);
    sail.lineTo(7.5, 11);
    sail.lineTo(13, 11);
    sail.closeSubpath();
    painter.setBrush(Qt::white);
    painter.drawPath(sail);
    QPainterPath jib;
    jib.moveTo(6.5, 4);
    jib.lineTo(6.5, 11);
    jib.lineTo(3, 11);
    jib.closeSubpath();
    painter.drawPath(jib);

    // The hull.
    QPainterPath hull;
    hull.moveTo(2, 12);
    hull.lineTo(14, 12);
    hull.lineTo(12, 14.5);
    hull.lineTo(4, 14.5);
    hull.closeSubpath();
    painter.setBrush(QColor(0xf5, 0xa6, 0x23));
    painter.drawPath(hull);
    return pixmap;
}

}  // namespace

QIcon programIcon() {
    QIcon icon;
    icon.addPixmap(drawIcon(16));
    icon.addPixmap(drawIcon(32));
    return icon;
}

}  // namespace chengfan::ui
