#include "kit/core/Consiste.h"
#include "kit/data/TClientDataSet.h"
#include "kit/data/TDataSource.h"
#include "kit/search/TfrmPesquisa.h"
#include "kit/widgets/TBtnPesquisa.h"
#include "kit/widgets/TButtonFlat.h"
#include "tests/kit/ModalAnswer.h"

#include <QLineEdit>
#include <QPainter>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

TEST(TButtonFlat, ClickRunsTheHandlerWithItselfAsSender)
{
    TButtonFlat button;
    QObject *sender = nullptr;
    int clicks = 0;
    button.OnClick = [&](QObject *s) {
        sender = s;
        ++clicks;
    };
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(sender, &button);
    button.setEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton);
    button.Click();
    EXPECT_EQ(clicks, 1) << "a disabled button does nothing";
    EXPECT_TRUE(button.autoRaise());
    EXPECT_EQ(button.focusPolicy(), Qt::NoFocus);
}

TEST(TButtonFlat, HandlerFailuresStopAtTheButton)
{
    ModalAnswer answer;
    TButtonFlat button;
    button.OnClick = [](QObject *) { throw EKvrError(QStringLiteral("Falha no botão")); };
    button.Click();
    button.OnClick = [](QObject *) { Abort(); };
    button.Click();
    EXPECT_EQ(answer.Texts(), QStringList{QStringLiteral("Falha no botão")});
}

TEST(TButtonFlat, TwoStateGlyphGivesNormalAndDisabledImages)
{
    QPixmap glyph(32, 16);
    glyph.fill(Qt::red);
    {
        QPainter painter(&glyph);
        painter.fillRect(16, 0, 16, 16, Qt::gray);
    }
    TButtonFlat button;
    button.SetHint(QStringLiteral("Cadastros Fiscais"));
    button.SetGlyph(glyph);
    button.SetNumGlyphs(2);
    EXPECT_EQ(button.toolTip(), QStringLiteral("Cadastros Fiscais"));
    const QImage normal = button.icon().pixmap(16, 16, QIcon::Normal).toImage();
    const QImage disabled = button.icon().pixmap(16, 16, QIcon::Disabled).toImage();
    EXPECT_EQ(normal.pixelColor(8, 8), QColor(Qt::red));
    EXPECT_EQ(disabled.pixelColor(8, 8), QColor(Qt::gray));
}

QVariantMap TaxPacket()
{
    QVariantList rows;
    for (const auto &[code, name] : {std::pair{"01", "ICMS"}, std::pair{"02", "IPI"},
                                     std::pair{"50", "PIS"}, std::pair{"60", "COFINS"}})
        rows.append(QVariant(QVariantList{QString::fromLatin1(code), QString::fromLatin1(name)}));
    return {{QStringLiteral("fields"),
             QVariantList{QVariantMap{{QStringLiteral("name"), QStringLiteral("CDIMPOSTO")},
                                      {QStringLiteral("size"), 2}},
                          QVariantMap{{QStringLiteral("name"), QStringLiteral("NMIMPOSTO")},
                                      {QStringLiteral("size"), 30}}}},
            {QStringLiteral("rows"), rows}};
}

// A tax panel: code edit, name edit and the lookup button serving the code.
class LookupButton : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_cds.AddField(QStringLiteral("CDIMPOSTO"), 2, QStringLiteral("Código"));
        m_cds.AddField(QStringLiteral("NMIMPOSTO"), 30, QStringLiteral("Imposto"));
        m_source.SetDataSet(&m_cds);
        auto *layout = new QVBoxLayout(&m_panel);
        m_code = new QLineEdit(&m_panel);
        m_name = new QLineEdit(&m_panel);
        m_button = new TBtnPesquisa(&m_panel);
        layout->addWidget(m_code);
        layout->addWidget(m_name);
        layout->addWidget(m_button);
        m_button->SetAssociate(m_code);
        m_button->SetDataSource(&m_source);
        m_button->OnBeforePesq = [this](QObject *sender, bool &allow) {
            m_log.append(QStringLiteral("before:%1").arg(allow));
            EXPECT_EQ(sender, m_button);
            m_cds.SetData(TaxPacket());
        };
        m_button->OnAfterPesq = [this](QObject *sender) {
            EXPECT_EQ(sender, m_button);
            m_log.append(QStringLiteral("after"));
            m_code->setText(m_cds.FieldByName(QStringLiteral("CDIMPOSTO"))->AsString());
            m_name->setText(m_cds.FieldByName(QStringLiteral("NMIMPOSTO"))->AsString());
        };
        m_panel.show();
    }

    QWidget m_panel;
    TClientDataSet m_cds;
    TDataSource m_source;
    QLineEdit *m_code = nullptr;
    QLineEdit *m_name = nullptr;
    TBtnPesquisa *m_button = nullptr;
    QStringList m_log;
};

TEST_F(LookupButton, BeforeThenDialogThenAfterOnThePickedRow)
{
    m_name->setFocus();
    OnNextModal<TfrmPesquisa>([this](TfrmPesquisa *dialog) {
        m_log.append(QStringLiteral("dialog:%1").arg(dialog->Grid()->model()->rowCount()));
        QTest::keyClicks(dialog->SearchBox(), QStringLiteral("5"));
        QTest::keyClick(dialog->SearchBox(), Qt::Key_Return);
    });
    QTest::mouseClick(m_button, Qt::LeftButton);
    EXPECT_EQ(m_log, (QStringList{QStringLiteral("before:1"), QStringLiteral("dialog:4"),
                                  QStringLiteral("after")}));
    EXPECT_EQ(m_code->text(), QStringLiteral("50"));
    EXPECT_EQ(m_name->text(), QStringLiteral("PIS"));
    EXPECT_EQ(m_panel.focusWidget(), m_code) << "the associated edit takes over";
}

TEST_F(LookupButton, TitleGivesCaptionAndEmptyMessage)
{
    m_button->SetTitle(QStringLiteral("Consistência Fiscal|Não há consistências cadastradas"));
    OnNextModal<TfrmPesquisa>([](TfrmPesquisa *dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Consistência Fiscal"));
        dialog->reject();
    });
    m_button->Click();
    EXPECT_EQ(m_log, QStringList{QStringLiteral("before:1")}) << "no pick, no after";

    m_button->OnBeforePesq = [this](QObject *, bool &) { m_cds.CreateDataSet(); };
    ModalAnswer answer;
    m_button->Click();
    EXPECT_EQ(answer.Texts(), QStringList{QStringLiteral("Não há consistências cadastradas")});
    EXPECT_EQ(m_log.size(), 1);
}

TEST_F(LookupButton, AllowPesqFalseVetoesTheSearch)
{
    m_button->OnBeforePesq = [this](QObject *, bool &allow) {
        m_log.append(QStringLiteral("before"));
        m_cds.SetData(TaxPacket());
        allow = false;
    };
    m_button->Click();
    EXPECT_EQ(m_log, QStringList{QStringLiteral("before")});
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(LookupButton, FailureBeforeTheSearchEndsTheClick)
{
    ModalAnswer answer;
    m_button->OnBeforePesq = [this](QObject *, bool &) {
        m_log.append(QStringLiteral("before"));
        MensErro(QStringLiteral("Imposto não cadastrado"), true);
    };
    m_button->Click();
    m_button->OnBeforePesq = [this](QObject *, bool &) {
        m_log.append(QStringLiteral("silent"));
        Abort();
    };
    m_button->Click();
    EXPECT_EQ(m_log, (QStringList{QStringLiteral("before"), QStringLiteral("silent")}));
    EXPECT_EQ(answer.Texts(), QStringList{QStringLiteral("Imposto não cadastrado")});
}

TEST_F(LookupButton, OnClickAloneRunsOnlyThat)
{
    m_button->OnClick = [this](QObject *sender) {
        EXPECT_EQ(sender, m_button);
        m_log.append(QStringLiteral("click"));
    };
    m_button->Click();
    EXPECT_EQ(m_log, QStringList{QStringLiteral("click")});
}

TEST_F(LookupButton, WithoutDataSourceTheUserIsTold)
{
    ModalAnswer answer;
    m_button->setObjectName(QStringLiteral("btpCFOP"));
    m_button->SetDataSource(nullptr);
    m_button->Click();
    ASSERT_EQ(answer.Texts().size(), 1);
    EXPECT_TRUE(answer.Texts().first().contains(QStringLiteral("btpCFOP")));
}

} // namespace
