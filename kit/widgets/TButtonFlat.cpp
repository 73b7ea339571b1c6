#include "kit/widgets/TButtonFlat.h"

#include "kit/core/Consiste.h"

TButtonFlat::TButtonFlat(QWidget *parent) : QToolButton(parent)
{
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus); // a tool button leaves the focus where it is
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setFixedSize(21, 21);
    setIconSize(QSize(16, 16));
    connect(this, &QToolButton::clicked, this, [this]() { DoClick(); });
}

void TButtonFlat::SetGlyph(const QPixmap &glyph)
{
    m_glyph = glyph;
    updateIcon();
}

void TButtonFlat::SetNumGlyphs(int count)
{
    m_numGlyphs = qMax(1, count);
    updateIcon();
}

void TButtonFlat::updateIcon()
{
    if (m_glyph.isNull()) {
        setIcon(QIcon());
        return;
    }
    const int width = m_glyph.width() / m_numGlyphs;
    QIcon icon(m_glyph.copy(0, 0, width, m_glyph.height()));
    if (m_numGlyphs > 1)
        icon.addPixmap(m_glyph.copy(width, 0, width, m_glyph.height()), QIcon::Disabled);
    setIcon(icon);
}

void TButtonFlat::Click()
{
    if (isEnabled())
        click();
}

void TButtonFlat::DoClick()
{
    if (OnClick)
        kvrGuard([this]() { OnClick(this); });
}
