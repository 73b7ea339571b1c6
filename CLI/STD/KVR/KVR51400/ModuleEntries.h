#pragma once

#include <QtGlobal>

// The module's launch entries, plain C names the host and the screens call.
extern "C" {
// Start entry of the module: opens the maintenance screen.
Q_DECL_EXPORT void IniProc();
Q_DECL_EXPORT void CriaConsistencia();
// Shows the automatic registration screen modally; does nothing while there
// is no maintenance screen (it lends the connection and the tax).
Q_DECL_EXPORT void criaCadAuto();
// Shows the simulation screen for the maintenance screen's tax; does nothing
// while there is no maintenance screen.
Q_DECL_EXPORT void criaSimulacao();
}
