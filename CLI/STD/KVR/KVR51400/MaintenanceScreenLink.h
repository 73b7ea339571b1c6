#pragma once

#include <QString>

class TNetConnection;

// What the automatic screen needs of the maintenance screen: its
// connection, its tax code and the field to hand the focus back to.
class MaintenanceScreenLink
{
public:
    virtual ~MaintenanceScreenLink() = default;

    virtual TNetConnection *Connection() const = 0;
    virtual QString TaxCode() const = 0;
    virtual void FocusTaxCode() = 0;

    // The maintenance screen of the run; null while there is none.
    static MaintenanceScreenLink *Current();
};
