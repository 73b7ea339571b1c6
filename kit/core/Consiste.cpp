#include "kit/core/Consiste.h"

#include "kit/core/DialogParent.h"

#include <QApplication>
#include <QMessageBox>

void Abort()
{
    throw EAbort();
}

QString Ajusta(const QString &text, int width)
{
    if (text.size() >= width)
        return text;
    return QString(width - text.size(), QLatin1Char('0')) + text;
}

bool EmptyString(const QString &text)
{
    return text.trimmed().isEmpty();
}

void MensErro(const QString &message, bool abort)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Erro"), message, QMessageBox::Ok,
                    DialogParent());
    // The busy pointer may still be on (a failed remote call): the user must
    // see a normal pointer over the message.
    const bool overridden = QApplication::overrideCursor() != nullptr;
    if (overridden)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (overridden)
        QApplication::restoreOverrideCursor();
    if (abort)
        Abort();
}

QVariant CheckResultServ(const QVariant &result, bool abort, int kind)
{
    Q_UNUSED(kind)
    if (result.metaType() == QMetaType::fromType<TServerError>()) {
        const TServerError error = result.value<TServerError>();
        const QString text = error.message.isEmpty()
                                 ? QStringLiteral("O servidor de aplicação informou uma falha "
                                                  "(código %1).")
                                       .arg(error.code)
                                 : error.message;
        MensErro(text, abort);
        return QVariant();
    }
    return result;
}

bool kvrGuard(const std::function<void()> &handler)
{
    // A failure inside the reporting itself must not escape either.
    auto report = [](const QString &text) {
        try {
            MensErro(text, false);
        } catch (...) {
        }
    };
    try {
        handler();
        return true;
    } catch (const EAbort &) {
    } catch (const EKvrError &error) {
        report(error.message());
    } catch (const std::exception &error) {
        report(QStringLiteral("Erro inesperado: ") + QString::fromUtf8(error.what()));
    } catch (...) {
        report(QStringLiteral("Erro inesperado."));
    }
    return false;
}
