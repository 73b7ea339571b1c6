#pragma once

#include "fiscal/RuleMatch.h"
#include "kit/forms/TfrmRotiGeral.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QtGlobal>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QTableView;
class QTableWidget;
class RuleMapModel;
class TBtnPesquisa;
class TClientDataSet;
class TDataSource;

// The simulation screen "KVR51402": what the rules of the maintenance
// screen's tax say of an invoice line, the tax's CFOP x CST map and its
// conflicting and redundant rules, each rule one double click away from the
// maintenance screen. Created once per run (criaSimulacao); closing hides it.
// It has no connection of its own: every call goes through the maintenance
// screen's (MaintenanceScreenLink).
class TfrmSimulacao final : public TfrmRotiGeral
{
    Q_OBJECT
public:
    // Use TfrmRotiGeral::Create<TfrmSimulacao>() so FormCreate runs.
    explicit TfrmSimulacao(QWidget *parent = nullptr);
    ~TfrmSimulacao() override;

    QLineEdit *edtCdImposto;
    QLineEdit *edtNmImposto;
    QTabWidget *pgcSimulacao;
    // Simulação
    QWidget *tshSimulacao;
    QComboBox *cmbEtapa;
    QComboBox *cmbOperacao;
    QLineEdit *edtCdCFOP;
    TBtnPesquisa *btpCFOP;
    QLineEdit *edtNmCFOP;
    QComboBox *cmbCST1;
    QComboBox *cmbCST;
    QComboBox *cmbCdFiscal;
    QComboBox *cmbBaseCalc;
    QComboBox *cmbAliquota;
    QComboBox *cmbImposto;
    QLineEdit *edtCredito;
    QPushButton *btnSimular;
    QLabel *lblVeredito;
    QTableWidget *dbgRegras;
    // Mapa
    QWidget *tshMapa;
    QComboBox *cmbMapaEtapa;
    QComboBox *cmbMapaOperacao;
    QPushButton *btnMapa;
    QTableView *dbgMapa;
    QLabel *lblCelula;
    QListWidget *lstCelula;
    // Conflitos
    QWidget *tshConflitos;
    QPushButton *btnConflitos;
    QLabel *lblConflitos;
    QTableWidget *dbgConflitos;

    TClientDataSet *cdsCFOP;
    TDataSource *dtsCFOP;

    // The tax of the maintenance screen; a new tax clears the pages.
    void SetImposto(const QString &code, const QString &name);

    void btnSimularClick();
    void btnMapaClick();
    void btnConflitosClick();
    void btpCFOPBeforePesq(QObject *Sender, bool &AllowPesq);
    void btpCFOPAfterPesq(QObject *Sender);
    void vdCfop();
    void dbgMapaClick(int row, int column);
    // Brings the maintenance screen forward on that rule; this screen hides.
    void irParaConsistencia(const QString &number);

protected:
    void sbtConfirmaClick() override;

private:
    void createLinePage();
    void createMapPage();
    void createFindingsPage();
    // The tax's rules, for the names of the map's cells and the findings.
    void getConsistencias();
    QString rulesOfCell(const QString &cfop, const QString &cst, int limit) const;
    QStringList ruleTexts(const QStringList &row) const;

    RuleMapModel *m_map;
    QString m_mapStage;
    QString m_mapDirection;
    QHash<QString, QStringList> m_rows; // by rule number
    QList<kvr::fiscal::RuleMatch::Rule> m_rules;
};

extern "C" {
Q_DECL_EXPORT extern TfrmSimulacao *frmSimulacao;
}
