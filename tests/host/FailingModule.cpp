// A module for the loader's tests: the entry named in KVR_FAILING_ENTRY
// throws, as a module that does not guard its entries would.
#include <QtGlobal>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

void failIfAsked(const char *entry)
{
    const char *failing = std::getenv("KVR_FAILING_ENTRY");
    if (failing && std::strcmp(failing, entry) == 0)
        throw std::runtime_error(std::string(entry) + " falhou");
}

} // namespace

extern "C" {
Q_DECL_EXPORT void Initialize()
{
    failIfAsked("Initialize");
}

Q_DECL_EXPORT void IniProc()
{
    failIfAsked("IniProc");
}

Q_DECL_EXPORT void Finalize()
{
    failIfAsked("Finalize");
}
}
