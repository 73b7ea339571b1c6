#include "kit/grid/TCanvas.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>

void TCanvas::FillRect(const QRect &rect)
{
    if (m_painter)
        m_painter->fillRect(rect, Brush.Color);
}

void TCanvas::BrushCopy(const QRect &dest, const QImage &bitmap, const QRect &source,
                        const QColor &transparent)
{
    if (!m_painter || bitmap.isNull() || dest.isEmpty())
        return;
    const QRect part = source.intersected(bitmap.rect());
    if (part.isEmpty())
        return;
    QImage image = bitmap.copy(part).convertToFormat(QImage::Format_ARGB32);
    const QRgb key = transparent.rgb() & RGB_MASK;
    const QRgb brush = Brush.Color.rgba();
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if ((line[x] & RGB_MASK) == key)
                line[x] = brush;
    }
    m_painter->save();
    m_painter->setClipRect(dest, Qt::IntersectClip);
    m_painter->drawImage(dest.topLeft() + (part.topLeft() - source.topLeft()), image);
    m_painter->restore();
}

void TCanvas::BrushCopy(const QRect &dest, const QPixmap &bitmap, const QRect &source,
                        const QColor &transparent)
{
    BrushCopy(dest, bitmap.toImage(), source, transparent);
}
