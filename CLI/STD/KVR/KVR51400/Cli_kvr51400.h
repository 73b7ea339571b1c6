#pragma once

#include "CLI/STD/KVR/KVR51400/CstRoutines.h"
#include "CLI/STD/KVR/KVR51400/MaintenanceScreenLink.h"
#include "CLI/STD/KVR/KVR51400/ModuleEntries.h"
#include "CLI/STD/KVR/KVR51400/TaxPanel.h"
#include "kit/forms/TfrmPadraoGrid.h"
#include "kit/grid/TDBGrid.h"

#include <QtGlobal>

class QCheckBox;
class QLineEdit;
class QMenu;
class QScrollArea;
class TBtnPesquisa;
class TField;
class TNetConnection;

// The consistency maintenance screen "KVR51400": the blocked rules of one
// tax, edited in place and saved to the application server at once.
// Created once per run through CriaConsistencia; an MDI child of the host.
// Its own controls are declared in Cli_kvr51400.ui.
class TfrmConsisteFiscal final : public TfrmPadraoGrid, public MaintenanceScreenLink
{
    Q_OBJECT
public:
    // Use TfrmPadraoGrid::Create<TfrmConsisteFiscal>() so FormCreate runs.
    explicit TfrmConsisteFiscal(QWidget *parent = nullptr);
    ~TfrmConsisteFiscal() override;

    TButtonFlat *btnCadFiscal;
    TButtonFlat *sbtAutomatico;
    TButtonFlat *sbtSimulacao;
    QAction *mnuSimulacao;
    TaxPanel *panImposto;
    QLineEdit *edtCdImposto;
    TBtnPesquisa *btpImposto;
    QLineEdit *edtNmImposto;
    QLabel *imgCheck;
    QLabel *imgUncheck;
    QWidget *tshBloqueados;
    QFrame *panFormulario;
    QScrollArea *scbFormulario;
    TDBGrid *dbgBloqueados;
    QFrame *panVerificaBloq;
    QCheckBox *dbcLancamentoBloq;
    QCheckBox *dbcAprovacaoBloq;
    TClientDataSet *cdsConsistencias;
    TDataSource *dtsConsistencias;
    TClientDataSet *cdsImposto;
    TDataSource *dtsimposto;
    TClientDataSet *cdsCFOP;
    TDataSource *dtsCFOP;
    TMessages *msgCST;
    TNetConnection *netConsistencia;
    QMenu *pmnOpcaoCadFiscal;
    // The rules of the tax out to a spreadsheet and back.
    TButtonFlat *sbtExportar;
    TButtonFlat *sbtImportar;
    QAction *mnuExportar;
    QAction *mnuImportar;
    QAction *mnuOpcaoAliqCSTImp;
    QAction *mnuOpcaoDadosFiscCSTImposto;

    // CST family, text, list and validity for the chosen tax (cdsImposto).
    const CstRoutines &Cst() const { return m_cst; }

    // Display texts of the rule's coded fields (OnGetText of the fields).
    void cdsConsistenciasIDENTRSAIDOPGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasCDFISCOPERGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasCDCST1DIGTGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasCDSITUTRIBGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasCDFISCALGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasIDTPBASECALCGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasIDTPALIQUOTAGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasIDTPVRIMPOSTOGetText(TField *Sender, QString &Text, bool DisplayText);
    void cdsConsistenciasCDTPCREDPICOITEGetText(TField *Sender, QString &Text, bool DisplayText);

    // Direction typed or picked: the pick list's "Ambos" is stored as "T".
    void cdsConsistenciasIDENTRSAIDOPSetText(TField *Sender, const QString &Text);

    // Tax choice and loading.
    void panImpostoEnter(QObject *Sender);
    void panImpostoExit(QObject *Sender);
    void btpImpostoBeforePesq(QObject *Sender, bool &AllowPesq);
    void btpImpostoAfterPesq(QObject *Sender);
    void vdImposto();
    void getConsistencias();
    void habilitaBotao();
    void pgcPadraoChange(QObject *Sender);

    // Rule editing: guards, checks before a post, saving after it.
    void cdsConsistenciasBeforeInsert(TClientDataSet *DataSet);
    void cdsConsistenciasBeforeEdit(TClientDataSet *DataSet);
    void cdsConsistenciasBeforeDelete(TClientDataSet *DataSet);
    void cdsConsistenciasBeforePost(TClientDataSet *DataSet);
    void cdsConsistenciasAfterPost(TClientDataSet *DataSet);
    void cdsConsistenciasAfterDelete(TClientDataSet *DataSet);
    void cdsConsistenciasAfterCancel(TClientDataSet *DataSet);
    void cdsConsistenciasAfterScroll(TClientDataSet *DataSet);
    void vdSubtrib();
    void validaConsistencias();

    // The rule grid.
    void dbgBloqueadosDrawColumnCell(TDBGrid *Sender, const QRect &Rect, int DataCol,
                                     TColumn *Column, TDBGrid::DrawState State);
    void dbgBloqueadosKeyPress(TDBGrid *Sender, QChar &Key);
    void dbgBloqueadosEditButtonClick(TDBGrid *Sender);
    void dbgBloqueadosColExit(TDBGrid *Sender);
    void preenchePickList();

    void netConsistenciaBeforeConnect(TNetConnection *Sender);
    void sbtAutomaticoClick(QObject *Sender);
    // Opens the simulation screen on the current tax.
    void sbtSimulacaoClick(QObject *Sender);
    void btnCadFiscalClick(QObject *Sender);
    void mnuOpcaoAliqCSTImpClick();
    void mnuOpcaoDadosFiscCSTImpostoClick();
    void sbtExportarClick(QObject *Sender);
    void sbtImportarClick(QObject *Sender);

    // What the automatic screen borrows.
    TNetConnection *Connection() const override;
    QString TaxCode() const override;
    void FocusTaxCode() override;
    QString TaxName() const override;
    const TMessages &Messages() const override;
    const CstRoutines &CstOfTax() const override;
    void ShowRule(const QString &tax, const QString &number, bool admitted) override;

    void FormActivate() override;
    void dtsPadraoStateChange() override;
    void sbtVerificarClick() override;

protected:
    void FormCreate() override;
    void FormClose(TCloseAction &Action) override;

private:
    void placeControls();
    void prepareRuleGrid();
    void createRuleColumns();
    void createRecords();
    void bindRuleEvents();
    // Fills a typed CFOP to four digits and has the server confirm it.
    void vdCfop();
    // The check boxes show the current rule's two verification flags.
    void showVerificationFlags();
    QString ruleValue(const char *fieldName) const;

    CstRoutines m_cst;
};

extern "C" {
Q_DECL_EXPORT extern TfrmConsisteFiscal *frmConsisteFiscal;
}

// Unit start and end, run by the package's Initialize and Finalize.
namespace Cli_kvr51400 {
void Initialization();
void Finalization();
} // namespace Cli_kvr51400
