#include "kit/core/Consiste.h"
#include "kit/core/DialogParent.h"
#include "kit/core/Guarded.h"
#include "kit/core/MainForm.h"
#include "kit/core/TMessages.h"
#include "tests/kit/ModalAnswer.h"

#include <QDialog>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct AjustaCase
{
    const char *text;
    int width;
    const char *expected;
};

class AjustaTable : public ::testing::TestWithParam<AjustaCase>
{
};

TEST_P(AjustaTable, FillsWithLeadingZeros)
{
    const AjustaCase &c = GetParam();
    EXPECT_EQ(Ajusta(QString::fromUtf8(c.text), c.width), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Widths, AjustaTable,
                         ::testing::Values(AjustaCase{"5", 2, "05"}, AjustaCase{"0", 2, "00"},
                                           AjustaCase{"1", 2, "01"}, AjustaCase{"01", 2, "01"},
                                           AjustaCase{"", 2, "00"}, AjustaCase{"102", 4, "0102"},
                                           AjustaCase{"5102", 4, "5102"},
                                           AjustaCase{"7", 10, "0000000007"},
                                           AjustaCase{"123", 2, "123"}, AjustaCase{"1", 0, "1"}));

struct EmptyCase
{
    const char *text;
    bool empty;
};

class EmptyStringTable : public ::testing::TestWithParam<EmptyCase>
{
};

TEST_P(EmptyStringTable, BlanksCountAsEmpty)
{
    EXPECT_EQ(EmptyString(QString::fromUtf8(GetParam().text)), GetParam().empty);
}

INSTANTIATE_TEST_SUITE_P(Texts, EmptyStringTable,
                         ::testing::Values(EmptyCase{"", true}, EmptyCase{" ", true},
                                           EmptyCase{"   ", true}, EmptyCase{"0", false},
                                           EmptyCase{" 1", false}, EmptyCase{"a ", false}));

TEST(TMessages, FindsTextsByKey)
{
    TMessages table;
    table.SetMessages({QStringLiteral("CFOP_INV|CFOP não cadastrado"),
                       QStringLiteral("IMPOSTO_N_INF|Imposto deve ser informado"),
                       QStringLiteral("VAZIO|")});
    EXPECT_EQ(table.Msg(QStringLiteral("CFOP_INV")), QStringLiteral("CFOP não cadastrado"));
    EXPECT_EQ(table.Msg(QStringLiteral("IMPOSTO_N_INF")),
              QStringLiteral("Imposto deve ser informado"));
    EXPECT_EQ(table.Msg(QStringLiteral("VAZIO")), QString());
    EXPECT_EQ(table.Count(), 3);
    EXPECT_EQ(table.Messages().size(), 3);
}

TEST(TMessages, MissingKeyIsEmptyTextNotError)
{
    TMessages table;
    table.SetMessages({QStringLiteral("01_00|00 - Tributada integralmente")});
    // Callers probe numbered keys and skip the empty answers.
    int found = 0;
    for (int i = 0; i < 100; ++i) {
        const QString text = table.Msg(QStringLiteral("01_%1").arg(i, 2, 10, QLatin1Char('0')));
        if (!text.isEmpty())
            ++found;
    }
    EXPECT_EQ(found, 1);
    EXPECT_TRUE(table.Msg(QStringLiteral("cfop_inv")).isEmpty()) << "keys are case-sensitive";
}

TEST(TMessages, LaterDuplicateKeyWinsAndLinesWithoutBarAreSkipped)
{
    TMessages table;
    table.SetMessages({QStringLiteral("A|primeiro"), QStringLiteral("sem separador"),
                       QStringLiteral("A|segundo")});
    EXPECT_EQ(table.Msg(QStringLiteral("A")), QStringLiteral("segundo"));
    EXPECT_EQ(table.Count(), 1);
    table.SetMessages({QStringLiteral("B|outro")});
    EXPECT_TRUE(table.Msg(QStringLiteral("A")).isEmpty()) << "a new list replaces the old one";
}

TEST(CheckResultServ, PassesUsableValuesThrough)
{
    const QVariantMap packet{{QStringLiteral("rows"), QVariantList{}}};
    EXPECT_EQ(CheckResultServ(packet, true, 0), QVariant(packet));
    const QVariantList array{QStringLiteral("OK")};
    EXPECT_EQ(CheckResultServ(array, true, 0), QVariant(array));
}

TEST(CheckResultServ, ServerErrorIsShownThenAborts)
{
    ModalAnswer answer;
    const QVariant failure = QVariant::fromValue(
        TServerError{1001, QStringLiteral("Consistência alterada por outro usuário")});
    EXPECT_THROW(CheckResultServ(failure, true, 0), EAbort);
    ASSERT_EQ(answer.Texts().size(), 1);
    EXPECT_EQ(answer.Texts().first(), QStringLiteral("Consistência alterada por outro usuário"));
    EXPECT_EQ(answer.LastIcon(), QMessageBox::Critical);
}

TEST(CheckResultServ, WithoutAbortShowsAndReturnsNothing)
{
    ModalAnswer answer;
    const QVariant failure =
        QVariant::fromValue(TServerError{1000, QStringLiteral("CST inválido")});
    QVariant value;
    EXPECT_NO_THROW(value = CheckResultServ(failure, false, 0));
    EXPECT_FALSE(value.isValid());
    EXPECT_EQ(answer.Texts(), QStringList{QStringLiteral("CST inválido")});
}

TEST(MensErro, ShowsTheTextThenSilentAbort)
{
    ModalAnswer answer;
    bool after = false;
    try {
        MensErro(QStringLiteral("Imposto não cadastrado"), true);
        after = true;
    } catch (const EAbort &) {
    }
    EXPECT_FALSE(after);
    EXPECT_EQ(answer.Texts(), QStringList{QStringLiteral("Imposto não cadastrado")});
    EXPECT_NO_THROW(MensErro(QStringLiteral("só aviso"), false));
    EXPECT_EQ(answer.Texts().size(), 2);
}

TEST(KvrGuard, SilentAbortIsDroppedWithoutMessage)
{
    ModalAnswer answer;
    bool ranAfter = false;
    EXPECT_FALSE(kvrGuard([&]() {
        Abort();
        ranAfter = true;
    }));
    EXPECT_FALSE(ranAfter);
    EXPECT_TRUE(kvrGuard([]() {}));
    EXPECT_TRUE(answer.Texts().isEmpty());
}

TEST(KvrGuard, ErrorsAreReportedAndStopAtTheBoundary)
{
    ModalAnswer answer;
    EXPECT_FALSE(kvrGuard([]() { throw EKvrError(QStringLiteral("Campo desconhecido: XYZ")); }));
    EXPECT_FALSE(kvrGuard([]() { throw std::runtime_error("falhou"); }));
    EXPECT_FALSE(kvrGuard([]() { throw 42; }));
    EXPECT_EQ(answer.Texts(), (QStringList{QStringLiteral("Campo desconhecido: XYZ"),
                                           QStringLiteral("Erro inesperado: falhou"),
                                           QStringLiteral("Erro inesperado.")}));
}

TEST(KvrGuard, MessageErrorInsideHandlerIsShownOnce)
{
    ModalAnswer answer;
    EXPECT_FALSE(kvrGuard([]() { MensErro(QStringLiteral("CST inválido"), true); }));
    EXPECT_EQ(answer.Texts(), QStringList{QStringLiteral("CST inválido")});
}

TEST(KvrConnect, SignalHandlerNeverLetsExceptionsOut)
{
    ModalAnswer answer;
    QPushButton button;
    int runs = 0;
    kvrConnect(&button, &QPushButton::clicked, &button, [&]() {
        ++runs;
        if (runs == 1)
            Abort();
        throw EKvrError(QStringLiteral("falha visível"));
    });
    button.click();
    button.click();
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(answer.Texts(), QStringList{QStringLiteral("falha visível")});
}

// Message boxes open over the modal window, else the active one, else the
// main form.
TEST(DialogParent, ModalThenActiveThenMainForm)
{
    QMainWindow main;
    SetMainForm(&main, nullptr);
    {
        ASSERT_EQ(QApplication::activeWindow(), nullptr);
        EXPECT_EQ(DialogParent(), &main);
        QWidget window;
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        EXPECT_EQ(DialogParent(), &window);
        QDialog modal(&window);
        modal.setModal(true);
        modal.show();
        ASSERT_TRUE(QTest::qWaitFor([&]() { return QApplication::activeModalWidget() == &modal; }));
        EXPECT_EQ(DialogParent(), &modal);
    }
    SetMainForm(nullptr, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([]() { return QApplication::activeWindow() == nullptr; }));
    EXPECT_EQ(DialogParent(), nullptr);
}

} // namespace
