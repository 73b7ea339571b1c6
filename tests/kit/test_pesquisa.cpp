#include "kit/core/Consiste.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TDataSource.h"
#include "kit/search/TPesquisaModel.h"
#include "kit/search/TfrmPesquisa.h"
#include "tests/kit/ModalAnswer.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QVariantMap Packet(const QList<QPair<QString, int>> &fields, const QList<QStringList> &rows)
{
    QVariantList fieldList;
    for (const auto &f : fields)
        fieldList.append(
            QVariantMap{{QStringLiteral("name"), f.first}, {QStringLiteral("size"), f.second}});
    QVariantList rowList;
    for (const QStringList &row : rows) {
        QVariantList cells;
        for (const QString &cell : row)
            cells.append(cell);
        rowList.append(QVariant(cells));
    }
    return {{QStringLiteral("fields"), fieldList}, {QStringLiteral("rows"), rowList}};
}

// The CFOP lookup: code, description and a field the window must not list.
class CfopSearch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_cds.AddField(QStringLiteral("CDCFOPPADRAO"), 4, QStringLiteral("CFOP"));
        m_cds.AddField(QStringLiteral("DSCFOPPADRAO"), 60, QStringLiteral("Descrição"), true, 40);
        m_cds.AddField(QStringLiteral("IDINTERNO"), 1, QStringLiteral("Interno"), false);
        m_source.SetDataSet(&m_cds);
    }

    void Load(const QList<QStringList> &rows)
    {
        m_cds.SetData(Packet({{QStringLiteral("CDCFOPPADRAO"), 4},
                              {QStringLiteral("DSCFOPPADRAO"), 60},
                              {QStringLiteral("IDINTERNO"), 1}},
                             rows));
    }

    void LoadCfops()
    {
        Load(
            {{QStringLiteral("1102"), QStringLiteral("Compra para comercialização"),
              QStringLiteral("S")},
             {QStringLiteral("1202"), QStringLiteral("Devolução de venda"), QStringLiteral("S")},
             {QStringLiteral("5102"), QStringLiteral("Venda de mercadoria adquirida"),
              QStringLiteral("N")},
             {QStringLiteral("5405"), QStringLiteral("Venda com substituição tributária"),
              QStringLiteral("N")},
             {QStringLiteral("6102"), QStringLiteral("Venda interestadual"), QStringLiteral("N")}});
    }

    QString CurrentCode() const
    {
        return m_cds.FieldByName(QStringLiteral("CDCFOPPADRAO"))->AsString();
    }

    TClientDataSet m_cds;
    TDataSource m_source;
};

TEST_F(CfopSearch, TypingJumpsToTheCodeAndEnterPicksIt)
{
    LoadCfops();
    OnNextModal<TfrmPesquisa>([](TfrmPesquisa *dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("CFOP"));
        EXPECT_EQ(dialog->focusWidget(), dialog->SearchBox());
        QTest::keyClicks(dialog->SearchBox(), QStringLiteral("54"));
        QTest::keyClick(dialog->SearchBox(), Qt::Key_Return);
    });
    EXPECT_TRUE(Pesquisar(&m_source, QStringLiteral("CFOP|CFOP não cadastrado"), false, true));
    EXPECT_EQ(CurrentCode(), QStringLiteral("5405"));
}

TEST_F(CfopSearch, EscapeCancelsAndLeavesTheRowWhereItWas)
{
    LoadCfops();
    m_cds.SetRecNo(1);
    OnNextModal<TfrmPesquisa>([](TfrmPesquisa *dialog) {
        QTest::keyClicks(dialog->SearchBox(), QStringLiteral("6102"));
        QTest::keyClick(dialog->SearchBox(), Qt::Key_Escape);
    });
    EXPECT_FALSE(Pesquisar(&m_source, QStringLiteral("CFOP|CFOP não cadastrado"), false, true));
    EXPECT_EQ(CurrentCode(), QStringLiteral("1202"));
}

TEST_F(CfopSearch, StartsOnTheCurrentRowAndArrowsBrowseFromTheSearchBox)
{
    LoadCfops();
    m_cds.SetRecNo(1);
    OnNextModal<TfrmPesquisa>([](TfrmPesquisa *dialog) {
        EXPECT_EQ(dialog->Grid()->currentIndex().row(), 1);
        QTest::keyClick(dialog->SearchBox(), Qt::Key_Down);
        QTest::keyClick(dialog->SearchBox(), Qt::Key_Down);
        QTest::keyClick(dialog->SearchBox(), Qt::Key_Up);
        QTest::keyClick(dialog->SearchBox(), Qt::Key_Enter);
    });
    EXPECT_TRUE(Pesquisar(&m_source, QStringLiteral("CFOP"), false, true));
    EXPECT_EQ(CurrentCode(), QStringLiteral("5102"));
}

TEST_F(CfopSearch, TextFoundInsideADescriptionWhenNoCodeStartsWithIt)
{
    LoadCfops();
    OnNextModal<TfrmPesquisa>([](TfrmPesquisa *dialog) {
        QTest::keyClicks(dialog->SearchBox(), QStringLiteral("interest"));
        QTest::keyClick(dialog->SearchBox(), Qt::Key_Return);
    });
    EXPECT_TRUE(Pesquisar(&m_source, QStringLiteral("CFOP"), false, true));
    EXPECT_EQ(CurrentCode(), QStringLiteral("6102"));
}

TEST_F(CfopSearch, TypingOverTheListGoesToTheSearchBox)
{
    LoadCfops();
    OnNextModal<TfrmPesquisa>([](TfrmPesquisa *dialog) {
        dialog->Grid()->setFocus();
        QTest::keyClicks(dialog->Grid(), QStringLiteral("12"));
        EXPECT_EQ(dialog->SearchBox()->text(), QStringLiteral("12"));
        QTest::keyClick(dialog->SearchBox(), Qt::Key_Return);
    });
    EXPECT_TRUE(Pesquisar(&m_source, QStringLiteral("CFOP"), false, true));
    EXPECT_EQ(CurrentCode(), QStringLiteral("1202"));
}

TEST_F(CfopSearch, DoubleClickPicks)
{
    LoadCfops();
    OnNextModal<TfrmPesquisa>([](TfrmPesquisa *dialog) {
        QTableView *grid = dialog->Grid();
        const QRect cell = grid->visualRect(grid->model()->index(3, 0));
        // A user's double click is a click and then the double click.
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    });
    EXPECT_TRUE(Pesquisar(&m_source, QStringLiteral("CFOP"), false, true));
    EXPECT_EQ(CurrentCode(), QStringLiteral("5405"));
}

TEST_F(CfopSearch, ListsVisibleFieldsWithLabelsWidthsAndDisplayTexts)
{
    LoadCfops();
    m_cds.FieldByName(QStringLiteral("DSCFOPPADRAO"))->OnGetText = [](TField *field, QString &text,
                                                                      bool) {
        text = field->DataSet()->FieldByName(QStringLiteral("CDCFOPPADRAO"))->AsString() +
               QStringLiteral(" - ") + field->AsString();
    };
    OnNextModal<TfrmPesquisa>([](TfrmPesquisa *dialog) {
        QAbstractItemModel *model = dialog->Grid()->model();
        ASSERT_EQ(model->columnCount(), 2) << "the hidden field is not listed";
        EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("CFOP"));
        EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Descrição"));
        EXPECT_EQ(model->data(model->index(2, 1)).toString(),
                  QStringLiteral("5102 - Venda de mercadoria adquirida"));
        EXPECT_GT(dialog->Grid()->columnWidth(1), dialog->Grid()->columnWidth(0) * 5)
            << "40 characters against 4";
        dialog->reject();
    });
    EXPECT_FALSE(Pesquisar(&m_source, QStringLiteral("CFOP"), false, true));
}

TEST_F(CfopSearch, AllFieldsFlagListsHiddenFieldsToo)
{
    LoadCfops();
    OnNextModal<TfrmPesquisa>([](TfrmPesquisa *dialog) {
        EXPECT_EQ(dialog->Grid()->model()->columnCount(), 3);
        dialog->reject();
    });
    EXPECT_FALSE(Pesquisar(&m_source, QStringLiteral("CFOP"), true, true));
}

TEST_F(CfopSearch, EmptyListShowsTheMessageAfterTheBar)
{
    Load({});
    ModalAnswer answer;
    EXPECT_FALSE(Pesquisar(&m_source, QStringLiteral("CFOP|CFOP não cadastrado"), false, true));
    EXPECT_EQ(answer.Texts(), QStringList{QStringLiteral("CFOP não cadastrado")});
}

TEST_F(CfopSearch, ClosedDatasetCountsAsEmpty)
{
    ModalAnswer answer;
    EXPECT_FALSE(Pesquisar(&m_source, QStringLiteral("CFOP|CFOP não cadastrado"), false, true));
    EXPECT_EQ(answer.Texts(), QStringList{QStringLiteral("CFOP não cadastrado")});
}

TEST_F(CfopSearch, FilteredRowsOnlyAreListed)
{
    LoadCfops();
    m_cds.SetFilter(QStringLiteral("IDINTERNO = 'S'"));
    m_cds.SetFiltered(true);
    OnNextModal<TfrmPesquisa>([](TfrmPesquisa *dialog) {
        EXPECT_EQ(dialog->Grid()->model()->rowCount(), 2);
        QTest::keyClick(dialog->SearchBox(), Qt::Key_Down);
        QTest::keyClick(dialog->SearchBox(), Qt::Key_Return);
    });
    EXPECT_TRUE(Pesquisar(&m_source, QStringLiteral("CFOP"), false, true));
    EXPECT_EQ(CurrentCode(), QStringLiteral("1202"));
}

TEST_F(CfopSearch, WithoutDatasetIsAClearError)
{
    TDataSource empty;
    EXPECT_THROW(Pesquisar(&empty, QStringLiteral("CFOP"), false, true), EKvrError);
    EXPECT_THROW(Pesquisar(nullptr, QStringLiteral("CFOP"), false, true), EKvrError);
}

TEST_F(CfopSearch, SearchModelPassesTheModelTester)
{
    LoadCfops();
    for (bool many : {false, true}) {
        TPesquisaModel model(&m_cds, many, false);
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::Fatal);
        model.ToggleMark(2);
        model.setData(model.index(0, model.MarkColumn()), Qt::Checked, Qt::CheckStateRole);
        EXPECT_EQ(model.Marked(), many ? (QList<int>{2, 0}) : QList<int>{});
    }
}

struct FindCase
{
    const char *typed;
    int column;
    int from;
    int expected;
};

class SearchModelFind : public CfopSearch, public ::testing::WithParamInterface<FindCase>
{
};

TEST_P(SearchModelFind, FindsTheRowAUserExpects)
{
    LoadCfops();
    TPesquisaModel model(&m_cds, false, false);
    const FindCase &c = GetParam();
    EXPECT_EQ(model.FindRow(QString::fromUtf8(c.typed), c.column, c.from), c.expected) << c.typed;
}

INSTANTIATE_TEST_SUITE_P(Typed, SearchModelFind,
                         ::testing::Values(FindCase{"5", 0, 0, 2}, FindCase{"51", 0, 0, 2},
                                           FindCase{"54", 0, 0, 3}, FindCase{"5", 0, 3, 3},
                                           FindCase{"1", 0, 3, 0}, FindCase{"venda", 1, 0, 2},
                                           FindCase{"VENDA", 1, 0, 2}, FindCase{"devol", 0, 0, 1},
                                           FindCase{"9", 0, 0, -1}, FindCase{"", 0, 0, -1}));

// The rule list of the automatic screen: mark several, keys in pick order.
class RuleList : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_cds.AddField(QStringLiteral("IDMARCADO"), 1, QStringLiteral("Marcado"), false);
        m_cds.AddField(QStringLiteral("NRSEQCONSISTE"), 10, QStringLiteral("Consistência"));
        m_cds.AddField(QStringLiteral("CDFISCOPER"), 4, QStringLiteral("CFOP"));
        m_source.SetDataSet(&m_cds);
        QList<QStringList> rows;
        for (const char *n : {"0000000001", "0000000003", "0000000005", "0000000007"})
            rows.append({QString(), QString::fromLatin1(n), QStringLiteral("5102")});
        m_cds.SetData(Packet({{QStringLiteral("IDMARCADO"), 1},
                              {QStringLiteral("NRSEQCONSISTE"), 10},
                              {QStringLiteral("CDFISCOPER"), 4}},
                             rows));
        m_cds.FieldByName(QStringLiteral("IDMARCADO"))->SetVisible(true);
    }

    TClientDataSet m_cds;
    TDataSource m_source;
};

// Marking gestures, each "<gesture><row>": s Space, b a click on the box,
// c Ctrl+click, h Shift+click (the rows up to the last marked one).
struct Marking
{
    const char *gestures, *picked, *counted;
};

class RuleMarking : public RuleList, public ::testing::WithParamInterface<Marking>
{
};

TEST_P(RuleMarking, GesturesMarkRowsInOrderAndTheWindowCountsThem)
{
    const Marking &m = GetParam();
    OnNextModal<TfrmPesquisa>([&m](TfrmPesquisa *dialog) {
        QTableView *grid = dialog->Grid();
        // The mark column opens in view, its title whole.
        EXPECT_EQ(grid->horizontalScrollBar()->value(), 0);
        EXPECT_EQ(grid->columnViewportPosition(0), 0);
        EXPECT_GE(grid->columnWidth(0),
                  grid->horizontalHeader()->fontMetrics().horizontalAdvance(
                      grid->model()->headerData(0, Qt::Horizontal).toString()));
        grid->setFocus();
        for (const QString &gesture : QString::fromLatin1(m.gestures).split(' ')) {
            const QModelIndex cell = grid->model()->index(gesture.mid(1).toInt(), 1);
            const QPoint middle = grid->visualRect(cell).center();
            switch (gesture.at(0).toLatin1()) {
            case 's':
                grid->setCurrentIndex(cell);
                QTest::keyClick(grid, Qt::Key_Space);
                break;
            case 'b': {
                QStyleOptionViewItem option;
                option.initFrom(grid->viewport());
                option.rect = grid->visualRect(cell.siblingAtColumn(0));
                option.features = QStyleOptionViewItem::HasCheckIndicator;
                const QRect box = grid->style()->subElementRect(
                    QStyle::SE_ItemViewItemCheckIndicator, &option, grid);
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, box.center());
                break;
            }
            case 'c':
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, middle);
                break;
            case 'h':
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ShiftModifier, middle);
                break;
            }
        }
        auto *count = dialog->findChild<QLabel *>(QStringLiteral("lblMarcados"));
        ASSERT_NE(count, nullptr);
        EXPECT_EQ(count->text(), QString::fromUtf8(m.counted));
        QTest::keyClick(grid, Qt::Key_Return);
    });
    QString list = QStringLiteral("antes");
    EXPECT_TRUE(PesquisaLista(
        &m_source, QStringLiteral("NRSEQCONSISTE"),
        QStringLiteral("Consistência Fiscal|Não há consistências cadastradas"), false, list));
    EXPECT_EQ(list, QString::fromLatin1(m.picked));
}

INSTANTIATE_TEST_SUITE_P(
    Gestures, RuleMarking,
    ::testing::Values(Marking{"s1 s3", "0000000003,0000000007", "2 registros marcados"},
                      Marking{"s3 s0 s1", "0000000007,0000000001,0000000003",
                              "3 registros marcados"},
                      Marking{"s0 s2 s0", "0000000005", "1 registro marcado"},
                      Marking{"b2", "0000000005", "1 registro marcado"},
                      Marking{"c1 c3 c1", "0000000007", "1 registro marcado"},
                      Marking{"c0 h2", "0000000001,0000000003,0000000005", "3 registros marcados"},
                      Marking{"s1 s1", "0000000003", "Nenhum registro marcado"}));

TEST_F(RuleList, CancelLeavesTheTextAsItWas)
{
    OnNextModal<TfrmPesquisa>([](TfrmPesquisa *dialog) {
        QTableView *grid = dialog->Grid();
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Space);
        QTest::keyClick(grid, Qt::Key_Escape);
    });
    QString list = QStringLiteral("0000000001");
    EXPECT_FALSE(PesquisaLista(&m_source, QStringLiteral("NRSEQCONSISTE"), QStringLiteral("x"),
                               false, list));
    EXPECT_EQ(list, QStringLiteral("0000000001"));
}

TEST_F(RuleList, MarkFieldIsTheCheckColumnWhereItStands)
{
    OnNextModal<TfrmPesquisa>([](TfrmPesquisa *dialog) {
        QAbstractItemModel *model = dialog->Grid()->model();
        ASSERT_EQ(model->columnCount(), 3);
        EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Marcado"));
        EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Consistência"));
        EXPECT_TRUE(model->flags(model->index(0, 0)) & Qt::ItemIsUserCheckable);
        // Clicking the check box marks like Space does.
        model->setData(model->index(2, 0), Qt::Checked, Qt::CheckStateRole);
        EXPECT_EQ(model->data(model->index(2, 0), Qt::CheckStateRole).toInt(), int(Qt::Checked));
        QTest::keyClick(dialog->SearchBox(), Qt::Key_Return);
    });
    QString list;
    EXPECT_TRUE(PesquisaLista(&m_source, QStringLiteral("NRSEQCONSISTE"), QStringLiteral("x"),
                              false, list));
    EXPECT_EQ(list, QStringLiteral("0000000005"));
}

TEST_F(RuleList, TypeToSearchThenMark)
{
    OnNextModal<TfrmPesquisa>([](TfrmPesquisa *dialog) {
        QTest::keyClicks(dialog->SearchBox(), QStringLiteral("0000000005"));
        EXPECT_EQ(dialog->Grid()->currentIndex().row(), 2);
        QTest::keyClick(dialog->Grid(), Qt::Key_Space);
        QTest::keyClick(dialog->Grid(), Qt::Key_Return);
    });
    QString list;
    EXPECT_TRUE(PesquisaLista(&m_source, QStringLiteral("NRSEQCONSISTE"), QStringLiteral("x"),
                              false, list));
    EXPECT_EQ(list, QStringLiteral("0000000005"));
}

TEST_F(RuleList, ConfirmWithoutMarksTakesTheCurrentRow)
{
    OnNextModal<TfrmPesquisa>([](TfrmPesquisa *dialog) {
        QTest::keyClick(dialog->SearchBox(), Qt::Key_Down);
        QTest::keyClick(dialog->SearchBox(), Qt::Key_Return);
    });
    QString list;
    EXPECT_TRUE(PesquisaLista(&m_source, QStringLiteral("NRSEQCONSISTE"), QStringLiteral("x"),
                              false, list));
    EXPECT_EQ(list, QStringLiteral("0000000003"));
}

TEST_F(RuleList, EmptyListMessageAndUnknownKeyField)
{
    m_cds.EmptyDataSet();
    ModalAnswer answer;
    QString list = QStringLiteral("igual");
    EXPECT_FALSE(PesquisaLista(
        &m_source, QStringLiteral("NRSEQCONSISTE"),
        QStringLiteral("Consistência Fiscal|Não há consistências cadastradas"), false, list));
    EXPECT_EQ(answer.Texts(), QStringList{QStringLiteral("Não há consistências cadastradas")});
    EXPECT_EQ(list, QStringLiteral("igual"));
    EXPECT_THROW(
        PesquisaLista(&m_source, QStringLiteral("NAOEXISTE"), QStringLiteral("x"), false, list),
        EKvrError);
}

} // namespace
