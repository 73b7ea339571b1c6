#pragma once

#include <QString>

#include <optional>

class CstRoutines;
class TMessages;

// Texts the maintenance screen shows for the coded fields of a rule, from
// its msgPadrao. "Todos" stands for an empty code (any value).
class MaintenanceDisplay final
{
public:
    MaintenanceDisplay() = delete;

    // IDENTRSAIDOP: "E", "S", "T"; anything else is the empty text (the
    // direction has no "Todos").
    static QString Direction(const TMessages &msgPadrao, const QString &code);
    // CDFISCOPER: the code unchanged.
    static QString Cfop(const TMessages &msgPadrao, const QString &code);
    // CDCST1DIGT: the origin text of "0" to "8".
    static QString FirstCstDigit(const TMessages &msgPadrao, const QString &code);
    // CDSITUTRIB: the CST text under the current tax.
    static QString Cst(const TMessages &msgPadrao, const CstRoutines &cst, const QString &code);
    // CDFISCAL: "1" to "3"; "0", the stored form of an empty code, is "Todos".
    static QString FiscalCode(const TMessages &msgPadrao, const QString &code);
    // IDTPBASECALC, IDTPALIQUOTA, IDTPVRIMPOSTO: "1" to "4"; "0" is "Todos".
    static QString Sign(const TMessages &msgPadrao, const QString &code);
    // CDTPCREDPICOITE: applies only to rules of tax "50" or "60".
    static QString CreditType(const TMessages &msgPadrao, const QString &code,
                              const QString &ruleTaxCode);

    // The grid's text of any coded rule field by its name; none for a field
    // the grid shows as stored.
    static std::optional<QString> OfField(const TMessages &msgPadrao, const CstRoutines &cst,
                                          const QString &field, const QString &code,
                                          const QString &ruleTaxCode);
};
