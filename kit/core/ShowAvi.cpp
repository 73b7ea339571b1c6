#include "kit/core/ShowAvi.h"

#include "kit/core/ScreenCursor.h"
#include "kit/core/TBusyOverlay.h"

#include <QApplication>
#include <QPointer>

namespace {

struct AviState
{
    int depth = 0;
    int savedCursor = 0;
    QPointer<TBusyOverlay> overlay;
};

AviState &state()
{
    static AviState s;
    return s;
}

QString captionOf(TShowAvi kind)
{
    switch (kind) {
    case TShowAvi::Copiando:
        return QStringLiteral("Copiando...");
    case TShowAvi::Excluindo:
        return QStringLiteral("Excluindo...");
    case TShowAvi::Gravando:
        return QStringLiteral("Gravando...");
    case TShowAvi::Imprimindo:
        return QStringLiteral("Imprimindo...");
    case TShowAvi::Conectando:
        return QStringLiteral("Conectando...");
    case TShowAvi::Pesquisando:
        return QStringLiteral("Pesquisando...");
    case TShowAvi::Processando:
        return QStringLiteral("Processando...");
    case TShowAvi::Aguarde:
        break;
    }
    return QStringLiteral("Aguarde...");
}

} // namespace

void ActiveShowAvi(QWidget *form, TShowAvi kind)
{
    AviState &s = state();
    if (s.depth++ > 0) {
        if (s.overlay)
            s.overlay->SetCaption(captionOf(kind));
        return;
    }
    QWidget *cover = form ? form->window() : QApplication::activeWindow();
    s.overlay = new TBusyOverlay(cover, captionOf(kind));
    s.savedCursor = ScreenCursor();
    SetScreenCursor(-11);
}

void DeactiveShowAvi()
{
    AviState &s = state();
    if (s.depth == 0)
        return;
    if (--s.depth > 0)
        return;
    delete s.overlay.data();
    SetScreenCursor(s.savedCursor);
}

int ShowAviDepth()
{
    return state().depth;
}

QWidget *ShowAviWidget()
{
    return state().overlay.data();
}
