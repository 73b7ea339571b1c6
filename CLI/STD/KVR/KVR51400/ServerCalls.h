#pragma once

#include "kit/core/MainForm.h"
#include "kit/core/ShowAvi.h"

#include <QMainWindow>

// The busy animation of kind 6 over the application's main form for the
// life of the object: a failure that unwinds through it still stops it.
class TBusyScope final
{
    TShowAviScope m_scope{MainForm(), TShowAvi::Pesquisando};
};
