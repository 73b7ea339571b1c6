#pragma once

#include "kit/KvrKitExport.h"

class QWidget;

// Kinds of the busy animation; the kind only changes the caption under the
// spinner. Screens pass Pesquisando (6) around their remote calls.
enum class TShowAvi {
    Aguarde = 0,
    Copiando = 1,
    Excluindo = 2,
    Gravando = 3,
    Imprimindo = 4,
    Conectando = 5,
    Pesquisando = 6,
    Processando = 7,
};

// Starts the busy animation over `form`'s window (the active window, or a
// small window of its own, when `form` is null) and the busy pointer. Starts
// nest: only the last matching stop ends the animation. It keeps painting
// while a synchronous remote call waits.
KVRKIT_EXPORT void ActiveShowAvi(QWidget *form, TShowAvi kind);
// Ends one start; harmless when no animation runs.
KVRKIT_EXPORT void DeactiveShowAvi();

// How many starts are open (0 when no animation runs), and the animated
// widget while one runs.
KVRKIT_EXPORT int ShowAviDepth();
KVRKIT_EXPORT QWidget *ShowAviWidget();

// The busy animation for the life of the object: a failure that unwinds
// through the scope still ends its start.
class KVRKIT_EXPORT TShowAviScope final
{
public:
    TShowAviScope(QWidget *form, TShowAvi kind) { ActiveShowAvi(form, kind); }
    ~TShowAviScope() { DeactiveShowAvi(); }
    TShowAviScope(const TShowAviScope &) = delete;
    TShowAviScope &operator=(const TShowAviScope &) = delete;
};
