#include "platform/hostlib/printheader.h"

#include "platform/toolkit/data/datetime.h"
#include "platform/toolkit/data/formats.h"

#include <QDateTime>

namespace host {

namespace {

QString q(const std::string &text)
{
    return QString::fromStdString(text);
}

} // namespace

QStringList PrintInfoLines(const PrintContext &c)
{
    const QString month = q(tk::FormatDateTime("mmmm/yyyy", c.dtReferencia));
    const QString info1 = QStringLiteral("Filial: %1     Serviço: %2     Mês: %3").arg(q(c.cdFilial), q(c.cdServFili), month);
    QString info2 = QStringLiteral("Tipo de custo: %1     %2")
                        .arg(c.cdTipoCusto)
                        .arg(c.idRefeFixa ? QStringLiteral("Preços fixados em ")
                                                + q(tk::FormatDateTime("dd/mm/yyyy", c.dtRefeFixa))
                                          : QStringLiteral("Preços da data de cada dia"));
    if (!c.cdFiliCust.empty())
        info2 += QStringLiteral("     Filial de custo: ") + q(c.cdFiliCust);
    QString info3 = QStringLiteral("Emitido em ") + q(tk::FormatDateTime("dd/mm/yyyy hh:nn", c.emitidoEm));
    if (!c.operador.empty())
        info3 += QStringLiteral(" por ") + q(c.operador);
    return {info1, info2, info3};
}

tk::PrintFrame CostPrintFrame(const QString &title, const PrintContext &context, const QString &footerLeft)
{
    return tk::PrintFrame{title, PrintInfoLines(context), footerLeft};
}

tk::TDateTime NowDateTime()
{
    const QDateTime now = QDateTime::currentDateTime();
    return tk::EncodeDateTime(now.date().year(), now.date().month(), now.date().day(), now.time().hour(),
                              now.time().minute(), now.time().second());
}

} // namespace host
