#include "kit/host/HostServices.h"
#include "kit/host/ModuleLoader.h"
#include "tests/kit/ModalAnswer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <dlfcn.h>

#include <gtest/gtest.h>

namespace {

QString modulesDir()
{
    return QString::fromLocal8Bit(qgetenv("KVR_MODULES_DIR"));
}

// A real library of this machine that is not a module: the one holding Qt Core.
QString qtCoreLibrary()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void *>(&qVersion), &info) == 0)
        return QString();
    return QString::fromLocal8Bit(info.dli_fname);
}

TEST(BadModule, IsReportedAndNotLoaded)
{
    enum class Content { Nothing, Text, QtCore };
    const struct
    {
        const char *code;
        Content content;     // what to put under the module's name
        const char *message; // start of the message the user sees
    } cases[] = {{"KVR72300", Content::Nothing, "Módulo KVR72300 não está instalado."},
                 {"KVR72400", Content::Text, "Não foi possível carregar o módulo KVR72400"},
                 // A real library that is not a module: no IniProc.
                 {"KVR00001", Content::QtCore, "O arquivo libkvr00001.so não é um módulo válido"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString code = QString::fromLatin1(c.code);
        const QString target = ModuleLoader::LibraryPath(dir.path(), code);
        if (c.content == Content::QtCore) {
            ASSERT_TRUE(QFile::copy(qtCoreLibrary(), target)) << qtCoreLibrary().toStdString();
        } else if (c.content == Content::Text) {
            QFile text(target);
            ASSERT_TRUE(text.open(QIODevice::WriteOnly));
            text.write("not a library");
        }
        SetModulesDir(dir.path());
        ModalAnswer answer;
        LoadBPL(code);
        SetModulesDir(QString());
        ASSERT_EQ(answer.Texts().size(), 1);
        EXPECT_TRUE(answer.Texts().first().startsWith(QString::fromUtf8(c.message)))
            << answer.Texts().first().toStdString();
        EXPECT_FALSE(ModuleLoader::Instance().IsLoaded(code));
    }
}

// The code is checked before any path is built from it.
TEST(ModuleCode, OnlyLettersAndDigitsReachAPath)
{
    for (const char *valid : {"KVR51400", "kvr51400", "X1"}) {
        EXPECT_TRUE(ModuleLoader::IsValidCode(QString::fromUtf8(valid))) << valid;
        EXPECT_FALSE(
            ModuleLoader::LibraryPath(QStringLiteral("/m"), QString::fromUtf8(valid)).isEmpty());
    }
    for (const char *invalid : {"../KVR51400", "KVR/51400", "/tmp/x", "KVR.51400", "KVR 51400",
                                "KVR-51400", "KVRÇ1400", "KVR\t1", "*"}) {
        SCOPED_TRACE(invalid);
        const QString code = QString::fromUtf8(invalid);
        EXPECT_FALSE(ModuleLoader::IsValidCode(code));
        EXPECT_TRUE(ModuleLoader::LibraryPath(QStringLiteral("/m"), code).isEmpty());
        ModalAnswer answer;
        EXPECT_FALSE(ModuleLoader::Instance().Start(code));
        EXPECT_EQ(answer.Texts(), QStringList{QStringLiteral("Código de módulo inválido: \"%1\". "
                                                             "Use apenas letras e algarismos.")
                                                  .arg(code)});
        EXPECT_FALSE(ModuleLoader::Instance().IsLoaded(code));
    }
}

// A module that lets exceptions out of its entries cannot take the host down,
// and one whose Initialize fails does not count as loaded.
TEST(FailingEntry, StaysInsideTheLoader)
{
    const struct
    {
        const char *failing;     // the entry that throws; "" none
        bool loaded;             // after Load
        QStringList loadTexts;   // messages while loading
        QStringList unloadTexts; // messages while unloading
    } cases[] = {{"", true, {}, {}},
                 {"Initialize",
                  false,
                  {QStringLiteral("Erro inesperado: Initialize falhou"),
                   QStringLiteral("O módulo KVR99001 não pôde ser iniciado.")},
                  {}},
                 {"Finalize", true, {}, {QStringLiteral("Erro inesperado: Finalize falhou")}}};
    const QString code = QStringLiteral("KVR99001");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.failing);
        QTemporaryDir dir; // a new file each time: a fresh load
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QFile::copy(QStringLiteral(KVR_FAILING_MODULE),
                                ModuleLoader::LibraryPath(dir.path(), code)));
        SetModulesDir(dir.path());
        qputenv("KVR_FAILING_ENTRY", c.failing);
        ModalAnswer answer;
        EXPECT_EQ(ModuleLoader::Instance().Load(code), c.loaded);
        EXPECT_EQ(ModuleLoader::Instance().IsLoaded(code), c.loaded);
        EXPECT_EQ(answer.Texts(), c.loadTexts);
        const qsizetype shown = answer.Texts().size();
        EXPECT_EQ(ModuleLoader::Instance().Unload(code), c.loaded);
        EXPECT_FALSE(ModuleLoader::Instance().IsLoaded(code));
        EXPECT_EQ(answer.Texts().mid(shown), c.unloadTexts);
    }
    SetModulesDir(QString());
    qunsetenv("KVR_FAILING_ENTRY");
}

TEST(ModuleLoader, EmptyCodeIsReported)
{
    ModalAnswer answer;
    EXPECT_FALSE(ModuleLoader::Instance().Start(QStringLiteral("  ")));
    EXPECT_EQ(answer.Texts(), QStringList{QStringLiteral("Código de módulo não informado.")});
}

TEST(ModuleLoader, LibraryPathAndInstalledModules)
{
    EXPECT_EQ(ModuleLoader::LibraryPath(QStringLiteral("/m"), QStringLiteral("KVR51400")),
              QStringLiteral("/m/libkvr51400.so"));
    EXPECT_TRUE(ModuleLoader::InstalledModules(modulesDir()).contains(QStringLiteral("KVR51400")));
    QTemporaryDir dir;
    EXPECT_TRUE(ModuleLoader::InstalledModules(dir.path()).isEmpty());
}

TEST(HostServices, DefaultModulesDirIsBesideTheProgram)
{
    SetModulesDir(QString());
    EXPECT_EQ(
        QDir::cleanPath(ModulesDir()),
        QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../modules")));
}

TEST(HostServices, ScreenPointerCodes)
{
    SetScreenCursor(-11);
    EXPECT_EQ(ScreenCursor(), -11);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    SetScreenCursor(-11); // a second busy pointer needs one default only
    SetScreenCursor(0);
    EXPECT_EQ(ScreenCursor(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    SetScreenCursor(0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

} // namespace
