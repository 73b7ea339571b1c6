#include "tests/server/ServerTest.h"

#include "server/rdm/RdmConsisteFiscal.h"

using namespace kvr::test;
using kvr::protocol::RpcError;
using kvr::protocol::RpcResponse;

namespace {

class SetConsistencia : public ServerTest
{
protected:
    RpcResponse save(const QJsonArray &changes)
    {
        return call(QStringLiteral("setConsistencia"), {delta(changes)});
    }
    // A delta from a client whose fields are wider than the server's: the
    // packet is well formed, the widths are the server's to refuse.
    RpcResponse saveWide(const QJsonArray &changes)
    {
        QJsonObject packet = delta(changes);
        QJsonArray fields;
        for (const QJsonValue &f : packet.value(QStringLiteral("fields")).toArray()) {
            QJsonObject wide = f.toObject();
            wide.insert(QStringLiteral("size"), 300);
            fields.append(wide);
        }
        packet.insert(QStringLiteral("fields"), fields);
        return call(QStringLiteral("setConsistencia"), {packet});
    }
    QStringList predefinedRule(const QString &tax)
    {
        for (const QStringList &row : rules(tax).rows)
            if (field(row, QStringLiteral("IDCONSPREDEFI")) == QLatin1String("S"))
                return row;
        ADD_FAILURE() << "no predefined rule";
        return {};
    }
};

QString number(const QStringList &rule)
{
    return ServerTest::field(rule, QStringLiteral("NRSEQCONSISTE"));
}

} // namespace

TEST_P(SetConsistencia, UpdateIsStoredAsSent)
{
    const QStringList old =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("00"));
    QStringList changed = withField(old, QStringLiteral("IDENTRSAIDOP"), QStringLiteral("E"));
    changed = withField(changed, QStringLiteral("CDCST1DIGT"), QStringLiteral("8"));
    changed =
        withField(changed, QStringLiteral("DSCONSISTENCIA"), QStringLiteral("Descrição nova"));
    changed = withField(changed, QStringLiteral("CDTPCREDPICOITE"), QStringLiteral("1A2"));
    changed = withField(changed, QStringLiteral("IDTPALIQUOTA"), QStringLiteral("4"));
    const RpcResponse response = save({updateChange(old, changed)});
    ASSERT_TRUE(response.ok) << response.fault.message.toStdString();
    EXPECT_EQ(rule(QStringLiteral("01"), number(old)), changed);
}

TEST_P(SetConsistencia, SelectionMarkIsNotStored)
{
    const QStringList old =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("00"));
    const QStringList marked = withField(old, QStringLiteral("IDMARCADO"), QStringLiteral("S"));
    ASSERT_TRUE(save({updateChange(old, marked)}).ok);
    EXPECT_EQ(rule(QStringLiteral("01"), number(old)), old);
}

TEST_P(SetConsistencia, EmptyFiscalCodeAndSignsAreStoredAsAny)
{
    const QStringList old =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("00"));
    QStringList changed = withField(old, QStringLiteral("CDFISCAL"), QString());
    changed = withField(changed, QStringLiteral("IDTPBASECALC"), QString());
    ASSERT_TRUE(save({updateChange(old, changed)}).ok);
    const QStringList stored = rule(QStringLiteral("01"), number(old));
    EXPECT_EQ(field(stored, QStringLiteral("CDFISCAL")), QStringLiteral("0"));
    EXPECT_EQ(field(stored, QStringLiteral("IDTPBASECALC")), QStringLiteral("0"));
}

TEST_P(SetConsistencia, DeleteRemovesTheRule)
{
    const QStringList old =
        newRule(QStringLiteral("50"), QStringLiteral("5101"), QStringLiteral("01"));
    ASSERT_TRUE(save({deleteChange(old)}).ok);
    EXPECT_TRUE(rule(QStringLiteral("50"), number(old)).isEmpty());
}

TEST_P(SetConsistencia, RowChangedByAnotherUserIsAConflict)
{
    const QStringList loaded =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("00"));
    const QStringList theirs =
        withField(loaded, QStringLiteral("DSCONSISTENCIA"), QStringLiteral("deles"));
    ASSERT_TRUE(save({updateChange(loaded, theirs)}).ok);
    const QStringList mine =
        withField(loaded, QStringLiteral("DSCONSISTENCIA"), QStringLiteral("minha"));
    for (const QJsonObject &change : {updateChange(loaded, mine), deleteChange(loaded)}) {
        const RpcResponse response = save({change});
        EXPECT_FALSE(response.ok);
        EXPECT_EQ(response.fault.code, RpcError::Conflict);
        EXPECT_TRUE(response.fault.message.contains(QStringLiteral("outro usuário")));
        EXPECT_TRUE(response.fault.message.contains(QStringLiteral("Recarregue")));
    }
    EXPECT_EQ(rule(QStringLiteral("01"), number(loaded)), theirs);
}

TEST_P(SetConsistencia, RowDeletedByAnotherUserIsAConflict)
{
    const QStringList loaded =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("00"));
    ASSERT_TRUE(save({deleteChange(loaded)}).ok);
    const RpcResponse response = save(
        {updateChange(loaded, withField(loaded, QStringLiteral("CDFISCAL"), QStringLiteral("2")))});
    EXPECT_EQ(response.fault.code, RpcError::Conflict);
    EXPECT_TRUE(rule(QStringLiteral("01"), number(loaded)).isEmpty());
}

TEST_P(SetConsistencia, DeltaHoldsAtMostItsLimitOfChanges)
{
    constexpr qsizetype limit = kvr::server::RdmConsisteFiscal::MaxDeltaChanges;
    const QStringList edited =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("00"));
    const QStringList resaved =
        newRule(QStringLiteral("01"), QStringLiteral("5102"), QStringLiteral("00"));
    const QStringList changed =
        withField(edited, QStringLiteral("DSCONSISTENCIA"), QStringLiteral("alterada"));
    // One real change, then another rule saved unchanged again and again.
    const auto deltaOf = [&](qsizetype changes) {
        QJsonArray list{updateChange(edited, changed)};
        const QJsonObject same = updateChange(resaved, resaved);
        while (list.size() < changes)
            list.append(same);
        return list;
    };
    const RpcResponse over = save(deltaOf(limit + 1));
    EXPECT_EQ(over.fault.code, RpcError::Validation);
    EXPECT_TRUE(over.fault.message.contains(QStringLiteral("limite é de %1").arg(limit)))
        << over.fault.message.toStdString();
    // Two changes of one rule would leave it as whichever ran last.
    const RpcResponse twice = save(deltaOf(3));
    EXPECT_EQ(twice.fault.code, RpcError::Validation);
    EXPECT_TRUE(twice.fault.message.contains(
        QStringLiteral("altera a consistência %1 mais de uma vez").arg(number(resaved))))
        << twice.fault.message.toStdString();
    EXPECT_EQ(rule(QStringLiteral("01"), number(edited)), edited);

    // The limit does not depend on the database; creating the rules takes
    // longest on PostgreSQL.
    if (GetParam() != Backend::Sqlite)
        return;
    for (const char *fiscal : {"1", "2", "3"})
        ASSERT_TRUE(insere(QStringLiteral("01"), QStringLiteral("00"), QStringLiteral("90"),
                           QStringLiteral("1101"), QStringLiteral("7949"),
                           QString::fromLatin1(fiscal))
                        .ok);
    QJsonArray list;
    for (const QStringList &row : rules(QStringLiteral("01")).rows)
        if (list.size() < limit &&
            field(row, QStringLiteral("IDCONSPREDEFI")) == QLatin1String("N"))
            list.append(updateChange(
                row, withField(row, QStringLiteral("DSCONSISTENCIA"), QStringLiteral("alterada"))));
    ASSERT_EQ(list.size(), limit);
    const RpcResponse atLimit = save(list);
    ASSERT_TRUE(atLimit.ok) << atLimit.fault.message.toStdString();
    EXPECT_EQ(atLimit.result.toObject().value(QStringLiteral("affected")).toInteger(), limit);
}

TEST_P(SetConsistencia, WidthsCountCharactersNotUtf16Units)
{
    const QString emoji = QString::fromUtf8("\xf0\x9f\x98\x80"); // two UTF-16 units
    const QStringList old =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("00"));
    const struct
    {
        qsizetype emojis;
        bool widePacket; // the server's record, not the packet, has to refuse
        RpcError refusal;
    } cases[] = {
        {251, false, RpcError::InvalidParams},
        {251, true, RpcError::Validation},
        {250, false, RpcError(0)},
        {250, true, RpcError(0)},
    };
    for (const auto &c : cases) {
        const QStringList current = rule(QStringLiteral("01"), number(old));
        const QStringList changed =
            withField(current, QStringLiteral("DSCONSISTENCIA"),
                      emoji.repeated(c.emojis - 1) + QString::number(c.widePacket));
        const RpcResponse response = c.widePacket ? saveWide({updateChange(current, changed)})
                                                  : save({updateChange(current, changed)});
        if (c.refusal == RpcError(0)) {
            ASSERT_TRUE(response.ok) << c.emojis << response.fault.message.toStdString();
            EXPECT_EQ(rule(QStringLiteral("01"), number(old)), changed);
        } else {
            EXPECT_EQ(response.fault.code, c.refusal) << c.emojis << " " << c.widePacket;
            EXPECT_TRUE(response.fault.message.contains(QStringLiteral("250")))
                << response.fault.message.toStdString();
            EXPECT_EQ(rule(QStringLiteral("01"), number(old)), current);
        }
    }
}

TEST_P(SetConsistencia, InsertsAreRefused)
{
    const QStringList row =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("00"));
    const qint64 before = ruleCount();
    const QJsonObject insert{{QStringLiteral("op"), QStringLiteral("insert")},
                             {QStringLiteral("new"), QJsonArray::fromStringList(withField(
                                                         row, QStringLiteral("NRSEQCONSISTE"),
                                                         QStringLiteral("0000099999")))}};
    const RpcResponse response = save({insert});
    EXPECT_EQ(response.fault.code, RpcError::Validation);
    EXPECT_TRUE(response.fault.message.contains(QStringLiteral("Inclusão")));
    EXPECT_EQ(ruleCount(), before);
}

TEST_P(SetConsistencia, PredefinedRulesCannotBeChangedOrDeleted)
{
    const QStringList predefined = predefinedRule(QStringLiteral("01"));
    const QStringList changed =
        withField(predefined, QStringLiteral("IDCONSPREDEFI"), QStringLiteral("N"));
    for (const QJsonObject &change :
         {updateChange(predefined, changed), deleteChange(predefined)}) {
        const RpcResponse response = save({change});
        EXPECT_EQ(response.fault.code, RpcError::Validation);
        EXPECT_TRUE(response.fault.message.contains(QStringLiteral("predefinida")));
    }
    EXPECT_EQ(rule(QStringLiteral("01"), number(predefined)), predefined);
}

TEST_P(SetConsistencia, RuleCannotBeMarkedPredefined)
{
    const QStringList old =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("00"));
    const RpcResponse response = save(
        {updateChange(old, withField(old, QStringLiteral("IDCONSPREDEFI"), QStringLiteral("S")))});
    EXPECT_EQ(response.fault.code, RpcError::Validation);
    EXPECT_EQ(rule(QStringLiteral("01"), number(old)), old);
}

TEST_P(SetConsistencia, RuleCannotMoveToAnotherTaxOrNumber)
{
    const QStringList old =
        newRule(QStringLiteral("50"), QStringLiteral("5101"), QStringLiteral("01"));
    const QStringList moves[] = {
        withField(old, QStringLiteral("CDIMPOSTO"), QStringLiteral("60")),
        withField(old, QStringLiteral("NRSEQCONSISTE"), QStringLiteral("0000077777")),
    };
    for (const QStringList &moved : moves) {
        const RpcResponse response = save({updateChange(old, moved)});
        EXPECT_EQ(response.fault.code, RpcError::Validation)
            << response.fault.message.toStdString();
    }
    EXPECT_EQ(rule(QStringLiteral("50"), number(old)), old);
    EXPECT_TRUE(rules(QStringLiteral("60")).rows.size() > 0);
}

struct BadValue
{
    const char *field;
    const char *value;
    const char *messagePart;
};

class SetConsistenciaValues : public SetConsistencia
{
};

TEST_P(SetConsistenciaValues, ValuesOutsideTheirDomainsAreRefused)
{
    const BadValue cases[] = {
        {"IDCONSATIVA", "X", "Ativo"},
        {"IDENTRSAIDOP", "A", "use T"},
        {"IDENTRSAIDOP", "", "Operação inválida"},
        {"IDENTRSAIDOP", "X", "Operação inválida"},
        {"CDFISCOPER", "9999", "CFOP não cadastrado"},
        {"CDFISCOPER", "510", "4 dígitos"},
        {"CDFISCOPER", "51011", "no máximo 4"},
        {"CDCST1DIGT", "9", "dígito do CST"},
        {"CDSITUTRIB", "05", "CST inválido"},
        {"CDSITUTRIB", "5", "CST inválido"},
        {"CDFISCAL", "4", "Código Fiscal"},
        {"IDTPBASECALC", "5", "TP. Vr. BC"},
        {"IDTPALIQUOTA", "X", "Tipo Aliquota"},
        {"IDTPVRIMPOSTO", "9", "TP. Vr. Imposto"},
        {"CDTPCREDPICOITE", "1234", "no máximo 3"},
        {"IDCONSISTELANC", "", "lançamento"},
        {"IDCONSISTEAPRO", "s", "aprovação"},
        {"IDBLOQADMI", "X", "bloqueado"},
        {"DSCONSISTENCIA", "nulo \x01 aqui", "caracteres de controle"},
        {"IDCONSPREDEFI", "X", "predefinida"},
    };
    const QStringList old =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("00"));
    for (const BadValue &c : cases) {
        const QStringList changed =
            withField(old, QString::fromLatin1(c.field), QString::fromUtf8(c.value));
        const RpcResponse response = saveWide({updateChange(old, changed)});
        EXPECT_EQ(response.fault.code, RpcError::Validation) << c.field << "=" << c.value;
        EXPECT_TRUE(response.fault.message.contains(QString::fromUtf8(c.messagePart)))
            << c.field << ": " << response.fault.message.toStdString();
    }
    const RpcResponse withNul = saveWide(
        {updateChange(old, withField(old, QStringLiteral("DSCONSISTENCIA"), QString(QChar(0))))});
    EXPECT_EQ(withNul.fault.code, RpcError::Validation);
    const QString description(251, QLatin1Char('x'));
    const RpcResponse longText = saveWide(
        {updateChange(old, withField(old, QStringLiteral("DSCONSISTENCIA"), description))});
    EXPECT_EQ(longText.fault.code, RpcError::Validation);
    // A value longer than the size its own packet declares is a malformed packet.
    const RpcResponse overDeclared = save(
        {updateChange(old, withField(old, QStringLiteral("CDFISCOPER"), QStringLiteral("51011")))});
    EXPECT_EQ(overDeclared.fault.code, RpcError::InvalidParams);
    EXPECT_EQ(rule(QStringLiteral("01"), number(old)), old);
}

TEST_P(SetConsistenciaValues, CstOfTheTaxFamilyIsAccepted)
{
    const QStringList pis =
        newRule(QStringLiteral("50"), QStringLiteral("5101"), QStringLiteral("01"));
    ASSERT_TRUE(save({updateChange(
                         pis, withField(pis, QStringLiteral("CDSITUTRIB"), QStringLiteral("05")))})
                    .ok);
    const QStringList icms =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("00"));
    EXPECT_FALSE(save({updateChange(icms, withField(icms, QStringLiteral("CDSITUTRIB"),
                                                    QStringLiteral("99")))})
                     .ok);
}

TEST_P(SetConsistenciaValues, TaxWithoutFamilyTakesOnlyAnEmptyCst)
{
    const QStringList iss = newRule(QStringLiteral("03"), QStringLiteral("5101"), QString());
    const RpcResponse response = save(
        {updateChange(iss, withField(iss, QStringLiteral("CDSITUTRIB"), QStringLiteral("00")))});
    EXPECT_EQ(response.fault.code, RpcError::Validation);
    EXPECT_TRUE(response.fault.message.contains(QStringLiteral("CST inválido")));
}

TEST_P(SetConsistencia, EmptyRuleIsRefused)
{
    const QStringList old =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("00"));
    QStringList empty = withField(old, QStringLiteral("CDFISCOPER"), QString());
    empty = withField(empty, QStringLiteral("CDSITUTRIB"), QString());
    for (const char *name : {"CDFISCAL", "IDTPALIQUOTA", "IDTPVRIMPOSTO"})
        empty = withField(empty, QString::fromLatin1(name), QStringLiteral("0"));
    empty = withField(empty, QStringLiteral("IDTPBASECALC"), QString());
    const RpcResponse response = save({updateChange(old, empty)});
    EXPECT_EQ(response.fault.code, RpcError::Validation);
    EXPECT_TRUE(response.fault.message.contains(
        QStringLiteral("A consistência deve ter no mínimo um campo preenchido")));
    // One restricting value is enough.
    EXPECT_TRUE(save({updateChange(
                         old, withField(empty, QStringLiteral("CDCST1DIGT"), QStringLiteral("0")))})
                    .ok);
}

TEST_P(SetConsistencia, DuplicateCombinationIsRefused)
{
    const QStringList a =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("00"));
    const QStringList b =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("10"));
    const RpcResponse response =
        save({updateChange(b, withField(b, QStringLiteral("CDSITUTRIB"), QStringLiteral("00")))});
    EXPECT_EQ(response.fault.code, RpcError::Validation);
    EXPECT_TRUE(
        response.fault.message.contains(QStringLiteral("Consistência Fiscal já cadastrada")));
    EXPECT_TRUE(response.fault.message.contains(number(a)));
    EXPECT_EQ(rule(QStringLiteral("01"), number(b)), b);
}

TEST_P(SetConsistencia, WholeDeltaOrNothing)
{
    const QStringList a =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("00"));
    const QStringList b =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("10"));
    const QStringList c =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("20"));
    const RpcResponse response = save({
        updateChange(a, withField(a, QStringLiteral("DSCONSISTENCIA"), QStringLiteral("alterada"))),
        deleteChange(b),
        updateChange(c, withField(c, QStringLiteral("IDBLOQADMI"), QStringLiteral("X"))),
    });
    EXPECT_FALSE(response.ok);
    EXPECT_EQ(rule(QStringLiteral("01"), number(a)), a);
    EXPECT_EQ(rule(QStringLiteral("01"), number(b)), b);
    EXPECT_EQ(rule(QStringLiteral("01"), number(c)), c);

    const RpcResponse good = save({
        updateChange(a, withField(a, QStringLiteral("DSCONSISTENCIA"), QStringLiteral("alterada"))),
        deleteChange(b),
    });
    ASSERT_TRUE(good.ok) << good.fault.message.toStdString();
    EXPECT_EQ(good.result.toObject().value(QStringLiteral("affected")).toInt(), 2);
    EXPECT_EQ(field(rule(QStringLiteral("01"), number(a)), QStringLiteral("DSCONSISTENCIA")),
              QStringLiteral("alterada"));
    EXPECT_TRUE(rule(QStringLiteral("01"), number(b)).isEmpty());
}

TEST_P(SetConsistencia, MalformedDeltasAreRefusedAsParameters)
{
    const QStringList row =
        newRule(QStringLiteral("01"), QStringLiteral("5101"), QStringLiteral("00"));
    QJsonObject missingField = delta({updateChange(row, row)});
    QJsonArray fields = missingField.value(QStringLiteral("fields")).toArray();
    fields.removeAt(5);
    missingField.insert(QStringLiteral("fields"), fields);
    const QJsonObject shortRow =
        delta({QJsonObject{{QStringLiteral("op"), QStringLiteral("delete")},
                           {QStringLiteral("old"), QJsonArray{QStringLiteral("x")}}}});
    const QJsonObject unknownOp =
        delta({QJsonObject{{QStringLiteral("op"), QStringLiteral("merge")}}});
    const QJsonObject noChanges{
        {QStringLiteral("fields"), delta({}).value(QStringLiteral("fields"))}};
    for (const QJsonObject &bad : {missingField, shortRow, unknownOp, noChanges}) {
        const RpcResponse response = call(QStringLiteral("setConsistencia"), {bad});
        EXPECT_EQ(response.fault.code, RpcError::InvalidParams)
            << response.fault.message.toStdString();
    }
    EXPECT_EQ(rule(QStringLiteral("01"), number(row)), row);
}

KVR_ON_BOTH_BACKENDS(SetConsistencia);
KVR_ON_BOTH_BACKENDS(SetConsistenciaValues);
