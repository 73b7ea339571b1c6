#pragma once

#include "kit/KvrKitExport.h"

#include <QColor>
#include <QRect>

class QImage;
class QPainter;
class QPixmap;

// The drawing surface a grid lends to its cell-drawing event: a brush and
// the two operations the screens use. Outside a paint it draws nothing.
class KVRKIT_EXPORT TCanvas final
{
public:
    struct TBrush
    {
        QColor Color = Qt::white;
    };

    TBrush Brush;

    // Fills `rect` with the brush colour.
    void FillRect(const QRect &rect);
    // Copies the `source` part of `bitmap` to `dest` (same size, no
    // stretching; parts outside the bitmap are left alone). Pixels of the
    // `transparent` colour take the brush colour.
    void BrushCopy(const QRect &dest, const QImage &bitmap, const QRect &source,
                   const QColor &transparent);
    void BrushCopy(const QRect &dest, const QPixmap &bitmap, const QRect &source,
                   const QColor &transparent);

    QPainter *Painter() const { return m_painter; }
    // Set by the grid around each cell's drawing event.
    void SetPainter(QPainter *painter) { m_painter = painter; }

private:
    QPainter *m_painter = nullptr;
};
