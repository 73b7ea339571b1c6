#include "CLI/STD/KVR/KVR51400/Pkg_kvr51400.h"

#include "CLI/STD/KVR/KVR51400/Cli_kvr51400.h"
#include "CLI/STD/KVR/KVR51400/Cli_kvr51401.h"

#include "kit/core/Consiste.h"

// The kit units the module uses are initialised by the kit library itself;
// the module's own units follow in their fixed order and end in reverse.
// Nothing thrown may cross these plain C entries.
void Initialize()
{
    kvrGuard([]() {
        Cli_kvr51401::Initialization();
        Cli_kvr51400::Initialization();
    });
}

void Finalize()
{
    kvrGuard([]() {
        Cli_kvr51400::Finalization();
        Cli_kvr51401::Finalization();
    });
}
