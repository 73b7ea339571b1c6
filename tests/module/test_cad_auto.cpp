// The automatic registration screen as a user drives it: opened from the
// maintenance screen's button, against a real app server; what its confirm
// did is read back from the server.

// ScreenFixture.h uses these without including them.
#include <QLineEdit>

#include "CLI/STD/KVR/KVR51400/Cli_kvr51401.h"
#include "kit/core/Consiste.h"
#include "kit/data/TDataSource.h"
#include "kit/search/TPesquisaModel.h"
#include "kit/search/TfrmPesquisa.h"
#include "kit/widgets/TBtnPesquisa.h"
#include "tests/module/ScreenFixture.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <functional>

namespace {

class CadAuto : public ScreenFixture
{
protected:
    void SetUp() override
    {
        ScreenFixture::SetUp();
        screen->edtCdImposto->setText(QStringLiteral("01"));
        // Search windows are answered as the step before asked (Pick).
        m_lookups.setInterval(10);
        QObject::connect(&m_lookups, &QTimer::timeout, [this]() {
            auto *window = qobject_cast<TfrmPesquisa *>(QApplication::activeModalWidget());
            if (!window || !window->isVisible())
                return;
            ++m_searches;
            m_pick ? m_pick(window) : window->reject();
            m_pick = nullptr;
        });
        m_lookups.start();
    }

    void TearDown() override
    {
        delete frmCadAuto; // every test starts from a new dialog and no pick
        stListaConsiste.clear();
        ScreenFixture::TearDown();
    }

    // Opens the dialog from the maintenance screen and runs `body` in it.
    void Open(const std::function<void(TfrmCadAuto *)> &body)
    {
        bool ran = false;
        QObject scope; // no run after Open returns, should the dialog not open
        QTimer::singleShot(0, &scope, [&]() {
            EXPECT_TRUE(QTest::qWaitForWindowActive(frmCadAuto));
            body(frmCadAuto);
            ran = true;
            if (frmCadAuto->isVisible())
                frmCadAuto->close();
        });
        screen->sbtAutomaticoClick(nullptr);
        ASSERT_TRUE(ran);
    }

    // Messages shown since the last call.
    QStringList Shown()
    {
        const QStringList fresh = m_answer.Texts().mid(m_seen);
        m_seen = m_answer.Texts().size();
        return fresh;
    }

    // Moves the focus as a click would; a closed message box may have left
    // the dialog inactive, which would hide the move from the screen.
    static void Leave(QWidget *to)
    {
        if (!to->isActiveWindow()) {
            to->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(to->window()));
        }
        to->setFocus();
        QApplication::processEvents();
    }

    // Sets controls as "name=value ...": an edit's text, a combo box's line
    // that starts with the value (none when empty), a check box ticked by 1,
    // a radio button clicked, rdgAdmiBloq's item by index, the rules picked
    // with btpListaConsiste, or stListaConsiste itself.
    void Fill(TfrmCadAuto *d, const QByteArray &settings)
    {
        for (const QString &item : QString::fromUtf8(settings).split(' ', Qt::SkipEmptyParts)) {
            const QString value = item.section('=', 1);
            if (item.startsWith(QLatin1String("stListaConsiste="))) {
                stListaConsiste = value;
                continue;
            }
            auto *control = d->findChild<QWidget *>(item.section('=', 0, 0));
            ASSERT_NE(control, nullptr) << item.toStdString();
            if (auto *button = qobject_cast<TBtnPesquisa *>(control)) {
                Pick(button, value.split(','));
            } else if (auto *edit = qobject_cast<QLineEdit *>(control)) {
                edit->setText(value);
            } else if (auto *box = qobject_cast<QComboBox *>(control)) {
                box->setCurrentIndex(value.isEmpty() ? -1
                                                     : box->findText(value, Qt::MatchStartsWith));
            } else if (auto *radio = qobject_cast<QRadioButton *>(control)) {
                radio->click();
            } else if (auto *check = qobject_cast<QCheckBox *>(control)) {
                check->setChecked(value == QLatin1String("1"));
            } else {
                control->findChildren<QRadioButton *>().at(value.toInt())->click();
            }
        }
    }

    // Clicks a lookup button whose search window then picks the rows with
    // these key values (several are marked, in this order).
    void Pick(TBtnPesquisa *button, const QStringList &values)
    {
        TClientDataSet *rows = button->DataSource()->DataSet();
        m_pick = [rows, values](TfrmPesquisa *window) {
            TField *field = rows->FindField(QStringLiteral("NRSEQCONSISTE"));
            const int key = field ? field->Index() : 0; // else the code comes first
            for (const QString &value : values)
                for (int row = 0; row < rows->RecordCount(); ++row)
                    if (rows->Value(row, key) == value && values.size() > 1)
                        window->Model()->ToggleMark(row);
                    else if (rows->Value(row, key) == value)
                        window->Grid()->setCurrentIndex(window->Model()->index(row, 0));
            window->findChild<QPushButton *>(QStringLiteral("btnSelecionar"))->click();
        };
        button->Click();
    }

    // The texts of these edits, joined by "|".
    static QString Texts(TfrmCadAuto *d, const char *names)
    {
        QStringList texts;
        for (const QString &name : QString::fromLatin1(names).split(' '))
            texts << d->findChild<QLineEdit *>(name)->text();
        return texts.join('|');
    }

    QTimer m_lookups;
    std::function<void(TfrmPesquisa *)> m_pick;
    int m_searches = 0;
    ModalAnswer m_answer;
    int m_seen = 0;
};

TEST_F(CadAuto, LayoutCaptionsAndTabOrder)
{
    Open([this](TfrmCadAuto *d) {
        EXPECT_EQ(d->size(), QSize(501, 636));
        EXPECT_EQ(d->grbDadosRel->geometry(), QRect(0, 0, 446, 636));
        // The mode buttons stand on their group's edge, outside the group.
        EXPECT_EQ(d->chkEdtConsiste->parentWidget(), d->grbDadosRel);
        EXPECT_EQ(d->chkIncluiConsiste->parentWidget(), d->grbDadosRel);
        // Info background, button face or window colour.
        const auto colour = [](QWidget *w) {
            const QColor base = w->palette().color(QPalette::Base);
            const QPalette system = QApplication::palette(w);
            return base == system.color(QPalette::ToolTipBase) ? 'i'
                   : base == system.color(QPalette::Button)    ? 'b'
                                                               : 'w';
        };
        // Captions, sizes and colours; the child order is z-order.
        QStringList shown;
        for (QWidget *w : d->grbDadosRel->findChildren<QWidget *>())
            if (auto *button = qobject_cast<QAbstractButton *>(w);
                button && !button->text().isEmpty())
                shown << button->text();
            else if (auto *group = qobject_cast<QGroupBox *>(w); group && !group->title().isEmpty())
                shown << group->title() + '(' + QString::number(group->width()) + ')';
            else if (w->objectName().startsWith("grb") || w->objectName().startsWith("Panel"))
                shown << w->objectName() + '(' + QString::number(w->width()) + 'x' +
                             QString::number(w->height()) + ')';
            else if (w->objectName().startsWith("edt") || w->objectName().startsWith("cmb"))
                shown << w->objectName() + '(' + QString::number(w->width()) + ',' + colour(w) +
                             ')';
        QStringList expected =
            QStringLiteral(
                "Panel2(442x41), edtCdImposto(30,i), edtNmImposto(300,b), grbEdtConsiste(431x212), "
                "Editar Consistências, grbPeriodoConsiste(185x84), Período, edtiniConsiste(118,i), "
                "edtfinConsiste(118,i), Lista, CST, cmbCST(306,b), CFOP, edtCdCFOP(40,b), "
                "edtNmCFOP(291,b), grbIncluiConsiste(431x257), Incluir consistências, "
                "Admitidos/Bloqueados(415), Admitidos, Bloqueados, CFOP(415), "
                "edtInsIniCdCFOP(44,i), edtInsIniCFOP(300,b), edtInsFinCdCFOP(44,i), "
                "edtInsFinCFOP(300,b), CST(415), cmbInsIniCST(378,i), cmbInsFinCST(378,i), "
                "Panel1(430x97), Código Físcal, cmbCdFiscal(111,b), Tp. Vr. Imposto, "
                "cmbImposto(111,b), Tp. Vr. Bc, cmbBaseCalc(111,b), Tipo Alíquota, "
                "cmbAliquota(111,b), grbVerifica(180x80), Verificar Consistências, "
                "Verifica no Lançamento, Verifica na Aprovação")
                .split(", ");
        shown.sort();
        expected.sort();
        EXPECT_EQ(shown, expected);
        EXPECT_EQ(d->cmbImposto->itemText(2), QStringLiteral("3 - Maior que Zero"));
        // Every drop-down is as wide as its longest item; captions keep a gap.
        for (QComboBox *box : d->findChildren<QComboBox *>())
            EXPECT_GE(box->view()->minimumWidth(), LongestItemWidth(box))
                << box->objectName().toStdString();
        for (QLabel *caption : d->Panel2->findChildren<QLabel *>())
            EXPECT_GE(d->edtCdImposto->x() - caption->geometry().right(), 6);

        const QStringList order = QString("edtCdImposto chkEdtConsiste rbtPeriodoConsiste "
                                          "edtiniConsiste edtfinConsiste rbtListaConsiste chkCST "
                                          "cmbCST chkCFOP edtCdCFOP chkIncluiConsiste "
                                          "edtInsIniCdCFOP edtInsFinCdCFOP cmbInsIniCST "
                                          "cmbInsFinCST chkCdFiscal cmbCdFiscal chkImposto "
                                          "cmbImposto chkBaseCalc cmbBaseCalc chkAliquota "
                                          "cmbAliquota chkVerifica chkLancamento chkAprovacao")
                                      .split(' ');
        QStringList chain;
        QWidget *w = d->edtCdImposto;
        do {
            if (order.contains(w->objectName()) && !chain.contains(w->objectName()))
                chain << w->objectName();
        } while ((w = w->nextInFocusChain()) != d->edtCdImposto);
        EXPECT_EQ(chain, order);
    });
}

// Enabled state after creation and after each switch, as one sequence; the
// option fields take their colour and keep their value when switched off.
TEST_F(CadAuto, EnablingFollowsModeRangeAndOptions)
{
    Open([this](TfrmCadAuto *d) {
        const QStringList columns = QString("cmbCST btpCFOP edtCdCFOP edtNmCFOP btpListaConsiste "
                                            "edtiniConsiste btpPesqConsistFin rbtPeriodoConsiste "
                                            "chkCST rdgAdmiBloq edtInsIniCdCFOP btpInsFinCFOP "
                                            "edtInsIniCFOP cmbInsFinCST chkLancamento cmbCdFiscal "
                                            "edtNmImposto")
                                        .split(' ');
        const std::pair<const char *, const char *> rows[] = {
            {"", "11000111100000000"},
            {"chkIncluiConsiste=1", "00000000011101000"},
            {"chkEdtConsiste=1", "11001111100000000"},
            {"rbtListaConsiste=1", "11001001100000000"},
            {"chkIncluiConsiste=1 chkEdtConsiste=1", "11001001100000000"},
            {"rbtPeriodoConsiste=1", "11000111100000000"},
            {"chkCFOP=1 chkCdFiscal=1 chkVerifica=1", "11100111100000110"},
            {"chkIncluiConsiste=1", "00000000011101110"},
            {"chkEdtConsiste=1", "11101111100000110"},
            {"chkCFOP=0 chkCdFiscal=0 chkVerifica=0", "10001111100000000"}};
        for (const auto &[settings, states] : rows) {
            Fill(d, settings);
            QString actual;
            for (const QString &name : columns)
                actual += d->findChild<QWidget *>(name)->isEnabled() ? '1' : '0';
            EXPECT_EQ(actual, QLatin1String(states)) << settings;
            EXPECT_NE(d->chkEdtConsiste->isChecked(), d->chkIncluiConsiste->isChecked());
            EXPECT_NE(d->rbtPeriodoConsiste->isChecked(), d->rbtListaConsiste->isChecked());
        }

        for (const char *option : {"CdFiscal", "Imposto", "BaseCalc", "Aliquota", "CST", "CFOP"}) {
            auto *box = d->findChild<QCheckBox *>(QString("chk") + option);
            QWidget *field = d->findChild<QWidget *>(
                QString(option == QLatin1String("CFOP") ? "edtCd" : "cmb") + option);
            auto *text = field->findChild<QLineEdit *>() ? field->findChild<QLineEdit *>()
                                                         : static_cast<QLineEdit *>(field);
            for (bool on : {true, false}) {
                box->setChecked(on);
                EXPECT_EQ(field->isEnabled(), on) << option;
                EXPECT_EQ(
                    field->palette().color(QPalette::Base),
                    QApplication::palette(field).color(on ? QPalette::Base : QPalette::Button));
                if (on)
                    text->setText(QStringLiteral("2"));
            }
            EXPECT_EQ(text->text(), QStringLiteral("2")) << option;
        }
        d->chkAprovacao->setChecked(true);
        for (bool on : {true, false}) {
            d->chkVerifica->setChecked(on);
            EXPECT_EQ(d->chkLancamento->isEnabled(), on);
            EXPECT_FALSE(d->chkLancamento->isChecked());
            EXPECT_TRUE(d->chkAprovacao->isChecked());
        }
    });
}

// Leaving a field normalises its code, even when its check then fails;
// leaving the tax panel rebuilds the three CST lists of the tax.
TEST_F(CadAuto, FieldChecksAndCstLists)
{
    Open([this](TfrmCadAuto *d) {
        const std::tuple<const char *, const char *, const char *, const char *, int> rows[] = {
            {"edtCdImposto", "1", "01", "", 11},
            {"edtCdImposto", "01", "01", "", 11}, // not doubled
            {"edtCdImposto", "50", "50", "", 33},
            {"edtCdImposto", "", "", "Imposto deve ser informado", 33},
            {"edtCdImposto", "9", "09", "Imposto não cadastrado", 33},
            {"edtCdImposto", "3", "03", "", 0},
            {"edtCdImposto", "1", "01", "", 11},
            {"edtiniConsiste", "", "", "", 11},
            {"edtiniConsiste", "3", "0000000003", "", 11},
            {"edtiniConsiste", "77", "0000000077", "Consistência não cadastrada", 11},
            {"edtfinConsiste", "12", "0000000012", "Consistência não cadastrada", 11},
            {"edtCdCFOP", "5102", "5102", "", 11},
            {"edtCdCFOP", "999", "0999", "CFOP não cadastrado", 11},
            {"edtInsIniCdCFOP", "", "", "", 11},
            {"edtInsFinCdCFOP", "99", "0099", "CFOP não cadastrado", 11}};
        d->chkCFOP->setChecked(true);
        for (const auto &[name, typed, shown, message, items] : rows) {
            auto *field = d->findChild<QLineEdit *>(name);
            if (field == d->edtInsIniCdCFOP)
                d->chkIncluiConsiste->click();
            Leave(field);
            field->setText(typed);
            Leave(d->chkCdFiscal);
            EXPECT_EQ(field->text(), QLatin1String(shown)) << name;
            EXPECT_EQ(Shown().value(0), QString::fromUtf8(message)) << name << typed;
            EXPECT_EQ(d->focusWidget(), *message ? field : static_cast<QWidget *>(d->chkCdFiscal));
            for (QComboBox *box : {d->cmbCST, d->cmbInsIniCST, d->cmbInsFinCST})
                EXPECT_EQ(box->count(), items) << typed;
            if (*message)
                field->clear(); // would complain again when left
        }
        EXPECT_EQ(d->cmbInsFinCST->itemText(0), QStringLiteral("00 - Tributada integralmente"));
        EXPECT_EQ(d->edtNmImposto->text(), QStringLiteral("Imposto s/ Circ. Mercadorias"));
        EXPECT_TRUE(d->edtNmCFOP->text().isEmpty()); // only a pick fills a description

        // Entering the panel empties the chosen CSTs and rule numbers, not the lists.
        d->chkEdtConsiste->click();
        Fill(d, "cmbCST=40 edtfinConsiste=2");
        Leave(d->edtCdImposto);
        EXPECT_TRUE(d->cmbCST->currentText().isEmpty());
        EXPECT_TRUE(d->edtfinConsiste->text().isEmpty());

        // The CST boxes take Backspace and no other typed character; a
        // picked line is selected whole.
        Leave(d->cmbCST);
        const std::tuple<const char *, Qt::Key, const char *> keys[] = {
            {"cmbCST=41", Qt::Key_A, "41 - Não Tributada"},
            {"", Qt::Key_5, "41 - Não Tributada"},
            {"", Qt::Key_Backspace, ""},
            {"cmbCST=40", Qt::Key_End, "40 - Isenta"},
            {"", Qt::Key_Backspace, "40 - Isent"},
            {"", Qt::Key_Return, "40 - Isent"}};
        for (const auto &[settings, key, text] : keys) {
            Fill(d, settings);
            QTest::keyClick(d->focusWidget(), key);
            EXPECT_EQ(d->cmbCST->currentText(), QString::fromUtf8(text)) << key;
        }
        EXPECT_EQ(d->cmbCST->count(), 11);
    });
}

TEST_F(CadAuto, LookupsFillTheirFieldsAndTheListPickIsKept)
{
    const QString cfop5102 = Call(QStringLiteral("getVdCFOP"), {QStringLiteral("5102")})
                                 .toJsonObject()[QStringLiteral("rows")][0][1]
                                 .toString();
    Open([&](TfrmCadAuto *d) {
        const std::tuple<const char *, const char *, QString> rows[] = {
            {"btpImposto=50", "edtCdImposto edtNmImposto", "50|Programa de Integração Social"},
            {"btpImposto=01", "edtCdImposto edtNmImposto", "01|Imposto s/ Circ. Mercadorias"},
            {"btpPesqConsistIni=0000000003", "edtiniConsiste", "0000000003"},
            {"btpPesqConsistFin=0000000004", "edtfinConsiste", "0000000004"},
            {"chkCFOP=1 btpCFOP=5102", "edtCdCFOP edtNmCFOP", "5102|" + cfop5102},
            {"chkIncluiConsiste=1 btpInsIniCFOP=5102", "edtInsIniCdCFOP edtInsIniCFOP",
             "5102|" + cfop5102},
            {"btpInsFinCFOP=5102", "edtInsFinCdCFOP edtInsFinCFOP", "5102|" + cfop5102}};
        for (const auto &[settings, edits, texts] : rows) {
            Fill(d, settings);
            EXPECT_EQ(Texts(d, edits), texts) << settings;
            // A display-only name shows from its start, whole in its tooltip.
            for (const QString &name : QString::fromLatin1(edits).split(' '))
                if (auto *edit = d->findChild<QLineEdit *>(name); !edit->isEnabled()) {
                    EXPECT_EQ(edit->cursorPosition(), 0) << settings;
                    EXPECT_EQ(edit->toolTip(), edit->text()) << settings;
                }
        }
        TField *mark = d->cdsConsistencias->FieldByName(QStringLiteral("IDMARCADO"));
        EXPECT_FALSE(mark->Visible());
        Fill(d, "chkEdtConsiste=1 rbtListaConsiste=1 btpListaConsiste=0000000004,0000000002");
        EXPECT_EQ(stListaConsiste, QStringLiteral("0000000004,0000000002"));
        EXPECT_TRUE(mark->Visible());
        Fill(d, "rbtPeriodoConsiste=1 btpPesqConsistIni=0000000002");
        EXPECT_FALSE(mark->Visible());

        // A failed load opens no list and leaves no animation running.
        EXPECT_TRUE(Shown().isEmpty());
        const int searches = m_searches;
        d->edtCdImposto->setText(QStringLiteral("1"));
        d->btpPesqConsistIni->Click();
        EXPECT_EQ(Shown().size(), 1);
        EXPECT_EQ(m_searches, searches);
        EXPECT_EQ(ShowAviDepth(), 0);
    });
    // Kept across openings and tax changes.
    Open([](TfrmCadAuto *) { EXPECT_EQ(stListaConsiste, "0000000004,0000000002"); });
}

// Every check of the confirm: its message, where the focus lands, and that
// the server was not asked to change anything.
TEST_F(CadAuto, ConfirmChecksSendNothing)
{
    const QList<QVariantMap> before = ServerRules(QStringLiteral("01"));
    Open([&](TfrmCadAuto *d) {
        Leave(d->chkCdFiscal); // fills the CST lists of tax 01
        const char *const nInf = "Consistência deve ser informada";
        const std::tuple<const char *, const char *, const char *> rows[] = {
            {"edtiniConsiste= edtfinConsiste=2", nInf, "edtiniConsiste"},
            {"edtiniConsiste=2 edtfinConsiste=", nInf, "edtfinConsiste"},
            {"edtiniConsiste=99 edtfinConsiste=2", "Consistência não cadastrada", "edtiniConsiste"},
            {"edtiniConsiste=4 edtfinConsiste=2",
             "Consistência final deve ser maior ou igual que a consistência inicial",
             "edtfinConsiste"},
            {"rbtListaConsiste=1", nInf, "rbtListaConsiste"},
            // The server's own refusal: a rule of another tax.
            {"rbtListaConsiste=1 stListaConsiste=0000000012",
             "Consistência não cadastrada: 0000000012 não é uma consistência do imposto 01.",
             "chkCdFiscal"},
            {"chkIncluiConsiste=1 edtInsIniCdCFOP=9999 edtInsFinCdCFOP=5102", "CFOP não cadastrado",
             "edtInsIniCdCFOP"},
            {"chkIncluiConsiste=1 edtInsIniCdCFOP=5102", "CFOP deve ser informado",
             "edtInsFinCdCFOP"},
            {"chkIncluiConsiste=1 edtInsFinCdCFOP=5102", "CFOP deve ser informado",
             "edtInsIniCdCFOP"},
            {"chkIncluiConsiste=1 edtInsIniCdCFOP=5102 edtInsFinCdCFOP=1102",
             "CFOP final deve ser maior que o CFOP inicial", "edtInsFinCdCFOP"},
            {"chkIncluiConsiste=1 cmbInsIniCST=40", "CST deve ser informado", "cmbInsFinCST"},
            {"chkIncluiConsiste=1 cmbInsFinCST=41", "CST deve ser informado", "cmbInsIniCST"},
            {"chkIncluiConsiste=1 cmbInsIniCST=41 cmbInsFinCST=40",
             "CST final deve ser maior que o CST inicial", "cmbInsFinCST"}};
        for (const auto &[settings, message, focus] : rows) {
            // Emptied first, so that leaving the last field reports nothing.
            Fill(d, "edtiniConsiste= edtfinConsiste= edtInsIniCdCFOP= edtInsFinCdCFOP= "
                    "cmbInsIniCST= cmbInsFinCST=");
            Leave(d->chkCdFiscal);
            Fill(d,
                 QByteArray("stListaConsiste= chkEdtConsiste=1 rbtPeriodoConsiste=1 ") + settings);
            d->sbtConfirma->Click();
            EXPECT_EQ(Shown(), QStringList{QString::fromUtf8(message)});
            EXPECT_EQ(d->focusWidget()->objectName(), QLatin1String(focus)) << message;
            EXPECT_TRUE(d->isVisible());
            EXPECT_EQ(ShowAviDepth(), 0);
        }
    });
    EXPECT_EQ(ServerRules(QStringLiteral("01")), before);
}

// Each confirm that reaches the server, checked by the rules it then holds
// for the tax: number=CFOP|CST|fiscal|base|rate|value|entry|approval|B/A.
TEST_F(CadAuto, ConfirmUpdatesOrGeneratesRules)
{
    const auto held = [this]() {
        QMap<QString, QString> rules;
        for (const QVariantMap &rule : ServerRules(QStringLiteral("01"))) {
            QStringList values;
            for (const char *field :
                 {"CDFISCOPER", "CDSITUTRIB", "CDFISCAL", "IDTPBASECALC", "IDTPALIQUOTA",
                  "IDTPVRIMPOSTO", "IDCONSISTELANC", "IDCONSISTEAPRO", "IDBLOQADMI"})
                values << rule.value(field).toString();
            rules.insert(rule.value(QStringLiteral("NRSEQCONSISTE")).toString(), values.join('|'));
        }
        return rules;
    };
    const char *const noOption = "chkCST=0 chkCFOP=0 chkCdFiscal=0 chkImposto=0 chkBaseCalc=0 "
                                 "chkAliquota=0 chkVerifica=0 ";
    const std::tuple<QByteArray, QStringList, const char *> rows[] = {
        // A range empties an earlier pick; an option changes only when ticked.
        {"stListaConsiste=0000000003 edtiniConsiste=2 edtfinConsiste=4 chkCST=1 cmbCST=41 "
         "chkImposto=1 cmbImposto=1 cmbBaseCalc=3 chkVerifica=1 chkLancamento=1",
         {"0000000002=1102|41|2|0|2|1|S|N|B", "0000000003=5405|41|0|0|0|1|S|N|A",
          "0000000004=|41|3|1|0|1|S|N|B"},
         ""},
        {QByteArray(noOption) + "edtiniConsiste=3 edtfinConsiste=3 chkAliquota=1 cmbAliquota=2",
         {"0000000003=5405|41|0|0|2|1|S|N|A"},
         ""},
        {QByteArray(noOption) + "edtiniConsiste=2 edtfinConsiste=4", {}, ""},
        {QByteArray(noOption) +
             "rbtListaConsiste=1 btpListaConsiste=0000000004,0000000002 chkCFOP=1 edtCdCFOP=5949",
         {"0000000002=5949|41|2|0|2|1|S|N|B", "0000000004=5949|41|3|1|0|1|S|N|B"},
         "0000000004,0000000002"},
        // Include sends every value whatever its box, an empty one as 0.
        {"chkIncluiConsiste=1 rdgAdmiBloq=1 edtInsIniCdCFOP=5101 edtInsFinCdCFOP=5102 "
         "cmbInsIniCST=40 cmbInsFinCST=41 cmbBaseCalc=1 cmbImposto=2 cmbAliquota=3 cmbCdFiscal=2",
         {"new=5101|40|2|1|3|2|S|N|B", "new=5101|41|2|1|3|2|S|N|B", "new=5102|40|2|1|3|2|S|N|B",
          "new=5102|41|2|1|3|2|S|N|B"},
         "0000000004,0000000002"},
        {"rdgAdmiBloq=0 edtInsIniCdCFOP=1102 edtInsFinCdCFOP=1102 cmbInsIniCST=00 "
         "cmbInsFinCST=00 cmbBaseCalc= cmbImposto= cmbAliquota= cmbCdFiscal= chkLancamento=0",
         {"new=1102|00|0|0|0|0|N|N|A"},
         "0000000004,0000000002"}};
    for (const auto &[settings, changes, listAfter] : rows) {
        const QMap<QString, QString> before = held();
        Open([&](TfrmCadAuto *d) {
            Leave(d->chkCdFiscal);
            Fill(d, settings);
            d->sbtConfirma->Click();
            EXPECT_EQ(Shown(), QStringList{"Operação concluída com sucesso."})
                << settings.constData();
            EXPECT_EQ(m_answer.LastIcon(), QMessageBox::Question);
            EXPECT_FALSE(d->isVisible());
            EXPECT_EQ(ShowAviDepth(), 0);
        });
        EXPECT_EQ(screen->focusWidget(), screen->edtCdImposto) << settings.constData();
        EXPECT_EQ(stListaConsiste, QLatin1String(listAfter)) << settings.constData();
        QStringList changed;
        const QMap<QString, QString> after = held();
        for (auto rule = after.begin(); rule != after.end(); ++rule)
            if (before.value(rule.key()) != rule.value())
                changed << (before.contains(rule.key()) ? rule.key() : "new") + '=' + rule.value();
        changed.sort();
        EXPECT_EQ(changed, changes) << settings.constData();
    }
    // Leaving the maintenance screen's tax panel shows the blocked rules made.
    ChooseTax(QStringLiteral("01"));
    QStringList made;
    const int cfop = screen->cdsConsistencias->FieldByName(QStringLiteral("CDFISCOPER"))->Index();
    for (int row = 0; row < screen->cdsConsistencias->RecordCount(); ++row)
        made << screen->cdsConsistencias->Value(row, cfop);
    EXPECT_EQ(made.count(QStringLiteral("5101")), 2); // CST 40 and 41
}

TEST_F(CadAuto, ReopensAsLeftAndNeedsTheMaintenanceScreen)
{
    Open([this](TfrmCadAuto *d) {
        Leave(d->edtCdImposto);
        d->edtCdImposto->setText(QStringLiteral("50"));
        Leave(d->chkCdFiscal);
        Fill(d, "chkIncluiConsiste=1 rdgAdmiBloq=1 edtInsIniCdCFOP=5101 cmbInsIniCST=01 "
                "chkVerifica=1");
    });
    Open([this](TfrmCadAuto *d) {
        EXPECT_EQ(d->edtCdImposto->text(), QStringLiteral("50")); // not copied again
        EXPECT_EQ(d->focusWidget(), d->edtCdImposto);
        EXPECT_TRUE(d->chkIncluiConsiste->isChecked());
        EXPECT_EQ(d->rdgAdmiBloqItemIndex(), 1);
        EXPECT_EQ(d->edtInsIniCdCFOP->text(), QStringLiteral("5101"));
        EXPECT_TRUE(d->chkLancamento->isEnabled());
        EXPECT_TRUE(d->cmbInsIniCST->currentText().isEmpty()); // emptied entering the panel
        EXPECT_EQ(d->cmbInsIniCST->count(), 33);
    });

    // Without the maintenance screen there is nothing to open.
    TfrmCadAuto *kept = frmCadAuto;
    delete screen.data();
    QTimer guard; // ends with the test, whatever happens
    QObject::connect(&guard, &QTimer::timeout, []() {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            ADD_FAILURE() << "opened " << modal->objectName().toStdString();
            modal->close();
        }
    });
    guard.start(200);
    criaCadAuto();
    EXPECT_EQ(frmCadAuto, kept);
    EXPECT_FALSE(kept->isVisible());
}

} // namespace
