#pragma once

#include <QString>

class CstRoutines;
class TMessages;
class TNetConnection;

// What the other screens of the module need of the maintenance screen: its
// connection, its tax, its texts, the field to hand the focus back to, and
// a way to show one of its rules.
class MaintenanceScreenLink
{
public:
    virtual ~MaintenanceScreenLink() = default;

    virtual TNetConnection *Connection() const = 0;
    virtual QString TaxCode() const = 0;
    virtual void FocusTaxCode() = 0;
    virtual QString TaxName() const = 0;
    // The screen's code texts and the CST routines of its tax.
    virtual const TMessages &Messages() const = 0;
    virtual const CstRoutines &CstOfTax() const = 0;
    // Brings the maintenance screen forward on the rule; a rule it cannot show
    // ends the action with the reason (`admitted`: the rule is an admitted one).
    virtual void ShowRule(const QString &tax, const QString &number, bool admitted) = 0;

    // The maintenance screen of the run; null while there is none.
    static MaintenanceScreenLink *Current();
};
