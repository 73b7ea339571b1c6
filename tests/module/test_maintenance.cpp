// The maintenance screen at work against a real app server: choosing a tax,
// the enabling of the tool bar, the checks before a post, saving, the key
// filter and column exits of the grid, and the drawing of the active flag.
#include "tests/module/Packets.h"
#include "tests/module/ScreenFixture.h"

#include "kit/core/TMessages.h"
#include "kit/data/TDataSource.h"
#include "kit/grid/TDBGrid.h"
#include "kit/host/Translations.h"
#include "kit/widgets/TBtnPesquisa.h"
#include "kit/widgets/TButtonFlat.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHelpEvent>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTabBar>
#include <QTabWidget>
#include <QToolTip>

#include <memory>

namespace {

// Seeded rules of ICMS ("01"): 1 predefined, 2 and 4 user rules, 3 admitted.
const QString Rule1 = QStringLiteral("0000000001");
const QString Rule2 = QStringLiteral("0000000002");
const QString Rule4 = QStringLiteral("0000000004");
const QString Icms = QStringLiteral("01");

// "FIELD=value;FIELD=value" as ordered pairs.
QList<std::pair<QString, QString>> Pairs(const char *text)
{
    QList<std::pair<QString, QString>> pairs;
    for (const QString &item : QString::fromUtf8(text).split(';', Qt::SkipEmptyParts))
        pairs.append({item.section('=', 0, 0), item.section('=', 1)});
    return pairs;
}

class Maintenance : public ScreenFixture
{
public:
    TClientDataSet *rules() const { return screen->cdsConsistencias; }
    TField *field(const QString &name) const { return rules()->FieldByName(name); }
    QString value(const QString &name) const { return field(name)->AsString(); }
    QString Held(const QString &rule, const char *name)
    {
        return ServerRule(Icms, rule).value(QString::fromLatin1(name)).toString();
    }
    void GoTo(const QString &number)
    {
        ASSERT_TRUE(rules()->Locate(QStringLiteral("NRSEQCONSISTE"), number))
            << number.toStdString();
    }
    void EditTo(const QString &number, const char *assign)
    {
        GoTo(number);
        rules()->Edit();
        for (const auto &[name, text] : Pairs(assign))
            field(name)->SetAsString(text);
    }
    void Post()
    {
        kvrGuard([this]() { rules()->Post(); });
        QApplication::processEvents();
    }
    QString focusedColumn() const
    {
        const TField *selected = screen->dbgBloqueados->SelectedField();
        return selected ? selected->FieldName() : QString();
    }
    // The next search window picks the row of this code.
    static void AnswerLookup(const QString &code)
    {
        OnNextModal<QDialog>([code](QDialog *dialog) {
            QTest::keyClicks(dialog->focusWidget(), code);
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
        });
    }
    // Rows of the screen's fields, each given as pairs; other fields empty.
    QVariant Rows(const std::vector<const char *> &given) const
    {
        std::vector<std::pair<QString, int>> fields;
        for (int i = 0; i < rules()->FieldCount(); ++i)
            fields.emplace_back(rules()->Fields(i)->FieldName(), rules()->Fields(i)->Size());
        std::vector<QStringList> rows;
        for (const char *row : given) {
            QMap<QString, QString> values;
            for (const auto &[name, text] : Pairs(row))
                values.insert(name, text);
            rows.emplace_back();
            for (const auto &f : fields)
                rows.back().append(values.value(f.first));
        }
        return MakePacket(fields, rows);
    }
    // Another user's change of a rule's text, saved on the test's connection.
    void SetElsewhere(const QString &number, const QString &text)
    {
        TClientDataSet other;
        other.SetData(Call(QStringLiteral("getConsistencias"), {Icms}));
        other.Locate(QStringLiteral("NRSEQCONSISTE"), number);
        other.Edit();
        other.FieldByName(QStringLiteral("DSCONSISTENCIA"))->SetAsString(text);
        other.Post();
        Call(QStringLiteral("setConsistencia"), {other.Delta()});
    }
};

// A table of cases, each run on a fresh screen and server.
template <class Case> class Table : public Maintenance, public ::testing::WithParamInterface<Case>
{
};

// ---------------------------------------------------------------------------
// Choosing a tax: what the edit, the rows, the CST pick list and the messages
// show afterwards.

struct TaxChoice
{
    const char *typed, *shownCode, *message; // "" = no message
    int visibleRules;                        // -1 = rules closed
    int cstItems;
    const char *firstCst;
};

using TaxChoiceTable = Table<TaxChoice>;

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
    const auto pickList = [this](const char *column) {
        return screen->dbgBloqueados->ColumnByFieldName(QString::fromLatin1(column))->PickList();
    };
    const QStringList cst = pickList("CDSITUTRIB");
    EXPECT_EQ(cst.size(), c.cstItems);
    EXPECT_EQ(cst.value(0), QString::fromUtf8(c.firstCst));
    EXPECT_EQ(pickList("IDENTRSAIDOP"), QString("Entrada,Saída,Ambos").split(','));
}

INSTANTIATE_TEST_SUITE_P(
    Taxes, TaxChoiceTable,
    ::testing::Values(TaxChoice{"1", "01", "", 3, 11, "00 - Tributada integralmente"},
                      TaxChoice{"", "", "Imposto deve ser informado", -1, 0, ""},
                      TaxChoice{"77", "77", "Imposto não cadastrado", -1, 0, ""},
                      TaxChoice{"3", "03", "", 2, 0, ""},
                      TaxChoice{"50", "50", "", 2, 33,
                                "01 - Operação Tributável (base de cálculo = valor da operação "
                                "alíquota normal (cumulativo/não cumulativo))"},
                      TaxChoice{"2", "02", "", 2, 14, "00 - Entrada com recuperação de crédito"}));

TEST_F(Maintenance, LookupFillsCodeAndNameWithoutLoadingAndReenteringClosesTheRules)
{
    AnswerLookup(QStringLiteral("50"));
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
    EXPECT_NE(Held(Rule2, "DSCONSISTENCIA"), QStringLiteral("nunca salvo"));
}

// ---------------------------------------------------------------------------
// Enabling: one row per situation, one column per control.

struct Enabling
{
    // Steps: tax (choose "1"), base (base page), row1, edit, or rows of
    // NRSEQCONSISTE/IDBLOQADMI/IDCONSPREDEFI loaded as "user" or "admitted".
    const char *steps;
    // alterar/excluir (sbt, mnu), procurar, verificar, cancelar/confirmar
    // (sbt, mnu) and the check boxes, tshBloqueados, incluir, imprimir,
    // listagem, configurar impressora: each '0' or '1'.
    const char *enabled;
};

using EnablingTable = Table<Enabling>;

TEST_P(EnablingTable, ControlsFollowTheState)
{
    const Enabling &e = GetParam();
    SCOPED_TRACE(e.steps);
    const auto s = screen.data();
    for (const QString &step : QString::fromLatin1(e.steps).split(' ', Qt::SkipEmptyParts)) {
        if (step == QLatin1String("tax"))
            ChooseTax(QStringLiteral("1"));
        else if (step == QLatin1String("base"))
            s->pgcPadrao->setCurrentWidget(s->tshPadrao);
        else if (step == QLatin1String("row1"))
            rules()->SetRecNo(1);
        else if (step == QLatin1String("edit"))
            rules()->Edit();
        else if (step == QLatin1String("user"))
            rules()->SetData(Rows({"NRSEQCONSISTE=0000000001;IDBLOQADMI=A;IDCONSPREDEFI=S",
                                   "NRSEQCONSISTE=0000000002;IDBLOQADMI=B;IDCONSPREDEFI=N"}));
        else if (step == QLatin1String("admitted"))
            rules()->SetData(Rows({"NRSEQCONSISTE=0000000001;IDBLOQADMI=A;IDCONSPREDEFI=N"}));
    }
    QString shown;
    for (const bool on :
         {s->sbtAlterar->isEnabled(), s->sbtExcluir->isEnabled(), s->mnuAlterar->isEnabled(),
          s->mnuExcluir->isEnabled(), s->sbtProcurar->isEnabled(), s->mnuProcurar->isEnabled(),
          s->sbtVerificar->isEnabled(), s->mnuVerificar->isEnabled(), s->sbtCancelar->isEnabled(),
          s->sbtConfirmar->isEnabled(), s->mnuCancelar->isEnabled(), s->mnuConfirmar->isEnabled(),
          s->dbcLancamentoBloq->isEnabled(), s->dbcAprovacaoBloq->isEnabled(),
          s->pgcPadrao->isTabEnabled(s->pgcPadrao->indexOf(s->tshBloqueados)),
          s->sbtIncluir->isEnabled(), s->sbtImprimir->isEnabled(), s->mnuListagem->isEnabled(),
          s->mnuConfigImpressora->isEnabled()})
        shown += on ? '1' : '0';
    EXPECT_EQ(shown, QString::fromLatin1(e.enabled).remove(' '));
}

INSTANTIATE_TEST_SUITE_P(
    Situations, EnablingTable,
    ::testing::Values(Enabling{"", "0000 00 00 000000 1 0000"},
                      Enabling{"tax", "0000 11 11 000000 1 0000"},      // first rule predefined
                      Enabling{"tax row1", "0000 11 11 000000 1 0000"}, // moving recomputes nothing
                      Enabling{"user", "1111 11 11 000000 1 0000"},
                      Enabling{"admitted", "0000 00 11 000000 1 0000"},
                      Enabling{"tax row1 edit", "0000 00 00 111111 1 0000"},
                      Enabling{"tax base row1 edit", "0000 00 00 111111 0 0000"}));

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
    const char *rule, *assign;
    const char *flags;       // B: base page, E: entry box, A: approval box ticked
    const char *message;     // "" = saved
    const char *focusColumn; // after a refusal
    const char *expect;      // row (refused) or server (saved)
};

using Posting = Table<PostCase>;

TEST_P(Posting, ChecksThenSaves)
{
    const PostCase &c = GetParam();
    const QString rule = QString::fromLatin1(c.rule);
    const QString flags = QString::fromLatin1(c.flags);
    ChooseTax(QStringLiteral("1"));
    if (flags.contains('B'))
        screen->pgcPadrao->setCurrentWidget(screen->tshPadrao);
    const QVariantMap before = ServerRule(Icms, rule);
    EditTo(rule, c.assign);
    screen->dbcLancamentoBloq->setChecked(flags.contains('E'));
    screen->dbcAprovacaoBloq->setChecked(flags.contains('A'));
    ModalAnswer answer;
    Post();

    const QVariantMap after = ServerRule(Icms, rule);
    if (*c.message) {
        ASSERT_EQ(answer.Texts(), QStringList{QString::fromUtf8(c.message)});
        EXPECT_EQ(rules()->state(), TClientDataSet::State::Edit);
        if (*c.focusColumn) {
            EXPECT_EQ(focusedColumn(), QString::fromLatin1(c.focusColumn));
        }
        for (const auto &[name, text] : Pairs(c.expect))
            EXPECT_EQ(value(name), text) << name.toStdString();
        EXPECT_EQ(after, before) << "the server must not have changed";
        return;
    }
    ASSERT_TRUE(answer.Texts().isEmpty()) << answer.Texts().join('\n').toStdString();
    EXPECT_EQ(rules()->state(), TClientDataSet::State::Browse);
    EXPECT_EQ(rules()->ChangeCount(), 0);
    EXPECT_EQ(rules()->RecNo(), 0) << "reloaded on the first visible rule";
    EXPECT_EQ(screen->dbcLancamentoBloq->isChecked(), value("IDCONSISTELANC") == "S");
    for (const auto &[name, text] : Pairs(c.expect))
        EXPECT_EQ(after.value(name).toString(), text) << name.toStdString();
    EXPECT_EQ(rules()->Locate(QStringLiteral("NRSEQCONSISTE"), rule), !flags.contains('B'));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Posting,
    ::testing::Values(
        // Only direction and text count as empty.
        PostCase{"0000000004",
                 "CDSITUTRIB=;CDFISCAL=;IDTPBASECALC=;IDENTRSAIDOP=E;DSCONSISTENCIA=x;"
                 "CDTPCREDPICOITE=001",
                 "E", "A consistência deve ter no mínimo um campo preenchido", "CDFISCOPER",
                 "CDFISCAL=0;IDTPBASECALC=0;IDTPALIQUOTA=0;IDTPVRIMPOSTO=0;IDBLOQADMI=B"},
        PostCase{"0000000002", "CDSITUTRIB=99", "", "CST inválido", "CDSITUTRIB",
                 "CDSITUTRIB=;CDIMPOSTO=01"},
        PostCase{"0000000002", "CDSITUTRIB=5", "", "CST inválido", "CDSITUTRIB", "CDSITUTRIB="},
        // A CFOP posted without leaving its column.
        PostCase{"0000000002", "CDFISCOPER=510", "", "CFOP não cadastrado", "CDFISCOPER",
                 "CDFISCOPER=0510"},
        // Another rule has the combination.
        PostCase{"0000000002", "CDFISCOPER=5102;CDSITUTRIB=40;CDFISCAL=1", "EA",
                 "Consistência Fiscal já cadastrada", "",
                 "IDCONSPREDEFI=N;IDBLOQADMI=B;IDCONSISTELANC=S;IDCONSISTEAPRO=S;CDIMPOSTO=01"},
        // A user rule saved with its flags.
        PostCase{"0000000002", "DSCONSISTENCIA=Compra revisada;CDFISCOPER=1101;IDTPALIQUOTA=", "A",
                 "", "",
                 "DSCONSISTENCIA=Compra revisada;CDFISCOPER=1101;IDTPALIQUOTA=0;IDCONSISTELANC=N;"
                 "IDCONSISTEAPRO=S;IDCONSPREDEFI=N;IDBLOQADMI=B;CDIMPOSTO=01"},
        // A post on the base page admits the rule.
        PostCase{"0000000004", "DSCONSISTENCIA=Admitida", "BE", "", "",
                 "IDBLOQADMI=A;DSCONSISTENCIA=Admitida"},
        // Only a first CST digit passes.
        PostCase{"0000000004", "CDSITUTRIB=;CDCST1DIGT=2;CDFISCAL=;IDTPBASECALC=", "", "", "",
                 "CDCST1DIGT=2;CDFISCAL=0;IDTPBASECALC=0;CDSITUTRIB="}));

TEST_F(Maintenance, FailedSaveKeepsTheChangeAndSendsItWithTheNext)
{
    ChooseTax(QStringLiteral("1"));
    // Another user changes rule 2 first: the screen's save of it conflicts.
    const QString original = Held(Rule2, "DSCONSISTENCIA");
    SetElsewhere(Rule2, QStringLiteral("mudada por outro"));
    ModalAnswer answer;
    EditTo(Rule2, "CDTPCREDPICOITE=007");
    Post();
    ASSERT_EQ(answer.Texts().size(), 1);
    EXPECT_EQ(rules()->ChangeCount(), 1) << "the failed change stays";
    EXPECT_EQ(ShowAviDepth(), 0);
    EXPECT_EQ(Held(Rule2, "CDTPCREDPICOITE"), QString());

    // Once the conflict is gone, the next post sends both changes.
    SetElsewhere(Rule2, original);
    EditTo(Rule4, "DSCONSISTENCIA=segunda");
    Post();
    EXPECT_EQ(answer.Texts().size(), 1);
    EXPECT_EQ(rules()->ChangeCount(), 0);
    EXPECT_EQ(Held(Rule2, "CDTPCREDPICOITE"), QStringLiteral("007"));
    EXPECT_EQ(Held(Rule4, "DSCONSISTENCIA"), QStringLiteral("segunda"));
}

TEST_F(Maintenance, DeleteSavesAndReloadsAndVerifyReloads)
{
    ChooseTax(QStringLiteral("1"));
    GoTo(Rule2);
    ModalAnswer answer;
    kvrGuard([this]() { rules()->Delete(); });
    EXPECT_TRUE(ServerRule(Icms, Rule2).isEmpty());
    EXPECT_EQ(rules()->RecordCount(), 2);
    EXPECT_EQ(rules()->RecNo(), 0);
    EXPECT_EQ(screen->dbcLancamentoBloq->isChecked(), value("IDCONSISTELANC") == "S");

    // A change made elsewhere shows after the verify button.
    SetElsewhere(Rule4, QStringLiteral("de fora"));
    screen->sbtVerificar->Click();
    GoTo(Rule4);
    EXPECT_EQ(value("DSCONSISTENCIA"), QStringLiteral("de fora"));
    EXPECT_TRUE(answer.Texts().isEmpty());

    // The search goes back to the rows, on the rule found.
    rules()->First();
    screen->pgcPadrao->tabBar()->setFocus(); // where a tool button click left it
    AnswerLookup(Rule4);
    screen->sbtProcurar->Click();
    EXPECT_EQ(value("NRSEQCONSISTE"), Rule4);
    EXPECT_EQ(screen->window()->focusWidget(), screen->dbgBloqueados);
}

TEST_F(Maintenance, CancelSetsTheBoxesBackAndCloseDropsTheEdit)
{
    ChooseTax(QStringLiteral("1"));
    EditTo(Rule4, ""); // entry "N", approval "S"
    screen->dbcLancamentoBloq->setChecked(true);
    screen->dbcAprovacaoBloq->setChecked(false);
    rules()->Cancel();
    // The cancel re-filters onto the first rule (entry "S", approval "S").
    EXPECT_EQ(value("NRSEQCONSISTE"), Rule1);
    EXPECT_TRUE(screen->dbcLancamentoBloq->isChecked());
    EXPECT_TRUE(screen->dbcAprovacaoBloq->isChecked());

    EditTo(Rule4, "DSCONSISTENCIA=descartada");
    ModalAnswer answer;
    screen->FrameWindow()->close();
    QApplication::processEvents();
    EXPECT_TRUE(answer.Texts().isEmpty());
    EXPECT_NE(Held(Rule4, "DSCONSISTENCIA"), QStringLiteral("descartada"));
}

// ---------------------------------------------------------------------------
// The grid: typed characters per column, then the column exit.

struct Typing
{
    const char *column, *keys;
    const char *stored;     // after leaving the column; "=" what the rule held
    const char *message;    // "" = none
    const char *saved = ""; // after Confirmar: what the server holds ("" = not saved)
};

using GridTyping = Table<Typing>;

TEST_P(GridTyping, KeyFilterAndColumnExit)
{
    const Typing &t = GetParam();
    const QString column = QString::fromLatin1(t.column);
    ChooseTax(QStringLiteral("1"));
    GoTo(Rule2);
    TDBGrid *grid = screen->dbgBloqueados;
    grid->setFocus();
    for (int i = 0; i < grid->ColumnCount(); ++i)
        if (grid->Columns(i)->FieldName() == column)
            grid->SetSelectedIndex(i);
    ASSERT_EQ(focusedColumn(), column);
    const QString before = value(column);
    QTest::keyClick(grid, Qt::Key_F2);
    // The first character typed replaces the cell's text.
    QWidget *editor = QApplication::focusWidget();
    auto *line = qobject_cast<QLineEdit *>(editor);
    if (auto *combo = qobject_cast<QComboBox *>(editor))
        line = combo->lineEdit();
    ASSERT_NE(line, nullptr);
    line->selectAll();
    // The editor starts in view, however wide its column, and shows a whole code.
    const int left = line->mapTo(grid->viewport(), QPoint(0, 0)).x();
    EXPECT_TRUE(left >= 0 && left < grid->viewport()->width()) << left;
    EXPECT_GE(line->width(), line->fontMetrics().horizontalAdvance(QStringLiteral("0000")));
    const QString keys = QString::fromUtf8(t.keys);
    if (keys.startsWith(QLatin1Char('!'))) {
        // Picked with the mouse from the drop-down.
        auto *combo = qobject_cast<QComboBox *>(editor);
        ASSERT_NE(combo, nullptr);
        combo->showPopup();
        QAbstractItemView *list = combo->view();
        const int item = combo->findText(keys.mid(1));
        ASSERT_GE(item, 0);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(item, 0)).center());
        QTRY_VERIFY(!list->isVisible());
    }
    for (const QChar ch : keys.startsWith(QLatin1Char('!')) ? QString() : keys) {
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
    if (value("NRSEQCONSISTE") != Rule2)
        GoTo(Rule2); // Tab from the last column went on to the next rule
    EXPECT_EQ(value(column), *t.stored == '=' ? before : QString::fromUtf8(t.stored));
    if (*t.message) {
        ASSERT_EQ(answer.Texts(), QStringList{QString::fromUtf8(t.message)});
        EXPECT_EQ(focusedColumn(), column) << "the column change is refused";
    } else {
        EXPECT_TRUE(answer.Texts().isEmpty()) << answer.Texts().join('\n').toStdString();
    }
    if (*t.saved) {
        screen->sbtConfirmar->Click();
        EXPECT_TRUE(answer.Texts().isEmpty()) << answer.Texts().join('\n').toStdString();
        EXPECT_EQ(Held(Rule2, t.column), QString::fromUtf8(t.saved));
        EXPECT_EQ(grid->window()->focusWidget(), grid) << "back on the rows after the save";
    }
}

// "<" is Backspace, "\n" Enter.
INSTANTIATE_TEST_SUITE_P(
    Columns, GridTyping,
    ::testing::Values(Typing{"IDTPALIQUOTA", "0a4\n2", "2", ""}, Typing{"CDFISCAL", "9x", "=", ""},
                      Typing{"CDFISCAL", "3<1", "1", ""}, Typing{"IDENTRSAIDOP", "xat", "T", ""},
                      Typing{"IDENTRSAIDOP", "s", "S", ""},
                      Typing{"IDENTRSAIDOP", "!Ambos", "T", "", "T"},
                      Typing{"DSCONSISTENCIA", "Revisada", "Revisada", "", "Revisada"},
                      Typing{"IDCONSATIVA", "xn", "N", ""}, Typing{"CDCST1DIGT", "7", "7", ""},
                      Typing{"CDTPCREDPICOITE", "a1", "a1", ""},
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
    AnswerLookup(QStringLiteral("5405"));
    screen->dbgBloqueadosEditButtonClick(grid);
    EXPECT_GT(screen->cdsCFOP->RecordCount(), 500);
    EXPECT_EQ(value("CDFISCOPER"), QStringLiteral("5405"));

    OnNextModal<QDialog>([](QDialog *dialog) { dialog->reject(); });
    screen->dbgBloqueadosEditButtonClick(grid);
    EXPECT_EQ(value("CDFISCOPER"), QStringLiteral("5405")) << "a cancelled lookup changes nothing";
}

// The active flag is drawn as a box 5 pixels from the cell's left edge.
TEST_F(Maintenance, ActiveColumnDrawsTheCheckImages)
{
    TDBGrid *grid = screen->dbgBloqueados;
    rules()->SetData(Rows({"IDCONSATIVA=S;IDBLOQADMI=B", "IDCONSATIVA=N;IDBLOQADMI=B",
                           "IDCONSATIVA=x;IDBLOQADMI=B"}));
    grid->resize(800, 300);
    rules()->SetRecNo(2); // no row of interest selected
    grid->SetSelectedIndex(5);
    const auto cellImage = [&](int row) {
        const QRect cell = grid->visualRect(rules()->index(row, 2 /* IDCONSATIVA */));
        return grid->viewport()->grab(cell).toImage();
    };
    const QImage ticked = cellImage(0), empty = cellImage(1), other = cellImage(2);
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

// What Qt itself shows reads Portuguese; texts that do not fit their cell
// or their drop-down are shown whole.
TEST_F(Maintenance, QtTextsArePortugueseAndCellsShowTheirTextsWhole)
{
    ASSERT_TRUE(InstallQtTranslations(qApp));
    ChooseTax(QStringLiteral("1"));
    TDBGrid *grid = screen->dbgBloqueados;
    GoTo(Rule2);
    QStringList buttons;
    OnNextModal<QMessageBox>([&buttons](QMessageBox *box) {
        for (QAbstractButton *button : box->buttons())
            buttons << button->text();
        box->reject();
    });
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{QStringLiteral("Cancelar"), QStringLiteral("OK")}));
    const std::unique_ptr<QMenu> menu(screen->edtCdImposto->createStandardContextMenu());
    QStringList items;
    for (const QAction *action : menu->actions())
        if (!action->isSeparator())
            items << action->text().remove('&').section('\t', 0, 0);
    EXPECT_TRUE(items.contains(QStringLiteral("Desfazer"))) << items.join('|').toStdString();
    for (const char *english : {"Undo", "Redo", "Cut", "Copy", "Paste", "Delete", "Select All"})
        EXPECT_FALSE(items.contains(QString::fromLatin1(english))) << english;

    for (int i = 0; i < grid->ColumnCount(); ++i) {
        const TColumn *column = grid->Columns(i);
        const int model = column->Field()->Index();
        SCOPED_TRACE(column->FieldName().toStdString());
        // The base page shows the rules in the rule grid's widths.
        EXPECT_EQ(screen->dbgPadrao->columnWidth(model), grid->columnWidth(model));
        if (column->PickList().isEmpty())
            continue;
        grid->setFocus();
        grid->SetSelectedIndex(i);
        QTest::keyClick(grid, Qt::Key_F2);
        auto *combo = qobject_cast<QComboBox *>(grid->window()->focusWidget());
        ASSERT_NE(combo, nullptr);
        EXPECT_GE(combo->view()->minimumWidth(), LongestItemWidth(combo));
        QTest::keyClick(combo, Qt::Key_Escape);
        QTest::keyClick(grid, Qt::Key_Escape);
    }
    // "1 - Operações com Crédito do Imposto" in a 77-pixel column.
    rules()->First();
    const QModelIndex cut = rules()->index(0, field("CDFISCAL")->Index());
    const QPoint at = grid->visualRect(cut).center();
    QHelpEvent help(QEvent::ToolTip, at, grid->viewport()->mapToGlobal(at));
    QApplication::sendEvent(grid->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), cut.data().toString());
}

} // namespace
