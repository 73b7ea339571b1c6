// The two screens as created: names, captions, the controls other parts
// rely on, and the maintenance screen's connection and close handling.
#include "CLI/STD/KVR/KVR51400/Cli_kvr51400.h"
#include "CLI/STD/KVR/KVR51400/Cli_kvr51401.h"
#include "kit/core/TMessages.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TDataSource.h"
#include "kit/grid/TDBGrid.h"
#include "kit/host/HostServices.h"
#include "kit/net/TNetConnection.h"
#include "kit/widgets/TBtnPesquisa.h"
#include "kit/widgets/TButtonFlat.h"
#include "tests/kit/ModalAnswer.h"
#include "tests/module/Packets.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QTabWidget>
#include <QTemporaryDir>

#include <memory>

#include <gtest/gtest.h>

namespace {

TEST(MaintenanceScreen, Composition)
{
    auto screen = std::make_unique<TfrmConsisteFiscal>();
    EXPECT_EQ(screen->objectName(), QStringLiteral("frmConsisteFiscal"));
    EXPECT_EQ(screen->windowTitle(), QStringLiteral("Consistências Fiscais"));
    EXPECT_EQ(screen->lblCodTela->text(), QStringLiteral("KVR51400"));
    EXPECT_EQ(screen->size(), QSize(1112, 471));

    for (const char *name : {"panImposto",
                             "edtCdImposto",
                             "btpImposto",
                             "edtNmImposto",
                             "imgCheck",
                             "imgUncheck",
                             "tshBloqueados",
                             "dbgBloqueados",
                             "panVerificaBloq",
                             "dbcLancamentoBloq",
                             "dbcAprovacaoBloq",
                             "btnCadFiscal",
                             "sbtAutomatico",
                             "cdsConsistencias",
                             "dtsConsistencias",
                             "cdsImposto",
                             "dtsimposto",
                             "cdsCFOP",
                             "dtsCFOP",
                             "msgPadrao",
                             "msgCST",
                             "netConsistencia",
                             "pmnOpcaoCadFiscal",
                             "mnuOpcaoAliqCSTImp",
                             "mnuOpcaoDadosFiscCSTImposto",
                             "dtsPadrao",
                             "pgcPadrao",
                             "tshPadrao"})
        EXPECT_NE(screen->findChild<QObject *>(QString::fromLatin1(name)), nullptr) << name;

    EXPECT_EQ(screen->edtCdImposto->maxLength(), 2);
    EXPECT_FALSE(screen->edtNmImposto->isEnabled());
    EXPECT_EQ(screen->edtNmImposto->width(), 285);
    EXPECT_EQ(screen->panImposto->height(), 45);
    EXPECT_EQ(screen->panVerificaBloq->height(), 59);
    EXPECT_EQ(screen->btpImposto->Associate(), screen->edtCdImposto);
    EXPECT_EQ(screen->btpImposto->DataSource(), screen->dtsimposto);
    EXPECT_EQ(screen->dtsimposto->DataSet(), screen->cdsImposto);
    EXPECT_EQ(screen->dtsPadrao->DataSet(), screen->cdsConsistencias);
    EXPECT_EQ(screen->dbgBloqueados->DataSource(), screen->dtsPadrao);
    EXPECT_EQ(screen->pgcPadrao->currentWidget(), screen->tshBloqueados);
    EXPECT_EQ(screen->btnCadFiscal->x(), 211);
    EXPECT_EQ(screen->sbtAutomatico->x(), 236);
    EXPECT_EQ(screen->sbtAjuda->x(), 269);
    EXPECT_EQ(screen->sbtFechar->x(), 305);
    EXPECT_EQ(screen->btnCadFiscal->Hint(), QStringLiteral("Cadastros Fiscais"));
    EXPECT_EQ(screen->sbtAutomatico->Hint(), QStringLiteral("Confirmar"));
    EXPECT_FALSE(screen->sbtAutomatico->isEnabled()); // created disabled by the screen
    EXPECT_EQ(screen->dbcLancamentoBloq->text(),
              QStringLiteral("Verificação Fiscal Realizada no Lançamento da nota"));
    EXPECT_EQ(screen->dbcAprovacaoBloq->text(),
              QStringLiteral("Verificação Fiscal Realizada na Aprovação da nota"));
    EXPECT_EQ(screen->mnuOpcaoAliqCSTImp->text(),
              QStringLiteral("Alíquota Válida por CST e Imposto"));
    EXPECT_EQ(screen->mnuOpcaoDadosFiscCSTImposto->text(),
              QStringLiteral("Natureza da Base de Cálculo por CFOP"));
    EXPECT_EQ(screen->msgPadrao->Count(), 30);
    EXPECT_EQ(screen->msgCST->Count(), 95);
    EXPECT_EQ(screen->cdsConsistencias->FieldCount(), 18);
    EXPECT_NE(screen->cdsImposto->FindField(QStringLiteral("SGIMPOSTO")), nullptr);
    // Input fields wear the info background, display-only ones the button face.
    EXPECT_EQ(screen->edtCdImposto->palette().color(QPalette::Base),
              screen->palette().color(QPalette::ToolTipBase));
    EXPECT_EQ(screen->edtNmImposto->palette().color(QPalette::Base),
              screen->palette().color(QPalette::Button));
}

TEST(MaintenanceScreen, ConnectionTakesTheHostsServerBeforeEveryConnect)
{
    auto screen = std::make_unique<TfrmConsisteFiscal>();
    TNetConnection *net = screen->netConsistencia;
    EXPECT_EQ(net->ServerName(), QStringLiteral("kvr51400.rdmConsisteFiscal"));
    EXPECT_FALSE(net->ThrowException());
    ASSERT_TRUE(bool(net->BeforeConnect));
    SetWebAddress(QStringLiteral("10.1.2.3"), 4567);
    net->BeforeConnect(net);
    EXPECT_EQ(net->Host(), QStringLiteral("10.1.2.3"));
    EXPECT_EQ(net->Port(), 4567);
    SetWebAddress(QStringLiteral("127.0.0.1"), 4568);
    net->BeforeConnect(net);
    EXPECT_EQ(net->Host(), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(net->Port(), 4568);
}

TEST(MaintenanceScreen, CreatedThroughTheBaseFormItsOwnButtonIsUsable)
{
    SetWebAddress(QStringLiteral("127.0.0.1"), 1); // nothing listens there
    QPointer<TfrmConsisteFiscal> screen = TfrmPadraoGrid::Create<TfrmConsisteFiscal>();
    // The screen never enables it; the base form does, as for any screen button.
    EXPECT_TRUE(screen->sbtAutomatico->isEnabled());
    DestroyApplicationForm(screen);
}

TEST(MaintenanceScreen, CloseCancelsAPendingEditAndDestroysTheScreen)
{
    SetWebAddress(QStringLiteral("127.0.0.1"), 1);
    QPointer<TfrmConsisteFiscal> screen = TfrmPadraoGrid::Create<TfrmConsisteFiscal>();
    TClientDataSet *rules = screen->cdsConsistencias;
    std::vector<std::pair<QString, int>> fields;
    QStringList row;
    for (int i = 0; i < rules->FieldCount(); ++i) {
        fields.emplace_back(rules->Fields(i)->FieldName(), rules->Fields(i)->Size());
        // A blocked rule: the only kind the screen shows.
        row.append(rules->Fields(i)->FieldName() == QLatin1String("IDBLOQADMI")
                       ? QStringLiteral("B")
                       : QString());
    }
    rules->SetData(MakePacket(fields, {row}));
    int cancels = 0;
    rules->AfterCancel = [&](TClientDataSet *) { ++cancels; };
    rules->Edit();
    rules->FieldByName(QStringLiteral("DSCONSISTENCIA"))->SetAsString(QStringLiteral("x"));
    screen->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(screen.isNull());
}

TEST(MaintenanceScreen, FiscalRegistrationsPopupOpensSiblingModules)
{
    auto screen = std::make_unique<TfrmConsisteFiscal>();
    screen->show();
    screen->btnCadFiscal->setEnabled(true);
    screen->btnCadFiscal->Click();
    EXPECT_TRUE(screen->pmnOpcaoCadFiscal->isVisible());
    // Just below the button, left-aligned with it.
    const QPoint expected = screen->panMenu->mapToGlobal(QPoint(
        screen->btnCadFiscal->x(), screen->btnCadFiscal->y() + screen->btnCadFiscal->height()));
    EXPECT_EQ(screen->pmnOpcaoCadFiscal->pos(), expected);
    screen->pmnOpcaoCadFiscal->hide();

    // Each item starts its sibling module through the host.
    QTemporaryDir noModules;
    SetModulesDir(noModules.path());
    {
        ModalAnswer answer;
        screen->mnuOpcaoAliqCSTImp->trigger();
        screen->mnuOpcaoDadosFiscCSTImposto->trigger();
        EXPECT_EQ(answer.Texts(),
                  (QStringList{QStringLiteral("Módulo KVR72300 não está instalado."),
                               QStringLiteral("Módulo KVR72400 não está instalado.")}));
    }
    SetModulesDir(QString());
}

TEST(AutomaticScreen, Composition)
{
    SetWebAddress(QStringLiteral("127.0.0.1"), 1);
    QPointer<TfrmConsisteFiscal> maintenance = TfrmPadraoGrid::Create<TfrmConsisteFiscal>();
    maintenance->edtCdImposto->setText(QStringLiteral("60"));
    TfrmConsisteFiscal *previous = frmConsisteFiscal;
    frmConsisteFiscal = maintenance;
    QPointer<TfrmCadAuto> screen = TfrmRotiGeral::Create<TfrmCadAuto>();
    frmConsisteFiscal = previous;

    EXPECT_EQ(screen->objectName(), QStringLiteral("frmCadAuto"));
    EXPECT_EQ(screen->windowTitle(), QStringLiteral("Cadastramento automático"));
    EXPECT_EQ(screen->lblCodTela->text(), QStringLiteral("KVR51401"));
    // FormCreate copied the maintenance screen's tax code.
    EXPECT_EQ(screen->edtCdImposto->text(), QStringLiteral("60"));
    EXPECT_EQ(screen->edtCdImposto->maxLength(), 2);
    for (const char *name :
         {"edtCdImposto", "edtNmImposto", "cdsConsistencias", "dtsConsistencias", "cdsImposto",
          "dtsImposto", "cdsCFOP", "dtsCFOP", "msgPadrao", "msgCST", "grbDadosRel", "sbtConfirma"})
        EXPECT_NE(screen->findChild<QObject *>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(screen->msgPadrao->Count(), 19);
    EXPECT_EQ(screen->msgCST->Count(), 95);
    EXPECT_EQ(screen->cdsConsistencias->FieldCount(), 13);
    EXPECT_EQ(screen->cdsImposto->FindField(QStringLiteral("SGIMPOSTO")), nullptr);

    // Closing only hides it.
    screen->show();
    screen->close();
    EXPECT_FALSE(screen.isNull());
    EXPECT_FALSE(screen->isVisible());
    DestroyApplicationForm(screen);
    DestroyApplicationForm(maintenance);
}

} // namespace
