#pragma once

#include "kit/KvrKitExport.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QLibrary;
class QWidget;

// Loads screen modules (lib<code>.so in the modules folder) into the process.
// A module is loaded and initialised once; every start calls its IniProc.
// Unloading first destroys the module's windows, then calls Finalize, then
// unloads the library, so no code of the module runs after it is gone.
class KVRKIT_EXPORT ModuleLoader final
{
public:
    ModuleLoader();
    ~ModuleLoader();
    ModuleLoader(const ModuleLoader &) = delete;
    ModuleLoader &operator=(const ModuleLoader &) = delete;

    static ModuleLoader &Instance();

    // A module code is letters and digits only (ASCII), never empty.
    static bool IsValidCode(const QString &code);
    // File of a module in the modules folder: KVR51400 -> libkvr51400.so;
    // empty for a code that is not valid.
    static QString LibraryPath(const QString &modulesDir, const QString &code);
    // Codes of the module libraries present in a folder, sorted.
    static QStringList InstalledModules(const QString &modulesDir);

    // Loads and initialises the module (once). A refused code, a module that
    // is missing or not a valid module, or an Initialize that fails is
    // reported to the user; the result is then false and nothing stays loaded.
    bool Load(const QString &code);
    // Load, then IniProc. Exceptions of IniProc reach the caller.
    bool Start(const QString &code);
    bool IsLoaded(const QString &code) const;
    QStringList LoadedModules() const;
    // Address of an exported symbol of a loaded module, or nullptr.
    void *Resolve(const QString &code, const char *symbol) const;

    // True when `widget`'s class is compiled into the module's library.
    bool BelongsTo(const QString &code, const QWidget *widget) const;

    bool Unload(const QString &code);
    // Every module, the last loaded first.
    void UnloadAll();

private:
    struct Module;
    std::vector<std::unique_ptr<Module>> m_modules;

    Module *find(const QString &code) const;
    void destroyWindowsOf(const Module &module) const;
    void unload(Module &module) const;
};
