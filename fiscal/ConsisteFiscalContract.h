#pragma once

#include "fiscal/RemoteCall.h"
#include "fiscal/Replies.h"
#include "fiscal/SimulationReplies.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <tuple>

namespace kvr::fiscal {

// The calls of the remote data module "kvr51400.rdmConsisteFiscal", one
// struct a call, all in this one table: the server reads its arguments and
// binds its handlers from it, the screens call through it, and nothing else
// spells a method name or an argument position. A new call is one struct
// here, one entry in ConsisteFiscalContract::Calls and its server handler.

struct GetConsistencias
{
    static QString name() { return QStringLiteral("getConsistencias"); }
    using Reply = PacketReply; // RuleRecord rows

    QString tax;

    static constexpr auto arguments()
    {
        return std::make_tuple(byRef("tax", &GetConsistencias::tax));
    }
};

struct GetImposto
{
    static QString name() { return QStringLiteral("getImposto"); }
    using Reply = PacketReply; // TaxRecord rows

    QString tax;
    QString filter; // "T" for every tax, "" for `tax` only

    static constexpr auto arguments()
    {
        return std::make_tuple(byValue("tax", &GetImposto::tax),
                               byValue("filter", &GetImposto::filter));
    }
    bool allTaxes() const { return filter == QLatin1String("T"); }
};

struct GetCfop
{
    static QString name() { return QStringLiteral("getCFOP"); }
    using Reply = PacketReply; // CfopRecord rows, every CFOP

    static constexpr auto arguments() { return std::make_tuple(); }
};

struct GetVdCfop
{
    static QString name() { return QStringLiteral("getVdCFOP"); }
    using Reply = PacketReply; // the CfopRecord row of `cfop`, or none

    QString cfop;

    static constexpr auto arguments() { return std::make_tuple(byValue("cfop", &GetVdCfop::cfop)); }
};

struct VdCon
{
    static QString name() { return QStringLiteral("vdCon"); }
    using Reply = PacketReply; // the RuleRecord row of the rule, or none

    QString tax;
    QString number;

    static constexpr auto arguments()
    {
        return std::make_tuple(byValue("tax", &VdCon::tax), byValue("number", &VdCon::number));
    }
};

struct VdConsistencias
{
    static QString name() { return QStringLiteral("vdConsistencias"); }
    using Reply = VerdictReply; // registered by another rule

    QString tax;
    QString cfop;
    QString cst;
    QString fiscal;
    QString blocked;
    QString number; // the rule being edited, "" for a new one

    static constexpr auto arguments()
    {
        using C = VdConsistencias;
        return std::make_tuple(byValue("tax", &C::tax), byValue("CDFISCOPER", &C::cfop),
                               byValue("CDSITUTRIB", &C::cst), byValue("CDFISCAL", &C::fiscal),
                               byValue("IDBLOQADMI", &C::blocked),
                               byValue("NRSEQCONSISTE", &C::number));
    }
};

struct SetConsistencia
{
    static QString name() { return QStringLiteral("setConsistencia"); }
    using Reply = AffectedReply;

    protocol::DeltaData delta;

    static constexpr auto arguments()
    {
        return std::make_tuple(byValue("delta", &SetConsistencia::delta));
    }
};

struct CadAutoAtualiza
{
    static QString name() { return QStringLiteral("cadAutoAtualiza"); }
    using Reply = AffectedReply;

    // The attributes the call can change, in the order of `values`.
    enum Value {
        Cst,
        Cfop,
        Fiscal,
        TaxValueSign,
        BaseSign,
        RateSign,
        AtEntry,
        AtApproval,
        ValueCount
    };
    // One flag an attribute, except the last, which sets both checks.
    static constexpr int FlagCount = 7;

    QString tax;
    QString first; // a range of rule numbers...
    QString last;
    QString list; // ...or the numbers picked, joined by ","
    QList<bool> flags = QList<bool>(FlagCount, false);
    QStringList values = QStringList(ValueCount);

    static constexpr auto arguments()
    {
        using C = CadAutoAtualiza;
        return std::make_tuple(byValue("tax", &C::tax), byRef("first", &C::first),
                               byRef("last", &C::last), byRef("list", &C::list),
                               byValue("flags", &C::flags, FlagCount),
                               byValue("values", &C::values, int(ValueCount)));
    }

    // Sends `text` as the attribute's value, applied or not.
    void set(Value value, const QString &text, bool apply);
    // The attribute's new value; none when the call keeps it.
    std::optional<QString> change(Value value) const;
    bool byRange() const { return !first.isEmpty() || !last.isEmpty(); }
    bool byList() const { return !list.isEmpty(); }
    // Writes the changed attributes into a RuleRecord row.
    void applyTo(QStringList &row) const;
};

struct CadAutoInsere
{
    static QString name() { return QStringLiteral("cadAutoInsere"); }
    using Reply = AffectedReply;

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

    static constexpr auto arguments()
    {
        using C = CadAutoInsere;
        return std::make_tuple(byValue("tax", &C::tax), byRef("firstCst", &C::firstCst),
                               byRef("lastCst", &C::lastCst), byValue("firstCfop", &C::firstCfop),
                               byValue("lastCfop", &C::lastCfop), byRef("baseSign", &C::baseSign),
                               byRef("taxValueSign", &C::taxValueSign),
                               byRef("rateSign", &C::rateSign), byRef("atEntry", &C::atEntry),
                               byRef("atApproval", &C::atApproval), byRef("fiscal", &C::fiscal),
                               byRef("blocked", &C::blocked));
    }
};

// The history of changes of one rule, or of every rule of a tax (number "").
struct GetHistorico
{
    static QString name() { return QStringLiteral("getHistorico"); }
    using Reply = PacketReply; // history rows, newest first

    QString tax;
    QString number;

    static constexpr auto arguments()
    {
        return std::make_tuple(byValue("tax", &GetHistorico::tax),
                               byValue("number", &GetHistorico::number));
    }
};

// Rules from a spreadsheet into one tax, all or none.
struct ImportaConsistencias
{
    static QString name() { return QStringLiteral("importaConsistencias"); }
    using Reply = AffectedReply;

    QString tax;
    DataPacket rules; // RuleRecord fields, and NRLINHA for the file's line numbers

    static constexpr auto arguments()
    {
        using C = ImportaConsistencias;
        return std::make_tuple(byValue("tax", &C::tax), byValue("rules", &C::rules));
    }
};

struct SimulaConsistencia
{
    static QString name() { return QStringLiteral("simulaConsistencia"); }
    using Reply = SimulationReply;

    // The invoice line, for one tax and one stage ("L" entry, "A" approval).
    QString tax;
    QString stage;
    QString direction; // "E" or "S"
    QString cfop;
    QString cst1;
    QString cst;
    QString fiscal;    // "1" to "3"
    QString baseSign;  // "1" below zero, "2" zero, "3" above zero
    QString rateSign;  // the same
    QString valueSign; // the same
    QString credit;

    static constexpr auto arguments()
    {
        using C = SimulaConsistencia;
        return std::make_tuple(
            byValue("tax", &C::tax), byValue("stage", &C::stage),
            byValue("IDENTRSAIDOP", &C::direction), byValue("CDFISCOPER", &C::cfop),
            byValue("CDCST1DIGT", &C::cst1), byValue("CDSITUTRIB", &C::cst),
            byValue("CDFISCAL", &C::fiscal), byValue("IDTPBASECALC", &C::baseSign),
            byValue("IDTPALIQUOTA", &C::rateSign), byValue("IDTPVRIMPOSTO", &C::valueSign),
            byValue("CDTPCREDPICOITE", &C::credit));
    }
};

struct GetConflitos
{
    static QString name() { return QStringLiteral("getConflitos"); }
    using Reply = FindingsReply; // FindingRecord rows

    QString tax;

    static constexpr auto arguments()
    {
        return std::make_tuple(byValue("tax", &GetConflitos::tax));
    }
};

struct GetMapa
{
    static QString name() { return QStringLiteral("getMapa"); }
    using Reply = PacketReply; // MapRecord rows

    QString tax;
    QString stage;
    QString direction;

    static constexpr auto arguments()
    {
        return std::make_tuple(byValue("tax", &GetMapa::tax), byValue("stage", &GetMapa::stage),
                               byValue("direction", &GetMapa::direction));
    }
};

// The remote data module: its name on the wire and its calls.
struct ConsisteFiscalContract
{
    static QString objectName() { return QStringLiteral("kvr51400.rdmConsisteFiscal"); }

    using Calls =
        std::tuple<GetConsistencias, GetImposto, GetCfop, GetVdCfop, VdCon, VdConsistencias,
                   SetConsistencia, CadAutoAtualiza, CadAutoInsere, GetHistorico,
                   ImportaConsistencias, SimulaConsistencia, GetConflitos, GetMapa>;

    // Every call as data, in the order above.
    static QList<CallInfo> describeAll();
};

} // namespace kvr::fiscal
