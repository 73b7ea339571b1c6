#include "CLI/STD/KVR/KVR51400/Cli_kvr51402.h"
#include "CLI/STD/KVR/KVR51400/RuleMapModel.h"
#include "kit/widgets/TButtonFlat.h"
#include "tests/module/ScreenFixture.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>

namespace {

class SimulationScreen : public ScreenFixture
{
public:
    void TearDown() override
    {
        delete frmSimulacao;
        ScreenFixture::TearDown();
    }

protected:
    // A rule of ICMS made by cadAutoInsere for one CFOP ("" any) and CST ("" any).
    void Insert(const char *cfop, const char *cst, const char *fiscal, const char *kind)
    {
        const QString c = QString::fromLatin1(cfop);
        const QString s = QString::fromLatin1(cst);
        Call(QStringLiteral("cadAutoInsere"),
             {QStringLiteral("01"), s, s, c, c, QStringLiteral("0"), QStringLiteral("0"),
              QStringLiteral("0"), QStringLiteral("S"), QStringLiteral("N"),
              QString::fromLatin1(fiscal), QString::fromLatin1(kind)});
    }
    static void Pick(QComboBox *box, const QString &start)
    {
        for (int i = 0; i < box->count(); ++i)
            if (start.isEmpty() ? box->itemText(i).isEmpty() : box->itemText(i).startsWith(start))
                return box->setCurrentIndex(i);
        ADD_FAILURE() << "no item " << start.toStdString();
    }
};

} // namespace

TEST_F(SimulationScreen, LineVerdictMapAndFindingsOfTheMaintenanceScreensTax)
{
    Insert("5101", "00", "1", "B");
    Insert("5101", "", "1", "A");
    EXPECT_FALSE(screen->sbtSimulacao->isEnabled());
    ChooseTax(QStringLiteral("01"));
    ASSERT_TRUE(screen->sbtSimulacao->isEnabled());
    EXPECT_TRUE(screen->mnuSimulacao->isEnabled());
    screen->sbtSimulacaoClick(nullptr);
    TfrmSimulacao *sim = frmSimulacao;
    ASSERT_NE(sim, nullptr);
    EXPECT_EQ(sim->edtCdImposto->text(), u"01");
    EXPECT_EQ(sim->lblCodTela->text(), u"KVR51402");

    // Line: CFOP, CST, verdict, rules that apply. Stage L, exit, fiscal 1.
    const struct
    {
        const char *cfop;
        const char *cst;
        const char *verdict;
        int rules;
    } lines[] = {
        {"5101", "00", "CONFLITO", 2},
        {"5101", "10", "ADMITIDA", 1},
        {"5102", "40", "BLOQUEADA", 1}, // a seeded rule
        {"5949", "", "NENHUMA", 0},
    };
    for (const auto &line : lines) {
        sim->edtCdCFOP->setText(QString::fromLatin1(line.cfop));
        Pick(sim->cmbCST, QString::fromLatin1(line.cst));
        Pick(sim->cmbCdFiscal, QStringLiteral("1"));
        sim->btnSimular->click();
        EXPECT_TRUE(sim->lblVeredito->text().startsWith(QString::fromLatin1(line.verdict)))
            << line.cfop << "/" << line.cst << ": " << sim->lblVeredito->text().toStdString();
        EXPECT_EQ(sim->dbgRegras->rowCount(), line.rules) << line.cfop << "/" << line.cst;
    }

    // Double click on a blocked rule: the maintenance screen's current rule.
    sim->edtCdCFOP->setText(QStringLiteral("5102"));
    Pick(sim->cmbCST, QStringLiteral("40"));
    sim->btnSimular->click();
    ASSERT_EQ(sim->dbgRegras->rowCount(), 1);
    const QString number = sim->dbgRegras->item(0, 0)->text();
    Q_EMIT sim->dbgRegras->cellDoubleClicked(0, 3);
    EXPECT_EQ(screen->cdsConsistencias->FieldByName(QStringLiteral("NRSEQCONSISTE"))->AsString(),
              number);
    EXPECT_FALSE(sim->isVisible());
    screen->sbtSimulacaoClick(nullptr);
    EXPECT_EQ(sim->dbgRegras->rowCount(), 1) << "reopened as it was left";

    // The map comes with its page: CFOP 5101 x CST 00 has one rule of each kind.
    sim->pgcSimulacao->setCurrentWidget(sim->tshMapa);
    auto *map = qobject_cast<RuleMapModel *>(sim->dbgMapa->model());
    ASSERT_NE(map, nullptr);
    ASSERT_GT(map->rowCount(), 0);
    for (int row = 0; row < map->rowCount(); ++row)
        ASSERT_TRUE(QStringLiteral("567").contains(map->Cfop(row).at(0)));
    int at = -1;
    for (int row = 0; row < map->rowCount(); ++row)
        if (map->Cfop(row) == u"5101")
            at = row;
    ASSERT_GE(at, 0);
    EXPECT_EQ(map->columnCount(), 11); // the ICMS CSTs
    const QModelIndex cell = map->index(at, 0);
    EXPECT_EQ(RuleMapModel::Kind(map->CountsAt(at, 0)), u"C");
    EXPECT_EQ(map->data(cell).toString(), u"1/1");
    EXPECT_EQ(map->data(cell, Qt::ToolTipRole).toString().count(QStringLiteral("Bloqueada")), 1);
    sim->dbgMapaClick(at, 0);
    EXPECT_EQ(sim->lstCelula->count(), 2);
    EXPECT_EQ(RuleMapModel::Kind(map->CountsAt(at, 1)), u"A");

    // Findings: the blocked rule conflicts with the admitted one.
    sim->pgcSimulacao->setCurrentWidget(sim->tshConflitos);
    ASSERT_GT(sim->dbgConflitos->rowCount(), 0);
    bool conflict = false;
    for (int row = 0; row < sim->dbgConflitos->rowCount(); ++row)
        conflict |= sim->dbgConflitos->item(row, 0)->text() == u"Conflito" &&
                    sim->dbgConflitos->item(row, 2)->text() == u"Bloqueada" &&
                    sim->dbgConflitos->item(row, 10)->text() == u"Admitida";
    EXPECT_TRUE(conflict);
    EXPECT_FALSE(sim->lblConflitos->text().isEmpty());
}
