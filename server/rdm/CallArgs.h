#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace kvr::server {

class Params;

// The arguments of the module's nine calls, one struct a call, each read once
// from the call's positional array: a wrong count or type is thrown as an
// invalid-params error (-32602) before any work starts. They share a file as
// one table of the module's signatures.

struct GetConsistenciasArgs
{
    static QString method() { return QStringLiteral("getConsistencias"); }
    static constexpr int Count = 1;
    static GetConsistenciasArgs read(const Params &params);

    QString tax;
};

struct GetImpostoArgs
{
    static QString method() { return QStringLiteral("getImposto"); }
    static constexpr int Count = 2;
    static GetImpostoArgs read(const Params &params);

    QString tax;
    QString filter; // "T" for every tax, "" for `tax` only

    bool allTaxes() const { return filter == QLatin1String("T"); }
};

struct GetCfopArgs
{
    static QString method() { return QStringLiteral("getCFOP"); }
    static constexpr int Count = 0;
    static GetCfopArgs read(const Params &params);
};

struct GetVdCfopArgs
{
    static QString method() { return QStringLiteral("getVdCFOP"); }
    static constexpr int Count = 1;
    static GetVdCfopArgs read(const Params &params);

    QString cfop;
};

struct VdConArgs
{
    static QString method() { return QStringLiteral("vdCon"); }
    static constexpr int Count = 2;
    static VdConArgs read(const Params &params);

    QString tax;
    QString number;
};

struct VdConsistenciasArgs
{
    static QString method() { return QStringLiteral("vdConsistencias"); }
    static constexpr int Count = 6;
    static VdConsistenciasArgs read(const Params &params);

    QString tax;
    QString cfop;
    QString cst;
    QString fiscal;
    QString blocked;
    QString number; // the rule being edited, "" for a new one
};

struct SetConsistenciaArgs
{
    static QString method() { return QStringLiteral("setConsistencia"); }
    static constexpr int Count = 1;
    static SetConsistenciaArgs read(const Params &params);

    // Read into records by RuleDelta, after the size and insert checks.
    QJsonObject delta;
};

struct CadAutoAtualizaArgs
{
    static QString method() { return QStringLiteral("cadAutoAtualiza"); }
    static constexpr int Count = 6;
    static CadAutoAtualizaArgs read(const Params &params);

    QString tax;
    QString first; // a range of rule numbers...
    QString last;
    QString list; // ...or the numbers picked, joined by ","
    // The new value of each field the call changes; an absent one is kept.
    std::optional<QString> cst;
    std::optional<QString> cfop;
    std::optional<QString> fiscal;
    std::optional<QString> taxValueSign;
    std::optional<QString> baseSign;
    std::optional<QString> rateSign;
    std::optional<QString> checksAtEntry; // one flag sets both checks
    std::optional<QString> checksAtApproval;

    bool byRange() const { return !first.isEmpty() || !last.isEmpty(); }
    bool byList() const { return !list.isEmpty(); }
    // Writes the changed fields into a rule row.
    void applyTo(QStringList &row) const;
};

struct CadAutoInsereArgs
{
    static QString method() { return QStringLiteral("cadAutoInsere"); }
    static constexpr int Count = 12;
    static CadAutoInsereArgs read(const Params &params);

    QString tax;
    QString firstCst; // both "" for any CST
    QString lastCst;
    QString firstCfop; // both "" for any CFOP
    QString lastCfop;
    QString baseSign;
    QString taxValueSign;
    QString rateSign;
    QString atEntry;
    QString atApproval;
    QString fiscal;
    QString blocked;
};

struct GetHistoricoArgs
{
    static QString method() { return QStringLiteral("getHistorico"); }
    static constexpr int Count = 2;
    static GetHistoricoArgs read(const Params &params);

    QString tax;
    QString number; // "" for every rule of the tax
};

} // namespace kvr::server
