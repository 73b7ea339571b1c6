#pragma once

#include "kit/core/MainForm.h"
#include "kit/core/ShowAvi.h"

#include <QMainWindow>
#include <QString>
#include <QVariant>
#include <QVariantList>

class TClientDataSet;
class TNetConnection;

// The busy animation of kind 6 over the application's main form for the
// life of the object: a failure that unwinds through it still stops it.
class TBusyScope final
{
    TShowAviScope m_scope{MainForm(), TShowAvi::Pesquisando};
};

// Calls `method` on the connection's server object and passes the reply
// through CheckResultServ(true, 0): a failure is shown and ends the action
// (EAbort). A missing connection (the maintenance screen is gone) is refused
// with a message before anything is sent.
QVariant CallServer(TNetConnection *connection, const QString &method,
                    const QVariantList &args = {});
// The same, loading the returned packet into `target`; on failure `target`
// keeps what it held.
void LoadFromServer(TNetConnection *connection, TClientDataSet *target, const QString &method,
                    const QVariantList &args = {});
