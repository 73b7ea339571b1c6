#pragma once

class TClientDataSet;

// Field lists of the records the two screens hold: the consistency rule
// (each screen its own subset and order), the tax and the CFOP. Called on a
// closed dataset, before it is first opened.
class RuleRecords final
{
public:
    RuleRecords() = delete;

    // The 18 fields of a rule, as the maintenance screen shows them.
    static void DeclareMaintenanceRules(TClientDataSet *dataSet);
    // The 13 fields the automatic registration screen works with.
    static void DeclareAutomaticRules(TClientDataSet *dataSet);
    // CDIMPOSTO, SGIMPOSTO (only with `withAbbreviation`), NMIMPOSTO,
    // CDIMPOSTONFE.
    static void DeclareTaxes(TClientDataSet *dataSet, bool withAbbreviation);
    static void DeclareCfops(TClientDataSet *dataSet);
};
