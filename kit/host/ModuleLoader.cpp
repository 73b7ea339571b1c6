#include "kit/host/ModuleLoader.h"

#include "kit/core/Consiste.h"
#include "kit/host/HostServices.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QLoggingCategory>
#include <QMdiSubWindow>
#include <QPointer>
#include <QWidget>

#include <algorithm>

#include <dlfcn.h>

Q_LOGGING_CATEGORY(lcModules, "kvr.host.modules")

namespace {

using Entry = void (*)();

// Base address of the shared object that holds `address`.
const void *objectBase(const void *address)
{
    Dl_info info{};
    if (address == nullptr || dladdr(address, &info) == 0)
        return nullptr;
    return info.dli_fbase;
}

QString normalisedCode(const QString &code)
{
    return code.trimmed().toUpper();
}

} // namespace

struct ModuleLoader::Module
{
    QString code;
    std::unique_ptr<QLibrary> library;
    Entry initialize = nullptr;
    Entry finalize = nullptr;
    Entry iniProc = nullptr;
    const void *base = nullptr;
};

ModuleLoader::ModuleLoader() = default;

ModuleLoader::~ModuleLoader()
{
    // Modules still loaded at process end stay mapped: their Finalize must
    // run while the application exists (UnloadAll), and Qt's library
    // bookkeeping may already be gone here.
    for (auto &module : m_modules)
        static_cast<void>(module->library.release());
}

ModuleLoader &ModuleLoader::Instance()
{
    static ModuleLoader loader;
    return loader;
}

bool ModuleLoader::IsValidCode(const QString &code)
{
    // The code becomes a file name: no separator, dot or blank may reach it.
    if (code.isEmpty())
        return false;
    return std::all_of(code.cbegin(), code.cend(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9');
    });
}

QString ModuleLoader::LibraryPath(const QString &modulesDir, const QString &code)
{
    const QString name = code.trimmed();
    if (!IsValidCode(name))
        return QString();
    return QDir(modulesDir)
        .filePath(QStringLiteral("lib") + name.toLower() + QStringLiteral(".so"));
}

QStringList ModuleLoader::InstalledModules(const QString &modulesDir)
{
    QStringList codes;
    const QStringList files =
        QDir(modulesDir).entryList({QStringLiteral("lib*.so")}, QDir::Files, QDir::Name);
    for (const QString &file : files) {
        const QString code = file.mid(3, file.size() - 6).toUpper();
        if (IsValidCode(code))
            codes.append(code);
    }
    return codes;
}

ModuleLoader::Module *ModuleLoader::find(const QString &code) const
{
    const QString wanted = normalisedCode(code);
    for (const auto &module : m_modules) {
        if (module->code == wanted)
            return module.get();
    }
    return nullptr;
}

bool ModuleLoader::Load(const QString &code)
{
    const QString wanted = normalisedCode(code);
    if (wanted.isEmpty()) {
        MensErro(QStringLiteral("Código de módulo não informado."), false);
        return false;
    }
    if (!IsValidCode(wanted)) {
        MensErro(
            QStringLiteral("Código de módulo inválido: \"%1\". Use apenas letras e algarismos.")
                .arg(code.trimmed()),
            false);
        return false;
    }
    if (find(wanted))
        return true;

    const QString path = LibraryPath(ModulesDir(), wanted);
    if (!QFileInfo::exists(path)) {
        qCInfo(lcModules) << "module not installed:" << wanted << path;
        MensErro(QStringLiteral("Módulo %1 não está instalado.").arg(wanted), false);
        return false;
    }

    auto module = std::make_unique<Module>();
    module->code = wanted;
    module->library = std::make_unique<QLibrary>(path);
    if (!module->library->load()) {
        qCWarning(lcModules) << "cannot load" << path << module->library->errorString();
        MensErro(QStringLiteral("Não foi possível carregar o módulo %1:\n%2")
                     .arg(wanted, module->library->errorString()),
                 false);
        return false;
    }
    module->initialize = reinterpret_cast<Entry>(module->library->resolve("Initialize"));
    module->finalize = reinterpret_cast<Entry>(module->library->resolve("Finalize"));
    module->iniProc = reinterpret_cast<Entry>(module->library->resolve("IniProc"));
    if (!module->iniProc) {
        module->library->unload();
        MensErro(QStringLiteral("O arquivo %1 não é um módulo válido: falta a entrada IniProc.")
                     .arg(QFileInfo(path).fileName()),
                 false);
        return false;
    }
    module->base = objectBase(reinterpret_cast<const void *>(module->iniProc));

    // Loaded means initialised: a module whose Initialize fails is not kept.
    if (module->initialize && !kvrGuard(module->initialize)) {
        qCWarning(lcModules) << "Initialize failed" << wanted;
        destroyWindowsOf(*module);
        module->library->unload();
        MensErro(QStringLiteral("O módulo %1 não pôde ser iniciado.").arg(wanted), false);
        return false;
    }
    m_modules.push_back(std::move(module));
    qCInfo(lcModules) << "loaded" << wanted;
    return true;
}

bool ModuleLoader::Start(const QString &code)
{
    if (!Load(code))
        return false;
    find(code)->iniProc();
    return true;
}

bool ModuleLoader::IsLoaded(const QString &code) const
{
    return find(code) != nullptr;
}

QStringList ModuleLoader::LoadedModules() const
{
    QStringList codes;
    for (const auto &module : m_modules)
        codes.append(module->code);
    return codes;
}

void *ModuleLoader::Resolve(const QString &code, const char *symbol) const
{
    const Module *module = find(code);
    if (!module)
        return nullptr;
    return reinterpret_cast<void *>(module->library->resolve(symbol));
}

bool ModuleLoader::BelongsTo(const QString &code, const QWidget *widget) const
{
    const Module *module = find(code);
    if (!module || !widget || !module->base)
        return false;
    return objectBase(widget->metaObject()) == module->base;
}

void ModuleLoader::destroyWindowsOf(const Module &module) const
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    auto belongs = [&module](const QWidget *widget) {
        return module.base && objectBase(widget->metaObject()) == module.base;
    };
    for (QWidget *form : ApplicationForms()) {
        if (belongs(form))
            DestroyApplicationForm(form);
    }
    // Anything else the module left open (a form not created through the
    // host, a dialog), MDI children included.
    QList<QPointer<QWidget>> leftovers;
    for (QWidget *widget : QApplication::allWidgets()) {
        if (belongs(widget) &&
            (widget->isWindow() || qobject_cast<QMdiSubWindow *>(widget->parentWidget())))
            leftovers.append(widget);
    }
    for (const QPointer<QWidget> &widget : leftovers) {
        if (widget)
            DestroyApplicationForm(widget.data());
    }
    // Objects the module scheduled for deletion must go while its code is there.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void ModuleLoader::unload(Module &module) const
{
    destroyWindowsOf(module);
    // The library goes even when its Finalize fails.
    if (module.finalize)
        kvrGuard(module.finalize);
    if (!module.library->unload())
        qCWarning(lcModules) << "unload" << module.code << module.library->errorString();
    qCInfo(lcModules) << "unloaded" << module.code;
}

bool ModuleLoader::Unload(const QString &code)
{
    const QString wanted = normalisedCode(code);
    for (auto it = m_modules.begin(); it != m_modules.end(); ++it) {
        if ((*it)->code == wanted) {
            std::unique_ptr<Module> module = std::move(*it);
            m_modules.erase(it);
            unload(*module);
            return true;
        }
    }
    return false;
}

void ModuleLoader::UnloadAll()
{
    while (!m_modules.empty()) {
        std::unique_ptr<Module> module = std::move(m_modules.back());
        m_modules.pop_back();
        unload(*module);
    }
}
