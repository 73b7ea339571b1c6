#include "kit/core/Consiste.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TDataSource.h"
#include "kit/grid/TDBGrid.h"

#include <QAbstractItemModelTester>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// Column positions in the grid below.
enum Col { cAtivo, cNr, cES, cCfop, cCst, cAliq, cFiscal, cDesc };

const QColor kOlive(128, 128, 0);
const QColor kGridColour(255, 255, 225);

QVariantMap rulePacket(const QList<QStringList> &rows)
{
    const QList<QPair<QString, int>> fields = {
        {"IDCONSATIVA", 1}, {"NRSEQCONSISTE", 10},   {"IDENTRSAIDOP", 1},
        {"CDFISCOPER", 4},  {"CDSITUTRIB", 2},       {"IDTPALIQUOTA", 1},
        {"CDFISCAL", 1},    {"DSCONSISTENCIA", 250}, {"IDCONSPREDEFI", 1}};
    QVariantList fieldList;
    for (const auto &f : fields)
        fieldList.append(QVariantMap{{"name", f.first}, {"size", f.second}});
    QVariantList rowList;
    for (const QStringList &r : rows) {
        QVariantList values;
        for (const QString &v : r)
            values.append(v);
        rowList.append(QVariant(values));
    }
    return {{"fields", fieldList}, {"rows", rowList}};
}

QStringList row(const QString &ativo, const QString &nr, const QString &predef = "N")
{
    return {ativo, nr, "E", "5102", "00", "1", "1", "Regra " + nr, predef};
}

QImage checkImage(bool ticked)
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(kOlive);
    QPainter p(&image);
    p.fillRect(2, 2, 12, 12, Qt::white);
    p.fillRect(2, 2, 12, 1, Qt::black);
    p.fillRect(2, 2, 1, 12, Qt::black);
    if (ticked)
        p.fillRect(6, 6, 4, 4, Qt::black);
    return image;
}

class GridTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ds.AddField("IDCONSATIVA", 1, "Ativo");
        ds.AddField("NRSEQCONSISTE", 10, "Cód. Consistência");
        ds.AddField("IDENTRSAIDOP", 1, "E/S");
        ds.AddField("CDFISCOPER", 4, "CFOP");
        ds.AddField("CDSITUTRIB", 2, "CST");
        ds.AddField("IDTPALIQUOTA", 1, "Tipo Aliquota");
        ds.AddField("CDFISCAL", 1, "Código Fiscal");
        ds.AddField("DSCONSISTENCIA", 250, "Descrição");
        ds.AddField("IDCONSPREDEFI", 1, QString(), false);
        tester = std::make_unique<QAbstractItemModelTester>(
            &ds, QAbstractItemModelTester::FailureReportingMode::Fatal);
        source.SetDataSet(&ds);

        grid.AddColumn("IDCONSATIVA");
        grid.AddColumn("NRSEQCONSISTE");
        TColumn *es = grid.AddColumn("IDENTRSAIDOP");
        es->SetWidth(123);
        es->SetPickList({"Entrada", "Saída", "Ambos"});
        TColumn *cfop = grid.AddColumn("CDFISCOPER");
        cfop->SetWidth(46);
        cfop->SetButtonStyle(TColumn::ButtonStyle::Ellipsis);
        TColumn *cst = grid.AddColumn("CDSITUTRIB");
        cst->SetWidth(348);
        cst->PickList() << "00 - Tributada integralmente"
                        << "10 - Tributada e com cobrança";
        TColumn *aliq = grid.AddColumn("IDTPALIQUOTA");
        aliq->SetWidth(112);
        aliq->SetPickList({"1 - Menor que Zero", "2 - Igual a Zero", "3 - Maior que Zero"});
        TColumn *fiscal = grid.AddColumn("CDFISCAL");
        fiscal->SetWidth(77);
        fiscal->SetPickList({"1 - Operações com Crédito do Imposto",
                             "2 - Oper. s/ Créd. Imp. - Isentas ou não Trib.",
                             "3 - Oper. s/ Créd do Imposto - Outras", ""});
        grid.AddColumn("DSCONSISTENCIA");
        grid.SetOptions(grid.GetOptions() & ~TDBGrid::dgIndicator);
        QPalette palette = grid.palette();
        palette.setColor(QPalette::Base, kGridColour);
        grid.setPalette(palette);
        grid.SetDataSource(&source);

        // The screen's rules: digits only in the CFOP and CST columns, "1" to
        // "3" in the sign and fiscal columns, nothing in the rule number.
        grid.OnKeyPress = [this](TDBGrid *g, QChar &key) {
            ++keyPresses;
            const TField *field = g->SelectedField();
            if (!field)
                return;
            const QString name = field->FieldName();
            const bool backspace = key.unicode() == 8;
            if (name == "CDFISCOPER" || name == "CDSITUTRIB") {
                if (!backspace && !(key >= u'0' && key <= u'9'))
                    key = QChar(0);
            } else if (name == "IDTPALIQUOTA" || name == "CDFISCAL") {
                if (!backspace && !(key >= u'1' && key <= u'3'))
                    key = QChar(0);
            } else if (name == "NRSEQCONSISTE") {
                key = QChar(0);
            } else if (name == "IDENTRSAIDOP") {
                key = key.toUpper();
            }
        };

        ds.SetData(rulePacket({row("S", "0000000001"), row("N", "0000000002"),
                               row("", "0000000003", "S"), row("s", "0000000004")}));
        grid.resize(1200, 300);
        grid.show();
        grid.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&grid));
        grid.setFocus();
    }

    void select(int column)
    {
        grid.SetSelectedIndex(column);
        ASSERT_EQ(grid.SelectedIndex(), column);
    }

    QWidget *editor() const { return QApplication::focusWidget(); }
    QString editorText() const
    {
        QWidget *w = editor();
        if (auto *combo = qobject_cast<QComboBox *>(w))
            return combo->currentText();
        if (auto *edit = qobject_cast<QLineEdit *>(w))
            return edit->text();
        return QString();
    }
    TField *f(const char *name) const { return ds.FieldByName(QString::fromLatin1(name)); }
    QRect cellRect(int row, int column) const
    {
        return grid.visualRect(ds.index(row, grid.Columns(column)->Field()->Index()));
    }

    TClientDataSet ds;
    std::unique_ptr<QAbstractItemModelTester> tester;
    TDataSource source;
    TDBGrid grid;
    int keyPresses = 0;
};

TEST_F(GridTest, ShowsThePersistentColumnsInOrderWithTheirTitlesAndWidths)
{
    QHeaderView *header = grid.horizontalHeader();
    ASSERT_EQ(grid.ColumnCount(), 8);
    for (int c = 0; c < grid.ColumnCount(); ++c) {
        const int logical = grid.Columns(c)->Field()->Index();
        EXPECT_EQ(header->visualIndex(logical), c) << c;
        EXPECT_FALSE(header->isSectionHidden(logical));
    }
    EXPECT_TRUE(header->isSectionHidden(ds.FieldByName("IDCONSPREDEFI")->Index()));
    EXPECT_EQ(grid.Columns(cNr)->Title(), "Cód. Consistência");
    EXPECT_EQ(grid.columnWidth(f("IDENTRSAIDOP")->Index()), 123);
    EXPECT_EQ(grid.columnWidth(f("CDSITUTRIB")->Index()), 348);

    // Default width: the field's display width in characters, or the title when wider.
    const QFontMetrics cell(grid.font());
    const QFontMetrics title(grid.TitleFont());
    const int nrWidth = grid.columnWidth(f("NRSEQCONSISTE")->Index());
    EXPECT_GE(nrWidth, cell.averageCharWidth() * 10);
    EXPECT_GE(nrWidth, title.horizontalAdvance("Cód. Consistência"));
    const int ativoWidth = grid.columnWidth(f("IDCONSATIVA")->Index());
    EXPECT_GE(ativoWidth, title.horizontalAdvance("Ativo"));
    EXPECT_LT(ativoWidth, title.horizontalAdvance("Ativo") + 20);

    // A reload keeps the layout.
    ds.SetData(rulePacket({row("S", "0000000009")}));
    for (int c = 0; c < grid.ColumnCount(); ++c)
        EXPECT_EQ(header->visualIndex(grid.Columns(c)->Field()->Index()), c) << c;
    EXPECT_TRUE(header->isSectionHidden(ds.FieldByName("IDCONSPREDEFI")->Index()));
    EXPECT_EQ(grid.columnWidth(f("IDENTRSAIDOP")->Index()), 123);
}

TEST_F(GridTest, ColumnsMovedByTheUserKeepTheirOrder)
{
    grid.SetOptions(grid.GetOptions() | TDBGrid::dgColumnMove);
    select(cCfop);
    QHeaderView *header = grid.horizontalHeader();
    header->moveSection(cNr, cCst); // drag "Cód. Consistência" after "CST"
    EXPECT_EQ(grid.Columns(cCst)->FieldName(), "NRSEQCONSISTE");
    EXPECT_EQ(grid.Columns(cNr)->FieldName(), "IDENTRSAIDOP");
    EXPECT_EQ(grid.SelectedField(), f("CDFISCOPER"));
    EXPECT_EQ(grid.SelectedIndex(), int(cCfop) - 1);
    ds.SetData(rulePacket({row("S", "0000000009")})); // a reload keeps the user's order
    EXPECT_EQ(header->visualIndex(f("NRSEQCONSISTE")->Index()), int(cCst));
}

TEST_F(GridTest, AWidthGivenByTheUserOutlivesAReload)
{
    const int logical = f("DSCONSISTENCIA")->Index();
    grid.horizontalHeader()->resizeSection(logical, 211); // as a drag does
    ds.SetData(rulePacket({row("S", "0000000009")}));
    EXPECT_EQ(grid.columnWidth(logical), 211);
    grid.Columns(cDesc)->SetWidth(90); // the program's width wins again
    EXPECT_EQ(grid.columnWidth(logical), 90);
    ds.SetFiltered(true);
    EXPECT_EQ(grid.columnWidth(logical), 90);
}

TEST_F(GridTest, AColumnWithoutItsFieldIsNotShown)
{
    TColumn *ghost = grid.AddColumn("NAOEXISTE");
    EXPECT_EQ(ghost->Field(), nullptr);
    EXPECT_EQ(ghost->Title(), "NAOEXISTE");
    EXPECT_EQ(grid.ColumnCount(), 9);
    grid.SetSelectedIndex(8);
    EXPECT_EQ(grid.SelectedField(), nullptr);
    grid.viewport()->grab(); // paints without it
    EXPECT_EQ(grid.ColumnByFieldName("cdfiscoper"), grid.Columns(cCfop));
}

TEST_F(GridTest, OptionsAndTitleFont)
{
    EXPECT_FALSE(grid.verticalHeader()->isVisible());
    EXPECT_TRUE(grid.tabKeyNavigation());
    EXPECT_TRUE(grid.GetOptions().testFlag(TDBGrid::dgConfirmDelete));
    EXPECT_EQ(grid.selectionBehavior(), QAbstractItemView::SelectItems);
    QFont font("MS Sans Serif");
    font.setPointSize(8);
    grid.SetTitleFont(font);
    EXPECT_EQ(grid.TitleFont().family(), font.family());
    EXPECT_EQ(grid.horizontalHeader()->font().pointSize(), 8);
}

TEST_F(GridTest, SelectedFieldFollowsTheCurrentColumnAndNeedsAnOpenDataSet)
{
    select(cCfop);
    EXPECT_EQ(grid.SelectedField(), f("CDFISCOPER"));
    EXPECT_EQ(grid.currentIndex(), ds.index(0, f("CDFISCOPER")->Index()));
    ds.Close();
    EXPECT_EQ(grid.SelectedField(), nullptr);
    QTest::keyClick(&grid, Qt::Key_5); // the key event still runs, and nothing fails
    EXPECT_EQ(keyPresses, 1);
}

TEST_F(GridTest, TypingInBrowseStartsTheEditAndOpensTheEditor)
{
    select(cDesc);
    QTest::keyClick(&grid, Qt::Key_X, Qt::NoModifier);
    EXPECT_EQ(ds.state(), TClientDataSet::State::Edit);
    ASSERT_TRUE(grid.EditorOpen());
    EXPECT_EQ(editorText(), "x");
    QTest::keyClicks(editor(), "yz");
    QTest::keyClick(editor(), Qt::Key_Return);
    QTRY_VERIFY(!grid.EditorOpen());
    EXPECT_EQ(f("DSCONSISTENCIA")->AsString(), "xyz");
    EXPECT_EQ(keyPresses, 4); // x, y, z and Enter
}

TEST_F(GridTest, ARefusedEditChangesNothing)
{
    ds.BeforeEdit = [](TClientDataSet *d) {
        if (d->FieldByName("IDCONSPREDEFI")->AsString() == "S")
            throw EAbort();
    };
    ds.SetRecNo(2); // predefined
    select(cDesc);
    QTest::keyClicks(&grid, "abc");
    EXPECT_EQ(ds.state(), TClientDataSet::State::Browse);
    EXPECT_FALSE(grid.EditorOpen());
    EXPECT_EQ(f("DSCONSISTENCIA")->AsString(), "Regra 0000000003");
}

// Keys typed into the editor pass the key event first.
struct KeyCase
{
    int column;
    const char *typed;
    const char *stored;
};

class GridKeyFilter : public GridTest, public ::testing::WithParamInterface<KeyCase>
{
};

TEST_P(GridKeyFilter, DiscardedCharactersNeverReachTheField)
{
    select(GetParam().column);
    QTest::keyClick(&grid, Qt::Key_F2);
    ASSERT_TRUE(grid.EditorOpen());
    if (auto *edit = qobject_cast<QLineEdit *>(editor()))
        edit->clear();
    else if (auto *combo = qobject_cast<QComboBox *>(editor()))
        combo->lineEdit()->clear();
    QTest::keyClicks(editor(), QString::fromUtf8(GetParam().typed));
    ds.Post(); // stores what the open editor holds
    TField *field = grid.Columns(GetParam().column)->Field();
    EXPECT_EQ(field->AsString(), QString::fromUtf8(GetParam().stored));
    EXPECT_EQ(keyPresses, int(strlen(GetParam().typed)));
}

INSTANTIATE_TEST_SUITE_P(Columns, GridKeyFilter,
                         ::testing::Values(KeyCase{cCfop, "5a1b0", "510"},
                                           KeyCase{cCfop, "0510999", "0510"},
                                           KeyCase{cCst, "x0y5", "05"}, KeyCase{cAliq, "04a2", "2"},
                                           KeyCase{cFiscal, "93", "3"}, KeyCase{cES, "s", "S"},
                                           KeyCase{cDesc, "livre 1!", "livre 1!"},
                                           KeyCase{cAtivo, "Nx", "N"}));

TEST_F(GridTest, NothingTypedReachesTheRuleNumberBackspaceIncluded)
{
    select(cNr);
    QTest::keyClick(&grid, Qt::Key_Backspace);
    QTest::keyClicks(&grid, "12");
    EXPECT_FALSE(grid.EditorOpen());
    EXPECT_EQ(ds.state(), TClientDataSet::State::Browse);
    EXPECT_EQ(keyPresses, 3);
}

TEST_F(GridTest, BackspaceArrivesAsCharacterEight)
{
    QList<int> seen;
    grid.OnKeyPress = [&](TDBGrid *, QChar &key) { seen << key.unicode(); };
    select(cDesc);
    QTest::keyClick(&grid, Qt::Key_Backspace);
    ASSERT_TRUE(grid.EditorOpen());
    QTest::keyClick(editor(), Qt::Key_A);
    QTest::keyClick(editor(), Qt::Key_Backspace);
    QTest::keyClick(editor(), Qt::Key_Enter);
    EXPECT_EQ(seen, QList<int>({8, 'a', 8, 13}));
}

TEST_F(GridTest, DiscardedEnterNeitherOpensNorClosesTheEditor)
{
    select(cCfop);
    QTest::keyClick(&grid, Qt::Key_Return);
    EXPECT_FALSE(grid.EditorOpen());

    QTest::keyClick(&grid, Qt::Key_7);
    ASSERT_TRUE(grid.EditorOpen());
    QTest::keyClick(editor(), Qt::Key_Return);
    QCoreApplication::processEvents();
    EXPECT_TRUE(grid.EditorOpen());
    EXPECT_EQ(editorText(), "7");

    // In an unfiltered column Enter opens and closes the editor.
    QTest::keyClick(editor(), Qt::Key_Tab); // to the CST column
    select(cDesc);
    QTest::keyClick(&grid, Qt::Key_Return);
    EXPECT_TRUE(grid.EditorOpen());
    QTest::keyClick(editor(), Qt::Key_Return);
    QTRY_VERIFY(!grid.EditorOpen());
}

TEST_F(GridTest, EditorStartsWithTheEditTextAndTypingIsHeldToTheFieldWidth)
{
    f("CDFISCOPER")->OnGetText = [](TField *field, QString &text, bool) {
        text = field->AsString().isEmpty() ? QStringLiteral("Todos") : field->AsString();
    };
    ds.Edit();
    f("CDFISCOPER")->Clear();
    select(cCfop);
    QTest::keyClick(&grid, Qt::Key_F2);
    ASSERT_TRUE(grid.EditorOpen());
    auto *edit = qobject_cast<QLineEdit *>(editor());
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), "Todos");
    EXPECT_GE(edit->maxLength(), 4);
    edit->end(false);
    QTest::keyClick(edit, Qt::Key_1); // the text is already longer than the field
    EXPECT_EQ(edit->text(), "Todos");
    QTest::keyClick(edit, Qt::Key_Tab); // unchanged text is not written back
    EXPECT_EQ(f("CDFISCOPER")->AsString(), "");
}

TEST_F(GridTest, ColumnExitRefusedByAbortKeepsTheCell)
{
    QList<QString> leaving;
    bool refuse = true;
    grid.OnColExit = [&](TDBGrid *g) {
        leaving << g->SelectedField()->FieldName();
        if (refuse && g->SelectedField()->FieldName() == "CDFISCOPER")
            throw EAbort();
    };
    select(cCfop);
    QTest::keyClick(&grid, Qt::Key_Tab);
    EXPECT_EQ(grid.SelectedIndex(), int(cCfop));
    QTest::keyClick(&grid, Qt::Key_Right);
    EXPECT_EQ(grid.SelectedIndex(), int(cCfop));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cellRect(1, cDesc).center());
    EXPECT_EQ(grid.SelectedIndex(), int(cCfop));
    EXPECT_EQ(ds.RecNo(), 0);

    // With the editor open: the typed value is stored, the editor stays.
    QTest::keyClick(&grid, Qt::Key_5);
    ASSERT_TRUE(grid.EditorOpen());
    QTest::keyClick(editor(), Qt::Key_Tab);
    EXPECT_EQ(grid.SelectedIndex(), int(cCfop));
    EXPECT_EQ(f("CDFISCOPER")->AsString(), "5");
    EXPECT_EQ(ds.state(), TClientDataSet::State::Edit);
    EXPECT_EQ(leaving, QList<QString>({"CDFISCOPER", "CDFISCOPER", "CDFISCOPER", "CDFISCOPER"}));

    refuse = false;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(grid.SelectedIndex(), int(cCst));
    // Moving up and down within a column is no column exit.
    leaving.clear();
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_TRUE(leaving.isEmpty());
}

TEST_F(GridTest, LeavingTheRowPostsItAndARefusedPostKeepsTheUserThere)
{
    bool refuse = true;
    ds.BeforePost = [&](TClientDataSet *) {
        if (refuse)
            throw EAbort();
    };
    select(cDesc);
    QTest::keyClick(&grid, Qt::Key_Q);
    QTest::keyClick(editor(), Qt::Key_Down);
    EXPECT_EQ(ds.RecNo(), 0);
    EXPECT_EQ(grid.currentIndex().row(), 0);
    EXPECT_EQ(ds.state(), TClientDataSet::State::Edit);
    EXPECT_EQ(f("DSCONSISTENCIA")->AsString(), "q");

    refuse = false;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(ds.RecNo(), 1);
    EXPECT_EQ(grid.currentIndex().row(), 1);
    EXPECT_EQ(ds.state(), TClientDataSet::State::Browse);
    EXPECT_EQ(ds.Value(0, f("DSCONSISTENCIA")->Index()), "q");
    EXPECT_EQ(ds.ChangeCount(), 1);
}

TEST_F(GridTest, APostThatReloadsTheRowsLeavesTheGridOnAValidCell)
{
    ds.AfterPost = [](TClientDataSet *d) {
        d->SetData(rulePacket({row("S", "0000000011"), row("N", "0000000012")}));
    };
    select(cDesc);
    QTest::keyClick(&grid, Qt::Key_Q);
    QTest::keyClick(editor(), Qt::Key_Down);
    EXPECT_EQ(ds.RecordCount(), 2);
    EXPECT_EQ(grid.currentIndex().row(), ds.RecNo());
    EXPECT_EQ(grid.currentIndex().column(), f("DSCONSISTENCIA")->Index());
    EXPECT_FALSE(grid.EditorOpen());
}

TEST_F(GridTest, NoRowIsEverAddedWhenInsertsAreRefused)
{
    ds.BeforeInsert = [](TClientDataSet *) { throw EAbort(); };
    ds.Last();
    select(cDesc);
    QTest::keyClick(&grid, Qt::Key_Down);
    QTest::keyClick(&grid, Qt::Key_PageDown);
    QTest::keyClick(&grid, Qt::Key_Insert);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(&grid, Qt::Key_Tab); // past the last cell
    EXPECT_EQ(ds.RecordCount(), 4);
    EXPECT_EQ(ds.state(), TClientDataSet::State::Browse);
    EXPECT_EQ(ds.RecNo(), 3);
}

TEST_F(GridTest, InsertKeyInsertsAndEscapeCancels)
{
    ds.SetRecNo(1);
    QTest::keyClick(&grid, Qt::Key_Insert);
    EXPECT_EQ(ds.state(), TClientDataSet::State::Insert);
    EXPECT_EQ(ds.RecordCount(), 5);
    EXPECT_EQ(grid.currentIndex().row(), 1);
    QTest::keyClick(&grid, Qt::Key_Escape);
    EXPECT_EQ(ds.state(), TClientDataSet::State::Browse);
    EXPECT_EQ(ds.RecordCount(), 4);
}

TEST_F(GridTest, TypingIntoAnEmptyGridInsertsUnlessRefused)
{
    ds.EmptyDataSet();
    select(cDesc);
    ds.BeforeInsert = [](TClientDataSet *) { throw EAbort(); };
    QTest::keyClicks(&grid, "ab");
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_FALSE(grid.EditorOpen());

    ds.BeforeInsert = nullptr;
    QTest::keyClick(&grid, Qt::Key_A);
    EXPECT_EQ(ds.state(), TClientDataSet::State::Insert);
    ASSERT_TRUE(grid.EditorOpen());
    QTest::keyClicks(editor(), "bc");
    ds.Post();
    EXPECT_EQ(ds.RecordCount(), 1);
    EXPECT_EQ(f("DSCONSISTENCIA")->AsString(), "abc");
}

TEST_F(GridTest, AnUntouchedInsertedRowGoesWhenTheGridLosesFocus)
{
    QLineEdit elsewhere;
    elsewhere.show();
    QTest::keyClick(&grid, Qt::Key_Insert);
    ASSERT_EQ(ds.RecordCount(), 5);
    elsewhere.activateWindow();
    elsewhere.setFocus();
    QTRY_COMPARE(ds.RecordCount(), 4);
    EXPECT_EQ(ds.state(), TClientDataSet::State::Browse);
}

TEST_F(GridTest, CtrlDeleteAsksBeforeDeleting)
{
    QString asked;
    auto answer = [&](QMessageBox::StandardButton button) {
        QTimer::singleShot(0, [&asked, button] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            asked = box->text();
            box->button(button)->click();
        });
    };
    answer(QMessageBox::Cancel);
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(asked, "Excluir registro?");
    EXPECT_EQ(ds.RecordCount(), 4);

    answer(QMessageBox::Ok);
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(ds.RecordCount(), 3);
    EXPECT_EQ(ds.ChangeCount(), 1);

    grid.SetOptions(grid.GetOptions() & ~TDBGrid::dgConfirmDelete);
    ds.BeforeDelete = [](TClientDataSet *) { throw EAbort(); };
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(ds.RecordCount(), 3);
    ds.BeforeDelete = nullptr;
    QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(ds.RecordCount(), 2);
}

// A chosen pick-list item is assigned whole; the field keeps what fits.
struct PickCase
{
    int column;
    int item;
    const char *stored;
};

class GridPickList : public GridTest, public ::testing::WithParamInterface<PickCase>
{
};

TEST_P(GridPickList, StoresTheLeadingCharacters)
{
    select(GetParam().column);
    QTest::keyClick(&grid, Qt::Key_F2);
    auto *combo = qobject_cast<QComboBox *>(editor());
    if (!combo && editor())
        combo = qobject_cast<QComboBox *>(editor()->parentWidget());
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), grid.Columns(GetParam().column)->PickList().size());
    combo->setCurrentIndex(GetParam().item);
    EXPECT_EQ(combo->currentText(), grid.Columns(GetParam().column)->PickList()[GetParam().item]);
    QTest::keyClick(&grid, Qt::Key_Down); // leave the row: the pick is stored and posted
    EXPECT_EQ(ds.ChangeCount(), 1);
    EXPECT_EQ(ds.Value(0, grid.Columns(GetParam().column)->Field()->Index()),
              QString::fromUtf8(GetParam().stored));
}

INSTANTIATE_TEST_SUITE_P(Columns, GridPickList,
                         ::testing::Values(PickCase{cAliq, 1, "2"}, PickCase{cAliq, 2, "3"},
                                           PickCase{cCst, 1, "10"}, PickCase{cFiscal, 3, ""},
                                           PickCase{cFiscal, 2, "3"}, PickCase{cES, 2, "A"},
                                           PickCase{cES, 1, "S"}));

// Typed text in a pick-list column is stored as typed, held to the field
// width: nothing completes it from the list. A pick still assigns the item.
enum class Leave { Tab, RowMove };

struct TypedPickCase
{
    const char *name;
    int column;
    const char *typed;
    int pick; // item picked from the drop-down after typing, -1 for none
    Leave leave;
    const char *shown; // the editor's text before leaving
    const char *stored;
};

void PrintTo(const TypedPickCase &c, std::ostream *os)
{
    *os << c.name;
}

class GridPickListTyping : public GridTest, public ::testing::WithParamInterface<TypedPickCase>
{
};

TEST_P(GridPickListTyping, StoresWhatWasTyped)
{
    const TypedPickCase &c = GetParam();
    grid.Columns(cCst)->SetPickList({"00 - Tributada integralmente",
                                     "10 - Tributada e com cobrança", "50 - Suspensão",
                                     "51 - Diferimento"});
    select(c.column);
    const QString typed = QString::fromUtf8(c.typed);
    QTest::keyClicks(&grid, typed.left(1)); // typing in browse opens the editor
    ASSERT_TRUE(grid.EditorOpen());
    auto *combo = qobject_cast<QComboBox *>(editor());
    ASSERT_NE(combo, nullptr);
    QTest::keyClicks(combo, typed.mid(1));
    if (c.pick >= 0) {
        combo->showPopup();
        QAbstractItemView *list = combo->view();
        list->setCurrentIndex(list->model()->index(c.pick, 0));
        QTest::keyClick(list, Qt::Key_Return);
        ASSERT_FALSE(list->isVisible());
    }
    EXPECT_EQ(editorText(), QString::fromUtf8(c.shown));
    EXPECT_EQ(keyPresses, int(typed.size()));

    QTest::keyClick(editor(), c.leave == Leave::Tab ? Qt::Key_Tab : Qt::Key_Down);
    EXPECT_EQ(ds.RecNo(), c.leave == Leave::Tab ? 0 : 1);
    EXPECT_EQ(grid.SelectedIndex(), c.leave == Leave::Tab ? c.column + 1 : c.column);
    EXPECT_EQ(ds.Value(0, grid.Columns(c.column)->Field()->Index()), QString::fromUtf8(c.stored));
}

INSTANTIATE_TEST_SUITE_P(
    Columns, GridPickListTyping,
    ::testing::Values(
        TypedPickCase{"CstPrefixByTab", cCst, "5", -1, Leave::Tab, "5", "5"},
        TypedPickCase{"CstPrefixByRowMove", cCst, "5", -1, Leave::RowMove, "5", "5"},
        TypedPickCase{"CstPrefixOfTheSecondItem", cCst, "1", -1, Leave::Tab, "1", "1"},
        TypedPickCase{"CstWholeCode", cCst, "51", -1, Leave::RowMove, "51", "51"},
        TypedPickCase{"CstHeldToTheWidth", cCst, "503", -1, Leave::Tab, "50", "50"},
        TypedPickCase{"CstPickAfterTyping", cCst, "5", 2, Leave::Tab, "50 - Suspensão", "50"},
        TypedPickCase{"DirectionMadeUpperCase", cES, "a", -1, Leave::RowMove, "A", "A"},
        TypedPickCase{"FiscalByRowMove", cFiscal, "2", -1, Leave::RowMove, "2", "2"},
        TypedPickCase{"FiscalPick", cFiscal, "2", 0, Leave::RowMove,
                      "1 - Operações com Crédito do Imposto", "1"}),
    [](const ::testing::TestParamInfo<TypedPickCase> &info) {
        return std::string(info.param.name);
    });

TEST_F(GridTest, TheEllipsisButtonRunsItsEvent)
{
    int clicks = 0;
    grid.OnEditButtonClick = [&](TDBGrid *g) {
        ++clicks;
        if (g->DataSet()->state() == TClientDataSet::State::Edit)
            g->SelectedField()->SetAsString("0101999");
    };
    select(cCfop);
    QTest::keyClick(&grid, Qt::Key_F2);
    ASSERT_TRUE(grid.EditorOpen());
    QWidget *box = editor()->parentWidget();
    auto *button = box->findChild<QToolButton *>("ellipsis");
    ASSERT_NE(button, nullptr);
    button->click(); // browse: the handler does nothing
    EXPECT_EQ(f("CDFISCOPER")->AsString(), "5102");
    QTest::keyClick(editor(), Qt::Key_Escape);
    ds.Edit();
    QTest::keyClick(&grid, Qt::Key_F2);
    editor()->parentWidget()->findChild<QToolButton *>("ellipsis")->click();
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(f("CDFISCOPER")->AsString(), "0101");
    EXPECT_EQ(editorText(), "0101"); // the open editor shows the new value
}

TEST_F(GridTest, PostAndCancelFromOutsideCloseTheEditor)
{
    select(cDesc);
    QTest::keyClick(&grid, Qt::Key_A);
    ASSERT_TRUE(grid.EditorOpen());
    ds.Post(); // e.g. the confirm button: the editor's text is stored first
    EXPECT_FALSE(grid.EditorOpen());
    EXPECT_EQ(f("DSCONSISTENCIA")->AsString(), "a");

    QTest::keyClick(&grid, Qt::Key_B);
    ASSERT_TRUE(grid.EditorOpen());
    ds.Cancel();
    EXPECT_FALSE(grid.EditorOpen());
    QCoreApplication::processEvents();
    EXPECT_EQ(f("DSCONSISTENCIA")->AsString(), "a");
    EXPECT_EQ(ds.state(), TClientDataSet::State::Browse);
}

TEST_F(GridTest, TypingRightAfterTheEditedRowWasDeletedEditsTheNextRow)
{
    select(cDesc);
    QTest::keyClick(&grid, Qt::Key_A);
    ASSERT_TRUE(grid.EditorOpen());
    ds.Delete();
    EXPECT_FALSE(grid.EditorOpen());
    QTest::keyClick(&grid, Qt::Key_Z); // no event loop turn in between
    ASSERT_TRUE(grid.EditorOpen());
    ds.Post();
    EXPECT_EQ(f("NRSEQCONSISTE")->AsString(), "0000000002");
    EXPECT_EQ(f("DSCONSISTENCIA")->AsString(), "z");
}

TEST_F(GridTest, AColumnExitCheckCanRewriteTheValueAndRefocusTheField)
{
    // As a screen does: pad the CFOP on leaving and keep the user there when it is bad.
    grid.OnColExit = [](TDBGrid *g) {
        TField *field = g->SelectedField();
        if (field->FieldName() != "CDFISCOPER" ||
            g->DataSet()->state() != TClientDataSet::State::Edit)
            return;
        field->SetAsString(field->AsString().rightJustified(4, u'0'));
        if (field->AsString() == "0999") {
            field->FocusControl();
            throw EAbort();
        }
    };
    select(cCfop);
    QTest::keyClicks(&grid, "9");
    QTest::keyClicks(editor(), "99");
    QTest::keyClick(editor(), Qt::Key_Tab);
    EXPECT_EQ(grid.SelectedIndex(), int(cCfop));
    EXPECT_EQ(f("CDFISCOPER")->AsString(), "0999");
    ASSERT_TRUE(grid.EditorOpen());
    EXPECT_EQ(editorText(), "0999");

    auto *edit = qobject_cast<QLineEdit *>(editor());
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClicks(edit, "510");
    QTest::keyClick(edit, Qt::Key_Tab);
    EXPECT_EQ(grid.SelectedIndex(), int(cCst));
    EXPECT_EQ(f("CDFISCOPER")->AsString(), "0510");
    EXPECT_FALSE(grid.EditorOpen());
}

TEST_F(GridTest, FocusControlSelectsTheFieldsColumn)
{
    select(cNr);
    f("CDSITUTRIB")->FocusControl();
    EXPECT_EQ(grid.SelectedIndex(), int(cCst));
    EXPECT_EQ(grid.SelectedField(), f("CDSITUTRIB"));
    EXPECT_TRUE(grid.hasFocus());
}

TEST_F(GridTest, FollowsTheDataSetRow)
{
    ds.Last();
    EXPECT_EQ(grid.currentIndex().row(), 3);
    ds.SetFilter("IDCONSATIVA = 'N'");
    ds.SetFiltered(true);
    EXPECT_EQ(grid.model()->rowCount(), 1);
    EXPECT_EQ(grid.currentIndex().row(), 0);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cellRect(0, cDesc).center());
    EXPECT_EQ(grid.SelectedIndex(), int(cDesc));
}

TEST_F(GridTest, DrawingEventPaintsOverTheCellWithTheCanvas)
{
    const QImage ticked = checkImage(true);
    const QImage unticked = checkImage(false);
    QMap<int, QRect> rects;
    QMap<int, QColor> brushes;
    int calls = 0;
    grid.OnDrawColumnCell = [&](TDBGrid *g, const QRect &rect, int, TColumn *column,
                                TDBGrid::DrawState) {
        ++calls;
        if (g->DataSet()->IsEmpty() || column->FieldName() != "IDCONSATIVA")
            return;
        const QString value = column->Field()->AsString(); // the row being drawn
        QImage picture;
        if (value == "S")
            picture = ticked;
        else if (value == "N")
            picture = unticked;
        const int row = g->rowAt(rect.center().y());
        rects[row] = rect;
        brushes[row] = g->Canvas()->Brush.Color;
        g->Canvas()->FillRect(rect);
        const int w = picture.width();
        const int h = rect.height();
        g->Canvas()->BrushCopy(QRect(rect.left() + 5, rect.top(), w, h), picture, QRect(0, 0, w, h),
                               kOlive);
    };
    select(cNr); // the current cell is not an "Ativo" cell
    const QImage shot = grid.viewport()->grab().toImage();
    EXPECT_GT(calls, 8);
    ASSERT_EQ(rects.size(), 4);
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(rects[r], cellRect(r, cAtivo)) << r;
        EXPECT_EQ(brushes[r], kGridColour) << r;
    }
    auto pixel = [&](int r, int x, int y) {
        return QColor(shot.pixel(rects[r].left() + x, rects[r].top() + y));
    };
    // Ticked image 5 pixels in: olive became the cell colour, the rest copied.
    EXPECT_EQ(pixel(0, 5, 0), kGridColour);
    EXPECT_EQ(pixel(0, 5 + 2, 2), QColor(Qt::black));
    EXPECT_EQ(pixel(0, 5 + 7, 7), QColor(Qt::black));
    EXPECT_EQ(pixel(0, 5 + 4, 4), QColor(Qt::white));
    EXPECT_EQ(pixel(0, 4, 7), kGridColour);
    // Empty box for "N".
    EXPECT_EQ(pixel(1, 5 + 7, 7), QColor(Qt::white));
    EXPECT_EQ(pixel(1, 5 + 2, 2), QColor(Qt::black));
    // Anything else: only the cell colour (the grid's own "s" is wiped).
    for (int r : {2, 3})
        for (int y = 0; y < rects[r].height(); ++y)
            for (int x = 0; x < rects[r].width(); ++x)
                ASSERT_EQ(pixel(r, x, y), kGridColour) << r << " " << x << "," << y;
    // Other columns keep the grid's own drawing (text pixels present).
    const QRect nr = cellRect(1, cNr);
    int dark = 0;
    for (int y = nr.top(); y <= nr.bottom(); ++y)
        for (int x = nr.left(); x <= nr.right(); ++x)
            if (QColor(shot.pixel(x, y)).lightness() < 100)
                ++dark;
    EXPECT_GT(dark, 10);
}

TEST_F(GridTest, TheSelectedCellIsDrawnWithTheHighlightBrush)
{
    QColor brush;
    grid.OnDrawColumnCell = [&](TDBGrid *g, const QRect &rect, int, TColumn *column,
                                TDBGrid::DrawState state) {
        if (column->FieldName() == "IDCONSATIVA" && state.testFlag(TDBGrid::gdSelected)) {
            brush = g->Canvas()->Brush.Color;
            g->Canvas()->FillRect(rect);
        }
    };
    select(cAtivo);
    const QImage shot = grid.viewport()->grab().toImage();
    ASSERT_TRUE(brush.isValid());
    EXPECT_NE(brush, kGridColour);
    EXPECT_EQ(brush, grid.palette().color(QPalette::Active, QPalette::Highlight));
    const QRect r = cellRect(0, cAtivo);
    EXPECT_EQ(QColor(shot.pixel(r.center())), brush);
}

TEST_F(GridTest, FailingPaintHandlersNeverBreakThePaint)
{
    f("CDFISCAL")->OnGetText = [](TField *, QString &, bool) { throw EKvrError("falha no texto"); };
    int drawn = 0;
    grid.OnDrawColumnCell = [&](TDBGrid *, const QRect &, int, TColumn *, TDBGrid::DrawState) {
        ++drawn;
        throw EKvrError("falha no desenho");
    };
    grid.viewport()->grab();
    EXPECT_GT(drawn, 8);
    // The cell falls back to the stored code.
    EXPECT_EQ(ds.data(ds.index(0, f("CDFISCAL")->Index())), "1");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(GridTest, ScrollingALargeDataSetAsksOnlyForShownCells)
{
    QList<QStringList> rows;
    rows.reserve(100000);
    for (int i = 0; i < 100000; ++i)
        rows << row(i % 2 ? "S" : "N", QString::number(i + 1).rightJustified(10, u'0'));
    ds.SetData(rulePacket(rows));
    tester.reset(); // the tester walks every row on each change
    int texts = 0;
    f("CDSITUTRIB")->OnGetText = [&](TField *field, QString &text, bool) {
        ++texts;
        text = field->AsString();
    };
    grid.viewport()->grab();
    texts = 0;
    grid.scrollToBottom();
    grid.viewport()->grab();
    ds.Last();
    EXPECT_EQ(grid.currentIndex().row(), 99999);
    const int shown = grid.viewport()->height() / grid.rowHeight(0) + 2;
    EXPECT_GT(texts, 0);
    EXPECT_LE(texts, shown * 4);
    EXPECT_EQ(grid.rowAt(grid.viewport()->height() - 2), 99999);
}

TEST(GridCanvasTest, BrushCopyReplacesOnlyTheTransparentColour)
{
    QImage bitmap(4, 2, QImage::Format_RGB32);
    bitmap.fill(kOlive);
    bitmap.setPixel(1, 0, qRgb(10, 20, 30));
    bitmap.setPixel(3, 1, qRgb(128, 128, 1)); // close to olive, not olive
    QImage target(10, 10, QImage::Format_RGB32);
    target.fill(Qt::blue);
    {
        QPainter painter(&target);
        TCanvas canvas;
        canvas.SetPainter(&painter);
        canvas.Brush.Color = Qt::green;
        canvas.FillRect(QRect(0, 0, 2, 2));
        canvas.BrushCopy(QRect(5, 5, 4, 4), bitmap, QRect(0, 0, 4, 4), kOlive);
        canvas.BrushCopy(QRect(0, 8, 0, 2), bitmap, QRect(0, 0, 0, 2), kOlive); // empty
    }
    EXPECT_EQ(QColor(target.pixel(1, 1)), QColor(Qt::green));
    EXPECT_EQ(QColor(target.pixel(2, 2)), QColor(Qt::blue));
    EXPECT_EQ(QColor(target.pixel(5, 5)), QColor(Qt::green));
    EXPECT_EQ(QColor(target.pixel(6, 5)), QColor(10, 20, 30));
    EXPECT_EQ(QColor(target.pixel(8, 6)), QColor(128, 128, 1));
    EXPECT_EQ(QColor(target.pixel(5, 7)), QColor(Qt::blue)); // below the bitmap: untouched
    EXPECT_EQ(QColor(target.pixel(0, 8)), QColor(Qt::blue));
}

TEST(GridWithoutColumnsTest, ShowsEveryVisibleField)
{
    TClientDataSet ds;
    ds.AddField("A", 1);
    ds.AddField("B", 2, "Bê");
    ds.AddField("C", 3, QString(), false);
    TDataSource source;
    source.SetDataSet(&ds);
    TDBGrid grid;
    grid.SetDataSource(&source);
    ds.CreateDataSet();
    ASSERT_EQ(grid.ColumnCount(), 2);
    EXPECT_EQ(grid.Columns(1)->Title(), "Bê");
    EXPECT_TRUE(grid.horizontalHeader()->isSectionHidden(2));
    ds.FieldByName("C")->SetVisible(true);
    EXPECT_EQ(grid.ColumnCount(), 3);
    EXPECT_FALSE(grid.horizontalHeader()->isSectionHidden(2));
}

// Tab leaves the grid forwards past its last cell, Shift+Tab backwards before
// its first; Ctrl+Tab leaves from anywhere. Inside, both move a cell.
struct Leaving
{
    int row, column;
    const char *typed; // typed into the cell first ("" = none)
    bool backwards, ctrl;
    const char *focus; // before, grid or after
};

class GridLeaving : public GridTest, public ::testing::WithParamInterface<Leaving>
{
};

TEST_P(GridLeaving, TabAndShiftTabAtTheEdges)
{
    const Leaving &c = GetParam();
    QWidget form;
    auto *before = new QLineEdit(&form);
    grid.setParent(&form);
    auto *after = new QLineEdit(&form);
    const auto giveBack = qScopeGuard([this] { grid.setParent(nullptr); });
    form.show();
    form.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    ds.SetRecNo(c.row);
    select(c.column);
    grid.setFocus();
    const QString typed = QString::fromLatin1(c.typed);
    if (!typed.isEmpty()) {
        QTest::keyClicks(&grid, typed.left(1)); // opens the editor
        QTest::keyClicks(editor(), typed.mid(1));
    }
    Qt::KeyboardModifiers modifiers = c.ctrl ? Qt::ControlModifier : Qt::NoModifier;
    if (c.backwards)
        modifiers |= Qt::ShiftModifier;
    QTest::keyClick(QApplication::focusWidget(), c.backwards ? Qt::Key_Backtab : Qt::Key_Tab,
                    modifiers);
    const QString focus = QString::fromLatin1(c.focus);
    QWidget *expected = focus == "before"  ? before
                        : focus == "after" ? static_cast<QWidget *>(after)
                                           : &grid;
    EXPECT_EQ(QApplication::focusWidget(), expected);
    EXPECT_FALSE(grid.EditorOpen());
    if (!typed.isEmpty()) {
        EXPECT_EQ(ds.Value(c.row, grid.Columns(c.column)->Field()->Index()), typed)
            << "what was typed is kept";
    }
}

INSTANTIATE_TEST_SUITE_P(Edges, GridLeaving,
                         ::testing::Values(Leaving{0, cAtivo, "", true, false, "before"},
                                           Leaving{0, cNr, "", true, false, "grid"},
                                           Leaving{3, cDesc, "", false, false, "after"},
                                           Leaving{3, cDesc, "fim", false, false, "after"},
                                           Leaving{1, cDesc, "", false, false, "grid"},
                                           Leaving{1, cCst, "", false, true, "after"},
                                           Leaving{1, cCst, "", true, true, "before"}));

} // namespace
