#pragma once

#include <QString>

class CstRoutines;
class TMessages;

// Texts the automatic registration screen shows for the coded fields of a
// rule. Its msgPadrao has no "Todos": an empty or "0" code shows nothing.
class AutomaticDisplay final
{
public:
    AutomaticDisplay() = delete;

    static QString FiscalCode(const TMessages &msgPadrao, const QString &code);
    static QString Sign(const TMessages &msgPadrao, const QString &code);
    static QString Cst(const CstRoutines &cst, const QString &code);
};
