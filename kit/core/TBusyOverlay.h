#pragma once

#include "kit/KvrKitExport.h"

#include <QPointer>
#include <QWidget>

class QVariantAnimation;

// Translucent cover with a spinning arc and a caption, laid over a window
// (following its size) or shown as a small window of its own. The spinner
// runs on an animation timer, so it goes on while a local event loop that
// holds back user input waits.
class KVRKIT_EXPORT TBusyOverlay final : public QWidget
{
    Q_OBJECT
public:
    explicit TBusyOverlay(QWidget *cover, const QString &caption);
    ~TBusyOverlay() override;

    void SetCaption(const QString &caption);
    QString Caption() const { return m_caption; }
    qreal Angle() const { return m_angle; }
    bool Spinning() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void followCover();
    QRectF panelRect() const;
    QRectF ringRect() const;

    QPointer<QWidget> m_cover;
    QString m_caption;
    qreal m_angle = 0;
    QVariantAnimation *m_spin;
};
