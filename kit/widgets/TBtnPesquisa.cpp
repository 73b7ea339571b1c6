#include "kit/widgets/TBtnPesquisa.h"

#include "kit/core/Consiste.h"
#include "kit/data/TDataSource.h"
#include "kit/search/TfrmPesquisa.h"

#include <QPainter>

namespace {

QPixmap magnifier()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(40, 40, 40), 2));
    painter.drawEllipse(QRectF(2, 2, 8, 8));
    painter.setPen(QPen(QColor(40, 40, 40), 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(10, 10), QPointF(14, 14));
    return pixmap;
}

} // namespace

TBtnPesquisa::TBtnPesquisa(QWidget *parent) : TButtonFlat(parent)
{
    SetGlyph(magnifier());
    SetHint(QStringLiteral("Pesquisar"));
}

void TBtnPesquisa::DoClick()
{
    if (OnClick) {
        TButtonFlat::DoClick();
        return;
    }
    kvrGuard([this]() { search(); });
}

void TBtnPesquisa::search()
{
    bool allow = true;
    if (OnBeforePesq)
        OnBeforePesq(this, allow);
    if (!allow)
        return;
    if (!m_dataSource)
        throw EKvrError(
            QStringLiteral("O botão de pesquisa %1 não tem fonte de dados.").arg(objectName()));
    if (!Pesquisar(m_dataSource, m_title, false, true))
        return;
    if (OnAfterPesq)
        OnAfterPesq(this);
    // The picked value usually lands in the associated control: go on there.
    if (m_associate && m_associate->isEnabled() && m_associate->isVisible())
        m_associate->setFocus(Qt::OtherFocusReason);
}
