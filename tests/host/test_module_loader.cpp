#include "kit/host/HostServices.h"
#include "kit/host/ModuleLoader.h"
#include "tests/kit/ModalAnswer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QString modulesDir()
{
    return QString::fromLocal8Bit(qgetenv("KVR_MODULES_DIR"));
}

struct BadModuleCase
{
    const char *code;
    const char *file;    // what to put under the module's name; nullptr: nothing
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
    if (c.file) {
        const QString target = ModuleLoader::LibraryPath(dir.path(), code);
        const QString source = QString::fromLocal8Bit(c.file);
        if (source.startsWith(QLatin1Char('/'))) {
            ASSERT_TRUE(QFile::copy(source, target)) << c.file;
        } else {
            QFile text(target);
            ASSERT_TRUE(text.open(QIODevice::WriteOnly));
            text.write(c.file);
        }
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
    ::testing::Values(BadModuleCase{"KVR72300", nullptr, "Módulo KVR72300 não está instalado."},
                      BadModuleCase{"KVR72400", "not a library",
                                    "Não foi possível carregar o módulo KVR72400"},
                      // A real library that is not a module: no IniProc.
                      BadModuleCase{"KVR00001", "/lib/x86_64-linux-gnu/libz.so.1",
                                    "O arquivo libkvr00001.so não é um módulo válido"}));

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
