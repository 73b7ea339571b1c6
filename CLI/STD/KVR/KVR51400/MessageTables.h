#pragma once

#include <QStringList>

// Contents of the screens' message tables, as "KEY|text" lines for
// TMessages::SetMessages. Texts are shown to the user exactly as written.
class MessageTables final
{
public:
    MessageTables() = delete;

    // msgPadrao of the maintenance screen: messages and code texts (30 rows).
    static QStringList MaintenancePadrao();
    // msgPadrao of the automatic registration screen (19 rows).
    static QStringList AutomaticPadrao();
    // msgCST of both screens: "IMP<NF-e code>" gives the CST family prefix,
    // "<family><CST>" the CST text (95 rows).
    static QStringList Cst();
};
