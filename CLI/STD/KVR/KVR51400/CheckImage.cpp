#include "CLI/STD/KVR/KVR51400/CheckImage.h"

#include <QPainter>

QColor CheckImageBackground()
{
    return QColor(128, 128, 0);
}

QPixmap CheckImage(bool checked)
{
    QPixmap image(16, 16);
    image.fill(CheckImageBackground());
    QPainter painter(&image);
    painter.fillRect(QRect(2, 2, 12, 12), Qt::white);
    painter.setPen(Qt::black);
    painter.drawLine(2, 2, 13, 2);
    painter.drawLine(2, 2, 2, 13);
    painter.setPen(QColor(192, 192, 192));
    painter.drawLine(14, 2, 14, 14);
    painter.drawLine(2, 14, 14, 14);
    if (checked) {
        painter.setPen(QPen(Qt::black, 2));
        painter.drawLine(4, 8, 7, 11);
        painter.drawLine(7, 11, 12, 5);
    }
    return image;
}
