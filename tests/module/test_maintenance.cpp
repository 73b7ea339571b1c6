// The maintenance screen at work against a real app server: choosing a tax,
// the enabling of the tool bar, the checks before a post, saving, the key
// filter and column exits of the grid, and the drawing of the active flag.
#include "tests/module/Packets.h"
#include "tests/module/ScreenFixture.h"

#include "kit/core/TMessages.h"
#include "kit/data/TDataSource.h"
#include "kit/grid/TDBGrid.h"
#include "kit/widgets/TBtnPesquisa.h"
#include "kit/widgets/TButtonFlat.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QTabWidget>

#include <functional>

namespace {

// Seeded rules of ICMS ("01"): 1 predefined, 2 and 4 user rules, 3 admitted.
const QString Rule1 = QStringLiteral("0000000001");
const QString Rule2 = QStringLiteral("0000000002");
const QString Rule4 = QStringLiteral("0000000004");

class Maintenance : public ScreenFixture
{
public:
    TClientDataSet *rules() const { return screen->cdsConsistencias; }
    TField *field(const char *name) const
    {
        return rules()->FieldByName(QString::fromLatin1(name));
    }
    QString value(const char *name) const { return field(name)->AsString(); }
    void GoTo(const QString &number)
    {
        ASSERT_TRUE(rules()->Locate(QStringLiteral("NRSEQCONSISTE"), number))
            << number.toStdString();
    }
    QString focusedColumn() const
    {
        const TField *selected = screen->dbgBloqueados->SelectedField();
        return selected ? selected->FieldName() : QString();
    }
};

// ---------------------------------------------------------------------------
// Choosing a tax: what the edit, the rows, the CST pick list and the messages
// show afterwards.

struct TaxChoice
{
    const char *typed;
    const char *shownCode;
    const char *message; // "" = none
    int visibleRules;    // -1 = rules closed
    int cstItems;
    const char *firstCst;
};

class TaxChoiceTable : public Maintenance, public ::testing::WithParamInterface<TaxChoice>
{
};

TEST_P(TaxChoiceTable, LeavingTheTaxPanel)
{
    const TaxChoice &c = GetParam();
    ModalAnswer answer;
    ChooseTax(QString::fromUtf8(c.typed));
    QTRY_COMPARE(answer.Texts().size(), *c.message ? 1 : 0);
    if (*c.message) {
        EXPECT_EQ(answer.Texts().first(), QString::fromUtf8(c.message));
        EXPECT_EQ(screen->focusWidget(), screen->edtCdImposto);
    }
    EXPECT_EQ(screen->edtCdImposto->text(), QString::fromUtf8(c.shownCode));
    if (c.visibleRules < 0) {
        EXPECT_FALSE(rules()->Active());
        return;
    }
    ASSERT_EQ(rules()->state(), TClientDataSet::State::Browse);
    EXPECT_EQ(rules()->RecordCount(), c.visibleRules);
    for (int row = 0; row < rules()->RecordCount(); ++row) {
        rules()->SetRecNo(row);
        EXPECT_EQ(value("IDBLOQADMI"), QStringLiteral("B"));
    }
    const QStringList cst =
        screen->dbgBloqueados->ColumnByFieldName(QStringLiteral("CDSITUTRIB"))->PickList();
    EXPECT_EQ(cst.size(), c.cstItems);
    if (c.cstItems > 0) {
        EXPECT_EQ(cst.first(), QString::fromUtf8(c.firstCst));
    }
    EXPECT_EQ(
        screen->dbgBloqueados->ColumnByFieldName(QStringLiteral("IDENTRSAIDOP"))->PickList(),
        (QStringList{QStringLiteral("Entrada"), QStringLiteral("Saída"), QStringLiteral("Ambos")}));
}

INSTANTIATE_TEST_SUITE_P(
    Taxes, TaxChoiceTable,
    ::testing::Values(
        TaxChoice{"1", "01", "", 3, 11, "00 - Tributada integralmente"},
        TaxChoice{"", "", "Imposto deve ser informado", -1, 0, ""},
        TaxChoice{"77", "77", "Imposto não cadastrado", -1, 0, ""},
        TaxChoice{"3", "03", "", 2, 0, ""},
        TaxChoice{"50", "50", "", 2, 33,
                  "01 - Operação Tributável (base de cálculo = valor da operação alíquota normal "
                  "(cumulativo/não cumulativo))"},
        TaxChoice{"2", "02", "", 2, 14, "00 - Entrada com recuperação de crédito"}));

TEST_F(Maintenance, LookupFillsCodeAndNameWithoutLoadingAndReenteringClosesTheRules)
{
    OnNextModal<QDialog>([](QDialog *dialog) {
        QTest::keyClicks(dialog->focusWidget(), QStringLiteral("50"));
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
    });
    screen->edtCdImposto->setFocus();
    screen->btpImposto->Click();
    EXPECT_EQ(screen->edtCdImposto->text(), QStringLiteral("50"));
    EXPECT_EQ(screen->edtNmImposto->text(), QStringLiteral("Programa de Integração Social"));
    EXPECT_FALSE(rules()->Active());

    ChooseTax(QStringLiteral("1"));
    ASSERT_TRUE(rules()->Active());
    rules()->SetRecNo(1);
    rules()->Edit();
    field("DSCONSISTENCIA")->SetAsString(QStringLiteral("nunca salvo"));
    screen->edtCdImposto->setFocus(); // entering the panel drops the edit
    EXPECT_FALSE(rules()->Active());
    EXPECT_FALSE(screen->sbtAlterar->isEnabled());
    EXPECT_NE(ServerRule(QStringLiteral("01"), Rule2).value(QStringLiteral("DSCONSISTENCIA")),
              QStringLiteral("nunca salvo"));
}

// ---------------------------------------------------------------------------
// Enabling: one row per situation, one column per control.

struct Enabling
{
    const char *situation;
    std::function<void(Maintenance *, TfrmConsisteFiscal *)> arrange;
    // alterar/excluir, procurar, verificar, cancelar/confirmar, tshBloqueados, check boxes
    bool change, search, verify, editing, rulePage;
};

class EnablingTable : public Maintenance, public ::testing::WithParamInterface<Enabling>
{
};

QVariant rulePacket(TClientDataSet *rules, const std::vector<QStringList> &values)
{
    // Rows given as NRSEQCONSISTE, IDBLOQADMI, IDCONSPREDEFI.
    std::vector<std::pair<QString, int>> fields;
    for (int i = 0; i < rules->FieldCount(); ++i)
        fields.emplace_back(rules->Fields(i)->FieldName(), rules->Fields(i)->Size());
    std::vector<QStringList> rows;
    for (const QStringList &v : values) {
        QStringList row;
        for (const auto &f : fields)
            row.append(f.first == QLatin1String("NRSEQCONSISTE")   ? v.at(0)
                       : f.first == QLatin1String("IDBLOQADMI")    ? v.at(1)
                       : f.first == QLatin1String("IDCONSPREDEFI") ? v.at(2)
                                                                   : QString());
        rows.push_back(row);
    }
    return MakePacket(fields, rows);
}

TEST_P(EnablingTable, ControlsFollowTheState)
{
    const Enabling &e = GetParam();
    e.arrange(this, screen);
    const auto s = screen.data();
    SCOPED_TRACE(e.situation);
    EXPECT_EQ(s->sbtAlterar->isEnabled(), e.change);
    EXPECT_EQ(s->sbtExcluir->isEnabled(), e.change);
    EXPECT_EQ(s->mnuAlterar->isEnabled(), e.change);
    EXPECT_EQ(s->mnuExcluir->isEnabled(), e.change);
    EXPECT_EQ(s->sbtProcurar->isEnabled(), e.search);
    EXPECT_EQ(s->mnuProcurar->isEnabled(), e.search);
    EXPECT_EQ(s->sbtVerificar->isEnabled(), e.verify);
    EXPECT_EQ(s->mnuVerificar->isEnabled(), e.verify);
    EXPECT_EQ(s->sbtCancelar->isEnabled(), e.editing);
    EXPECT_EQ(s->sbtConfirmar->isEnabled(), e.editing);
    EXPECT_EQ(s->mnuCancelar->isEnabled(), e.editing);
    EXPECT_EQ(s->mnuConfirmar->isEnabled(), e.editing);
    EXPECT_EQ(s->dbcLancamentoBloq->isEnabled(), e.editing);
    EXPECT_EQ(s->dbcAprovacaoBloq->isEnabled(), e.editing);
    EXPECT_EQ(s->pgcPadrao->isTabEnabled(s->pgcPadrao->indexOf(s->tshBloqueados)), e.rulePage);
    EXPECT_FALSE(s->sbtIncluir->isEnabled());
    EXPECT_FALSE(s->sbtImprimir->isEnabled());
    EXPECT_FALSE(s->mnuListagem->isEnabled());
    EXPECT_FALSE(s->mnuConfigImpressora->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Situations, EnablingTable,
    ::testing::Values(Enabling{"no rules", [](Maintenance *, TfrmConsisteFiscal *) {}, false, false,
                               false, false, true},
                      Enabling{"first rule predefined",
                               [](Maintenance *t, TfrmConsisteFiscal *) {
                                   t->ChooseTax(QStringLiteral("1"));
                               },
                               false, true, true, false, true},
                      Enabling{"moving to a user rule recomputes nothing",
                               [](Maintenance *t, TfrmConsisteFiscal *s) {
                                   t->ChooseTax(QStringLiteral("1"));
                                   s->cdsConsistencias->SetRecNo(1);
                               },
                               false, true, true, false, true},
                      Enabling{"first rule a user rule",
                               [](Maintenance *, TfrmConsisteFiscal *s) {
                                   s->cdsConsistencias->SetData(
                                       rulePacket(s->cdsConsistencias, {{"0000000001", "A", "S"},
                                                                        {"0000000002", "B", "N"}}));
                               },
                               true, true, true, false, true},
                      Enabling{"only admitted rules",
                               [](Maintenance *, TfrmConsisteFiscal *s) {
                                   s->cdsConsistencias->SetData(
                                       rulePacket(s->cdsConsistencias, {{"0000000001", "A", "N"}}));
                               },
                               false, false, true, false, true},
                      Enabling{"editing on the rule page",
                               [](Maintenance *t, TfrmConsisteFiscal *s) {
                                   t->ChooseTax(QStringLiteral("1"));
                                   s->cdsConsistencias->SetRecNo(1);
                                   s->cdsConsistencias->Edit();
                               },
                               false, false, false, true, true},
                      Enabling{"editing on the base page",
                               [](Maintenance *t, TfrmConsisteFiscal *s) {
                                   t->ChooseTax(QStringLiteral("1"));
                                   s->pgcPadrao->setCurrentWidget(s->tshPadrao);
                                   s->cdsConsistencias->SetRecNo(1);
                                   s->cdsConsistencias->Edit();
                               },
                               false, false, false, true, false}));

TEST_F(Maintenance, GuardsRefuseInsertsAndPredefinedRulesSilently)
{
    ChooseTax(QStringLiteral("1"));
    ModalAnswer answer;
    GoTo(Rule1);
    EXPECT_FALSE(kvrGuard([this]() { rules()->Edit(); }));
    EXPECT_EQ(rules()->state(), TClientDataSet::State::Browse);
    screen->dbgBloqueados->setFocus();
    QTest::keyClick(screen->dbgBloqueados, Qt::Key_Insert);
    rules()->Last();
    QTest::keyClick(screen->dbgBloqueados, Qt::Key_Down);
    EXPECT_FALSE(kvrGuard([this]() { rules()->Append(); }));
    EXPECT_FALSE(kvrGuard([this]() { rules()->Insert(); }));
    GoTo(Rule1);
    EXPECT_FALSE(kvrGuard([this]() { rules()->Delete(); }));
    QApplication::processEvents();
    EXPECT_TRUE(answer.Texts().isEmpty());
    EXPECT_EQ(rules()->TotalRecordCount(), 4);
    EXPECT_EQ(rules()->ChangeCount(), 0);
    EXPECT_EQ(rules()->state(), TClientDataSet::State::Browse);
}

// ---------------------------------------------------------------------------
// Posting: the checks in their order, what the row holds afterwards and what
// reached the server.

struct PostCase
{
    const char *name;
    const char *rule;
    std::vector<std::pair<const char *, const char *>> assign;
    bool basePage, entryBox, approvalBox;
    const char *message;                                       // "" = saved
    const char *focusColumn;                                   // after a refusal
    std::vector<std::pair<const char *, const char *>> expect; // row (refused) or server (saved)
};

class Posting : public Maintenance, public ::testing::WithParamInterface<PostCase>
{
};

TEST_P(Posting, ChecksThenSaves)
{
    const PostCase &c = GetParam();
    ChooseTax(QStringLiteral("1"));
    if (c.basePage)
        screen->pgcPadrao->setCurrentWidget(screen->tshPadrao);
    const QVariantMap before = ServerRule(QStringLiteral("01"), QString::fromLatin1(c.rule));
    GoTo(QString::fromLatin1(c.rule));
    rules()->Edit();
    for (const auto &[name, text] : c.assign)
        field(name)->SetAsString(QString::fromUtf8(text));
    screen->dbcLancamentoBloq->setChecked(c.entryBox);
    screen->dbcAprovacaoBloq->setChecked(c.approvalBox);
    ModalAnswer answer;
    kvrGuard([this]() { rules()->Post(); });
    QApplication::processEvents();

    const QVariantMap after = ServerRule(QStringLiteral("01"), QString::fromLatin1(c.rule));
    if (*c.message) {
        ASSERT_EQ(answer.Texts(), QStringList{QString::fromUtf8(c.message)});
        EXPECT_EQ(rules()->state(), TClientDataSet::State::Edit);
        if (*c.focusColumn) {
            EXPECT_EQ(focusedColumn(), QString::fromLatin1(c.focusColumn));
        }
        for (const auto &[name, text] : c.expect)
            EXPECT_EQ(value(name), QString::fromUtf8(text)) << name;
        EXPECT_EQ(after, before) << "the server must not have changed";
        return;
    }
    ASSERT_TRUE(answer.Texts().isEmpty()) << answer.Texts().join('\n').toStdString();
    EXPECT_EQ(rules()->state(), TClientDataSet::State::Browse);
    EXPECT_EQ(rules()->ChangeCount(), 0);
    EXPECT_EQ(rules()->RecNo(), 0) << "reloaded on the first visible rule";
    EXPECT_EQ(screen->dbcLancamentoBloq->isChecked(), value("IDCONSISTELANC") == "S");
    for (const auto &[name, text] : c.expect)
        EXPECT_EQ(after.value(QString::fromLatin1(name)).toString(), QString::fromUtf8(text))
            << name;
    EXPECT_EQ(rules()->Locate(QStringLiteral("NRSEQCONSISTE"), QString::fromLatin1(c.rule)),
              !c.basePage);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Posting,
    ::testing::Values(
        PostCase{"only direction and text count as empty",
                 "0000000004",
                 {{"CDSITUTRIB", ""},
                  {"CDFISCAL", ""},
                  {"IDTPBASECALC", ""},
                  {"IDENTRSAIDOP", "E"},
                  {"DSCONSISTENCIA", "x"},
                  {"CDTPCREDPICOITE", "001"}},
                 false,
                 true,
                 false,
                 "A consistência deve ter no mínimo um campo preenchido",
                 "CDFISCOPER",
                 {{"CDFISCAL", "0"},
                  {"IDTPBASECALC", "0"},
                  {"IDTPALIQUOTA", "0"},
                  {"IDTPVRIMPOSTO", "0"},
                  {"IDBLOQADMI", "B"}}},
        PostCase{"CST outside the family",
                 "0000000002",
                 {{"CDSITUTRIB", "99"}},
                 false,
                 false,
                 false,
                 "CST inválido",
                 "CDSITUTRIB",
                 {{"CDSITUTRIB", ""}, {"CDIMPOSTO", "01"}}},
        PostCase{"one-digit CST",
                 "0000000002",
                 {{"CDSITUTRIB", "5"}},
                 false,
                 false,
                 false,
                 "CST inválido",
                 "CDSITUTRIB",
                 {{"CDSITUTRIB", ""}}},
        PostCase{"CFOP posted without leaving its column",
                 "0000000002",
                 {{"CDFISCOPER", "510"}},
                 false,
                 false,
                 false,
                 "CFOP não cadastrado",
                 "CDFISCOPER",
                 {{"CDFISCOPER", "0510"}}},
        PostCase{"another rule has the combination",
                 "0000000002",
                 {{"CDFISCOPER", "5102"}, {"CDSITUTRIB", "40"}, {"CDFISCAL", "1"}},
                 false,
                 true,
                 true,
                 "Consistência Fiscal já cadastrada",
                 "",
                 {{"IDCONSPREDEFI", "N"},
                  {"IDBLOQADMI", "B"},
                  {"IDCONSISTELANC", "S"},
                  {"IDCONSISTEAPRO", "S"},
                  {"CDIMPOSTO", "01"}}},
        PostCase{
            "a user rule saved with its flags",
            "0000000002",
            {{"DSCONSISTENCIA", "Compra revisada"}, {"CDFISCOPER", "1101"}, {"IDTPALIQUOTA", ""}},
            false,
            false,
            true,
            "",
            "",
            {{"DSCONSISTENCIA", "Compra revisada"},
             {"CDFISCOPER", "1101"},
             {"IDTPALIQUOTA", "0"},
             {"IDCONSISTELANC", "N"},
             {"IDCONSISTEAPRO", "S"},
             {"IDCONSPREDEFI", "N"},
             {"IDBLOQADMI", "B"},
             {"CDIMPOSTO", "01"}}},
        PostCase{"a post on the base page admits the rule",
                 "0000000004",
                 {{"DSCONSISTENCIA", "Admitida"}},
                 true,
                 true,
                 false,
                 "",
                 "",
                 {{"IDBLOQADMI", "A"}, {"DSCONSISTENCIA", "Admitida"}}},
        PostCase{
            "only a first CST digit passes",
            "0000000004",
            {{"CDSITUTRIB", ""}, {"CDCST1DIGT", "2"}, {"CDFISCAL", ""}, {"IDTPBASECALC", ""}},
            false,
            false,
            false,
            "",
            "",
            {{"CDCST1DIGT", "2"}, {"CDFISCAL", "0"}, {"IDTPBASECALC", "0"}, {"CDSITUTRIB", ""}}}),
    [](const ::testing::TestParamInfo<PostCase> &info) {
        return "case" + std::to_string(info.index);
    });

TEST_F(Maintenance, FailedSaveKeepsTheChangeAndSendsItWithTheNext)
{
    ChooseTax(QStringLiteral("1"));
    // Another user changes rule 2 first: the screen's save of it conflicts.
    const QVariantMap original = ServerRule(QStringLiteral("01"), Rule2);
    TClientDataSet other;
    other.SetData(Call(QStringLiteral("getConsistencias"), {QStringLiteral("01")}));
    other.Locate(QStringLiteral("NRSEQCONSISTE"), Rule2);
    auto otherUserSets = [&](const QString &text) {
        other.Edit();
        other.FieldByName(QStringLiteral("DSCONSISTENCIA"))->SetAsString(text);
        other.Post();
        Call(QStringLiteral("setConsistencia"), {other.Delta()});
        other.SetData(Call(QStringLiteral("getConsistencias"), {QStringLiteral("01")}));
        other.Locate(QStringLiteral("NRSEQCONSISTE"), Rule2);
    };
    otherUserSets(QStringLiteral("mudada por outro"));

    ModalAnswer answer;
    GoTo(Rule2);
    rules()->Edit();
    field("CDTPCREDPICOITE")->SetAsString(QStringLiteral("007"));
    kvrGuard([this]() { rules()->Post(); });
    QApplication::processEvents();
    ASSERT_EQ(answer.Texts().size(), 1);
    EXPECT_EQ(rules()->ChangeCount(), 1) << "the failed change stays";
    EXPECT_EQ(ShowAviDepth(), 0);
    EXPECT_EQ(ServerRule(QStringLiteral("01"), Rule2).value(QStringLiteral("CDTPCREDPICOITE")),
              QString());

    // Once the conflict is gone, the next post sends both changes.
    otherUserSets(original.value(QStringLiteral("DSCONSISTENCIA")).toString());
    GoTo(Rule4);
    rules()->Edit();
    field("DSCONSISTENCIA")->SetAsString(QStringLiteral("segunda"));
    kvrGuard([this]() { rules()->Post(); });
    QApplication::processEvents();
    EXPECT_EQ(answer.Texts().size(), 1);
    EXPECT_EQ(rules()->ChangeCount(), 0);
    EXPECT_EQ(ServerRule(QStringLiteral("01"), Rule2).value(QStringLiteral("CDTPCREDPICOITE")),
              QStringLiteral("007"));
    EXPECT_EQ(ServerRule(QStringLiteral("01"), Rule4).value(QStringLiteral("DSCONSISTENCIA")),
              QStringLiteral("segunda"));
}

TEST_F(Maintenance, DeleteSavesAndReloadsAndVerifyReloads)
{
    ChooseTax(QStringLiteral("1"));
    GoTo(Rule2);
    ModalAnswer answer;
    kvrGuard([this]() { rules()->Delete(); });
    EXPECT_TRUE(ServerRule(QStringLiteral("01"), Rule2).isEmpty());
    EXPECT_EQ(rules()->RecordCount(), 2);
    EXPECT_EQ(rules()->RecNo(), 0);
    EXPECT_EQ(screen->dbcLancamentoBloq->isChecked(), value("IDCONSISTELANC") == "S");

    // A change made elsewhere shows after the verify button.
    TClientDataSet other;
    other.SetData(Call(QStringLiteral("getConsistencias"), {QStringLiteral("01")}));
    other.Locate(QStringLiteral("NRSEQCONSISTE"), Rule4);
    other.Edit();
    other.FieldByName(QStringLiteral("DSCONSISTENCIA"))->SetAsString(QStringLiteral("de fora"));
    other.Post();
    Call(QStringLiteral("setConsistencia"), {other.Delta()});
    screen->sbtVerificar->Click();
    GoTo(Rule4);
    EXPECT_EQ(value("DSCONSISTENCIA"), QStringLiteral("de fora"));
    EXPECT_TRUE(answer.Texts().isEmpty());
}

TEST_F(Maintenance, CancelSetsTheBoxesBackAndCloseDropsTheEdit)
{
    ChooseTax(QStringLiteral("1"));
    GoTo(Rule4); // entry "N", approval "S"
    rules()->Edit();
    screen->dbcLancamentoBloq->setChecked(true);
    screen->dbcAprovacaoBloq->setChecked(false);
    rules()->Cancel();
    // The cancel re-filters onto the first rule (entry "S", approval "S").
    EXPECT_EQ(value("NRSEQCONSISTE"), Rule1);
    EXPECT_TRUE(screen->dbcLancamentoBloq->isChecked());
    EXPECT_TRUE(screen->dbcAprovacaoBloq->isChecked());

    GoTo(Rule4);
    rules()->Edit();
    field("DSCONSISTENCIA")->SetAsString(QStringLiteral("descartada"));
    ModalAnswer answer;
    screen->FrameWindow()->close();
    QApplication::processEvents();
    EXPECT_TRUE(answer.Texts().isEmpty());
    EXPECT_NE(ServerRule(QStringLiteral("01"), Rule4).value(QStringLiteral("DSCONSISTENCIA")),
              QStringLiteral("descartada"));
}

// ---------------------------------------------------------------------------
// The grid: typed characters per column, then the column exit.

struct Typing
{
    const char *column;
    const char *keys;
    const char *stored;  // after leaving the column
    const char *message; // "" = none
};

class GridTyping : public Maintenance, public ::testing::WithParamInterface<Typing>
{
};

TEST_P(GridTyping, KeyFilterAndColumnExit)
{
    const Typing &t = GetParam();
    ChooseTax(QStringLiteral("1"));
    GoTo(Rule2);
    TDBGrid *grid = screen->dbgBloqueados;
    grid->setFocus();
    const QString column = QString::fromLatin1(t.column);
    for (int i = 0; i < grid->ColumnCount(); ++i)
        if (grid->Columns(i)->FieldName() == column)
            grid->SetSelectedIndex(i);
    ASSERT_EQ(focusedColumn(), column);
    const QString before = value(t.column);
    QTest::keyClick(grid, Qt::Key_F2);
    // The first character typed replaces the cell's text.
    QWidget *editor = QApplication::focusWidget();
    if (auto *line = qobject_cast<QLineEdit *>(editor))
        line->selectAll();
    else if (auto *combo = qobject_cast<QComboBox *>(editor))
        combo->lineEdit()->selectAll();
    for (const QChar ch : QString::fromUtf8(t.keys)) {
        if (ch == QLatin1Char('<'))
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        else if (ch == QLatin1Char('\n'))
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        else
            QTest::keyClicks(QApplication::focusWidget(), QString(ch));
    }
    ModalAnswer answer;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QApplication::processEvents();
    const QString expected = *t.stored == '=' ? before : QString::fromUtf8(t.stored);
    EXPECT_EQ(value(t.column), expected);
    if (*t.message) {
        ASSERT_EQ(answer.Texts(), QStringList{QString::fromUtf8(t.message)});
        EXPECT_EQ(focusedColumn(), column) << "the column change is refused";
    } else {
        EXPECT_TRUE(answer.Texts().isEmpty()) << answer.Texts().join('\n').toStdString();
    }
}

// "=" stores what the rule held; "<" is Backspace, "\n" Enter.
INSTANTIATE_TEST_SUITE_P(
    Columns, GridTyping,
    ::testing::Values(Typing{"IDTPALIQUOTA", "0a4\n2", "2", ""}, Typing{"CDFISCAL", "9x", "=", ""},
                      Typing{"CDFISCAL", "3<1", "1", ""}, Typing{"IDENTRSAIDOP", "xat", "T", ""},
                      Typing{"IDENTRSAIDOP", "s", "S", ""}, Typing{"IDCONSATIVA", "xn", "N", ""},
                      Typing{"CDCST1DIGT", "7", "7", ""}, Typing{"CDTPCREDPICOITE", "a1", "a1", ""},
                      Typing{"NRSEQCONSISTE", "12<", "=", ""},
                      Typing{"CDFISCOPER", "51a0x2", "5102", ""},
                      Typing{"CDFISCOPER", "510", "0510", "CFOP não cadastrado"},
                      Typing{"CDFISCOPER", "<", "", ""}, Typing{"CDSITUTRIB", "x1y0", "10", ""},
                      Typing{"CDSITUTRIB", "5", "", "CST inválido"},
                      Typing{"CDSITUTRIB", "99", "", "CST inválido"}));

TEST_F(Maintenance, CfopLookupButtonOnlyWhileEditingInTheCfopColumn)
{
    ChooseTax(QStringLiteral("1"));
    GoTo(Rule2);
    TDBGrid *grid = screen->dbgBloqueados;
    grid->SetSelectedIndex(3); // CFOP
    screen->dbgBloqueadosEditButtonClick(grid);
    EXPECT_FALSE(screen->cdsCFOP->Active()) << "browsing: nothing fetched";

    rules()->Edit();
    OnNextModal<QDialog>([](QDialog *dialog) {
        QTest::keyClicks(dialog->focusWidget(), QStringLiteral("5405"));
        QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
    });
    screen->dbgBloqueadosEditButtonClick(grid);
    EXPECT_GT(screen->cdsCFOP->RecordCount(), 500);
    EXPECT_EQ(value("CDFISCOPER"), QStringLiteral("5405"));

    OnNextModal<QDialog>([](QDialog *dialog) { dialog->reject(); });
    screen->dbgBloqueadosEditButtonClick(grid);
    EXPECT_EQ(value("CDFISCOPER"), QStringLiteral("5405")) << "a cancelled lookup changes nothing";
}

// ---------------------------------------------------------------------------
// The active flag is drawn as a box 5 pixels from the cell's left edge.

TEST_F(Maintenance, ActiveColumnDrawsTheCheckImages)
{
    TDBGrid *grid = screen->dbgBloqueados;
    auto cellImage = [&](int row) {
        const QRect cell = grid->visualRect(rules()->index(row, 2 /* IDCONSATIVA */));
        return grid->viewport()->grab(cell).toImage();
    };
    std::vector<std::pair<QString, int>> fields;
    for (int i = 0; i < rules()->FieldCount(); ++i)
        fields.emplace_back(rules()->Fields(i)->FieldName(), rules()->Fields(i)->Size());
    auto row = [&](const QString &active) {
        QStringList values;
        for (const auto &f : fields)
            values.append(f.first == QLatin1String("IDCONSATIVA")  ? active
                          : f.first == QLatin1String("IDBLOQADMI") ? QStringLiteral("B")
                                                                   : QString());
        return values;
    };
    rules()->SetData(MakePacket(fields, {row("S"), row("N"), row("x")}));
    grid->resize(800, 300);
    rules()->SetRecNo(2); // no row of interest selected
    grid->SetSelectedIndex(5);
    const QImage ticked = cellImage(0);
    const QImage empty = cellImage(1);
    const QImage other = cellImage(2);
    const QColor cellColour = other.pixelColor(2, 2);
    // Box interior white, edges black, tick black, olive never shows.
    EXPECT_EQ(empty.pixelColor(5 + 8, 8), QColor(Qt::white));
    EXPECT_EQ(empty.pixelColor(5 + 2, 5), QColor(Qt::black)) << "left edge";
    EXPECT_EQ(empty.pixelColor(5 + 1, 5), cellColour) << "olive drawn in the cell colour";
    EXPECT_EQ(ticked.pixelColor(5 + 7, 11), QColor(Qt::black)) << "the tick";
    EXPECT_EQ(empty.pixelColor(5 + 7, 11), QColor(Qt::white));
    for (const QImage &image : {ticked, empty, other})
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                ASSERT_NE(image.pixelColor(x, y), QColor(128, 128, 0));
    // Any other value: the grid's "x" wiped to the cell colour.
    for (int y = 1; y < other.height() - 1; ++y)
        for (int x = 1; x < other.width() - 1; ++x)
            ASSERT_EQ(other.pixelColor(x, y), cellColour) << x << "," << y;
}

} // namespace
