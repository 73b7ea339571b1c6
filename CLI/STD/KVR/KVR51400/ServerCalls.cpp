#include "CLI/STD/KVR/KVR51400/ServerCalls.h"

#include "kit/core/Consiste.h"
#include "kit/data/TClientDataSet.h"
#include "kit/net/TNetConnection.h"

QVariant CallServer(TNetConnection *connection, const QString &method, const QVariantList &args)
{
    if (!connection)
        MensErro(QStringLiteral("A tela de Consistências Fiscais não está aberta: não há conexão "
                                "com o servidor de aplicação."),
                 true);
    return CheckResultServ(connection->AppServer().Call(method, args), true, 0);
}

void LoadFromServer(TNetConnection *connection, TClientDataSet *target, const QString &method,
                    const QVariantList &args)
{
    target->SetData(CallServer(connection, method, args));
}
