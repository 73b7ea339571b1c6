#pragma once

#include "fiscal/ConsisteFiscalContract.h"
#include "fiscal/RuleMatch.h"
#include "server/rdm/TaxInfo.h"

#include <QString>

namespace kvr::server {

// Reads the invoice line and the stage of the simulation calls; a value out
// of its domain is refused as invalid params (-32602), in Portuguese.
class SimulationArgs final
{
public:
    static fiscal::RuleMatch::Stage stage(const QString &method, const QString &code);
    // "E" or "S".
    static void checkDirection(const QString &method, const QString &code);
    static fiscal::RuleMatch::Codes line(const TaxInfo &tax,
                                         const fiscal::SimulaConsistencia &args);
};

} // namespace kvr::server
