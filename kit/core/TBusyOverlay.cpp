#include "kit/core/TBusyOverlay.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>
#include <QVariantAnimation>

namespace {

constexpr int PanelWidth = 220;
constexpr int PanelHeight = 120;

} // namespace

TBusyOverlay::TBusyOverlay(QWidget *cover, const QString &caption)
    : QWidget(cover), m_cover(cover), m_caption(caption), m_spin(new QVariantAnimation(this))
{
    setObjectName(QStringLiteral("kvrBusyOverlay"));
    setAttribute(Qt::WA_TranslucentBackground);
    if (cover) {
        cover->installEventFilter(this);
        followCover();
    } else {
        setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        resize(PanelWidth, PanelHeight);
        if (QScreen *screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    m_spin->setStartValue(0.0);
    m_spin->setEndValue(360.0);
    m_spin->setDuration(900);
    m_spin->setLoopCount(-1);
    connect(m_spin, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_angle = value.toReal();
        // Only the ring moves: repainting the whole cover would repaint the
        // screen beneath it (a large grid) at every frame of a long call.
        update(ringRect().toAlignedRect().adjusted(-4, -4, 4, 4));
    });
    m_spin->start();
    show();
    raise();
    // Paint once right away: the caller usually blocks next.
    repaint();
}

TBusyOverlay::~TBusyOverlay()
{
    if (m_cover)
        m_cover->removeEventFilter(this);
}

void TBusyOverlay::SetCaption(const QString &caption)
{
    m_caption = caption;
    update();
}

bool TBusyOverlay::Spinning() const
{
    return m_spin->state() == QAbstractAnimation::Running;
}

void TBusyOverlay::followCover()
{
    if (!m_cover)
        return;
    setGeometry(m_cover->rect());
    // Only the panel is drawn: showing, spinning and hiding then repaint that
    // part of the screen beneath, not all of it (a large grid costs).
    setMask(QRegion(panelRect().toAlignedRect().adjusted(-1, -1, 1, 1)));
}

bool TBusyOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_cover) {
        if (event->type() == QEvent::Resize)
            followCover();
        else if (event->type() == QEvent::ChildAdded)
            raise(); // stay above widgets added while busy
    }
    return QWidget::eventFilter(watched, event);
}

QRectF TBusyOverlay::panelRect() const
{
    QRectF panel(0, 0, PanelWidth, PanelHeight);
    panel.moveCenter(QRectF(rect()).center());
    return panel;
}

QRectF TBusyOverlay::ringRect() const
{
    const QRectF panel = panelRect();
    return QRectF(panel.center().x() - 20, panel.top() + 18, 40, 40);
}

void TBusyOverlay::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF panel = panelRect();
    QPainterPath path;
    path.addRoundedRect(panel, 8, 8);
    const QPalette pal = QApplication::palette();
    painter.fillPath(path, pal.color(QPalette::Window));
    painter.setPen(QPen(pal.color(QPalette::Mid), 1));
    painter.drawPath(path);

    const QRectF ring = ringRect();
    painter.setPen(QPen(pal.color(QPalette::Midlight), 5));
    painter.drawEllipse(ring);
    QPen arc(pal.color(QPalette::Highlight), 5);
    arc.setCapStyle(Qt::RoundCap);
    painter.setPen(arc);
    // Qt angles are in 1/16 degree, counter-clockwise: negate to spin clockwise.
    painter.drawArc(ring, static_cast<int>(-m_angle * 16), 100 * 16);

    painter.setPen(pal.color(QPalette::WindowText));
    const QRectF text(panel.left(), ring.bottom() + 10, panel.width(), 30);
    painter.drawText(text, Qt::AlignHCenter | Qt::AlignTop, m_caption);
}
