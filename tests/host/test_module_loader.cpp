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

enum class Content { Nothing, Text, QtCore };

struct BadModuleCase
{
    const char *code;
    Content content;     // what to put under the module's name
    const char *message; // start of the message the user sees
};

class BadModule : public ::testing::TestWithParam<BadModuleCase>
{
};

TEST_P(BadModule, IsReportedAndNotLoaded)
{
    const BadModuleCase &c = GetParam();
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

INSTANTIATE_TEST_SUITE_P(
    Modules, BadModule,
    ::testing::Values(
        BadModuleCase{"KVR72300", Content::Nothing, "Módulo KVR72300 não está instalado."},
        BadModuleCase{"KVR72400", Content::Text, "Não foi possível carregar o módulo KVR72400"},
        // A real library that is not a module: no IniProc.
        BadModuleCase{"KVR00001", Content::QtCore,
                      "O arquivo libkvr00001.so não é um módulo válido"}));

struct CodeCase
{
    const char *code;
    bool valid;
};

class ModuleCode : public ::testing::TestWithParam<CodeCase>
{
};

// The code is checked before any path is built from it.
TEST_P(ModuleCode, OnlyLettersAndDigitsReachAPath)
{
    const CodeCase &c = GetParam();
    const QString code = QString::fromUtf8(c.code);
    EXPECT_EQ(ModuleLoader::IsValidCode(code), c.valid);
    EXPECT_EQ(ModuleLoader::LibraryPath(QStringLiteral("/m"), code).isEmpty(), !c.valid);
    if (c.valid)
        return;
    ModalAnswer answer;
    EXPECT_FALSE(ModuleLoader::Instance().Start(code));
    EXPECT_EQ(answer.Texts(), QStringList{QStringLiteral("Código de módulo inválido: \"%1\". "
                                                         "Use apenas letras e algarismos.")
                                              .arg(code)});
    EXPECT_FALSE(ModuleLoader::Instance().IsLoaded(code));
}

INSTANTIATE_TEST_SUITE_P(Codes, ModuleCode,
                         ::testing::Values(CodeCase{"KVR51400", true}, CodeCase{"kvr51400", true},
                                           CodeCase{"X1", true}, CodeCase{"../KVR51400", false},
                                           CodeCase{"KVR/51400", false}, CodeCase{"/tmp/x", false},
                                           CodeCase{"KVR.51400", false},
                                           CodeCase{"KVR 51400", false},
                                           CodeCase{"KVR-51400", false},
                                           CodeCase{"KVRÇ1400", false}, CodeCase{"KVR\t1", false},
                                           CodeCase{"*", false}));

struct EntryCase
{
    const char *failing;     // the entry that throws; "" none
    bool loaded;             // after Load
    QStringList loadTexts;   // messages while loading
    QStringList unloadTexts; // messages while unloading
};

class FailingEntry : public ::testing::TestWithParam<EntryCase>
{
};

// A module that lets exceptions out of its entries cannot take the host down,
// and one whose Initialize fails does not count as loaded.
TEST_P(FailingEntry, StaysInsideTheLoader)
{
    const EntryCase &c = GetParam();
    const QString code = QStringLiteral("KVR99001");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QFile::copy(QStringLiteral(KVR_FAILING_MODULE),
                            ModuleLoader::LibraryPath(dir.path(), code)));
    qputenv("KVR_FAILING_ENTRY", c.failing);
    SetModulesDir(dir.path());
    ModalAnswer answer;
    EXPECT_EQ(ModuleLoader::Instance().Load(code), c.loaded);
    EXPECT_EQ(ModuleLoader::Instance().IsLoaded(code), c.loaded);
    EXPECT_EQ(answer.Texts(), c.loadTexts);
    const qsizetype shown = answer.Texts().size();
    EXPECT_EQ(ModuleLoader::Instance().Unload(code), c.loaded);
    EXPECT_FALSE(ModuleLoader::Instance().IsLoaded(code));
    EXPECT_EQ(answer.Texts().mid(shown), c.unloadTexts);
    SetModulesDir(QString());
    qunsetenv("KVR_FAILING_ENTRY");
}

INSTANTIATE_TEST_SUITE_P(
    Entries, FailingEntry,
    ::testing::Values(
        EntryCase{"", true, {}, {}},
        EntryCase{"Initialize",
                  false,
                  {QStringLiteral("Erro inesperado: Initialize falhou"),
                   QStringLiteral("O módulo KVR99001 não pôde ser iniciado.")},
                  {}},
        EntryCase{"Finalize", true, {}, {QStringLiteral("Erro inesperado: Finalize falhou")}}));

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
