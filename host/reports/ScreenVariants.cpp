#include "ScreenVariants.h"

#include "ReportQuery.h"
#include "TfrmDadosGerRel.h"

#include "data/dtmDBGeral.h"
#include "framework/ParameterSet.h"
#include "framework/Services.h"
#include "framework/controls/TDateEditPlus.h"
#include "rtl/DateConvert.h"
#include "rtl/Exceptions.h"
#include "rtl/UserName.h"

#include <QLabel>

namespace Velmora::Reports {

namespace {

const QString periodKey = QStringLiteral("period");

QWidget *parameterArea(TfrmDadosGerRel *screen)
{
    auto *area = screen->findChild<QWidget *>(QStringLiteral("grbDadosRel"));
    if (!area)
        throw Exception(QStringLiteral("A tela não tem o componente 'grbDadosRel'."));
    return area;
}

// The period's fields: the first two date fields of the parameters, in tab order.
QList<TDateEditPlus *> periodFields(QWidget *area)
{
    QList<TDateEditPlus *> dates;
    for (QWidget *w : ControlsInTabOrder(area))
        if (auto *date = qobject_cast<TDateEditPlus *>(w); date && dates.size() < 2)
            dates << date;
    return dates.size() == 2 ? dates : QList<TDateEditPlus *>{};
}

QDate dateOf(const QString &text)
{
    TDateTime date;
    return TryStrToDate(text, date) ? date.toDate() : QDate();
}

} // namespace

ScreenVariants::ScreenVariants(TfrmDadosGerRel *screen) : m_screen(screen) {}

QString ScreenVariants::ScreenCode() const
{
    const auto *label = m_screen->findChild<QLabel *>(QStringLiteral("lblCodTela"));
    const QString code = label ? label->text().trimmed() : QString();
    return code.isEmpty() ? m_screen->ReportCode() : code;
}

QString ScreenVariants::Owner() const
{
    return Velmora::UserName();
}

VariantStore ScreenVariants::store() const
{
    TdtmDBGeral *shared = dtmDBGeral();
    if (!shared)
        throw Exception(QStringLiteral("Não há conexão com o banco de dados para as variantes."));
    return VariantStore(shared->adcGeral());
}

QList<SavedVariant> ScreenVariants::List() const
{
    return store().list(ScreenCode());
}

QString ScreenVariants::PeriodKeyOf(const QJsonObject &values)
{
    return values.value(periodKey).toString();
}

QJsonObject ScreenVariants::Capture(RelativePeriod period) const
{
    QWidget *area = parameterArea(m_screen);
    QJsonObject values = CaptureParameters(area, m_screen->ListSelections()).toJson();
    if (period != RelativePeriod::Fixed) {
        if (periodFields(area).isEmpty())
            throw Exception(QStringLiteral("A tela %1 não tem período: a variante guarda as "
                                           "datas digitadas.")
                                .arg(ScreenCode()));
        values.insert(periodKey, RelativePeriodKey(period));
    }
    return values;
}

void ScreenVariants::Save(const QString &name, RelativePeriod period)
{
    store().save(ScreenCode(), Owner(), name, Capture(period));
}

bool ScreenVariants::Load(const QString &name)
{
    VariantStore variants = store();
    const std::optional<SavedVariant> found = variants.find(ScreenCode(), name, Owner());
    if (!found)
        throw Exception(
            QStringLiteral("Não há variante \"%1\" da tela %2.").arg(name.trimmed(), ScreenCode()));
    variants.markUsed(ScreenCode(), found->owner, found->name);
    return Apply(found->values, found->name);
}

void ScreenVariants::Rename(const QString &from, const QString &to)
{
    store().rename(ScreenCode(), Owner(), from, to);
}

void ScreenVariants::Remove(const QString &name)
{
    store().remove(ScreenCode(), Owner(), name);
}

void ScreenVariants::SetDefault(const QString &name)
{
    store().setDefault(ScreenCode(), Owner(), name);
}

void ScreenVariants::LoadDefault()
{
    std::optional<SavedVariant> chosen;
    try {
        VariantStore variants = store();
        chosen = variants.defaultFor(ScreenCode(), Owner());
        if (chosen)
            variants.markUsed(ScreenCode(), chosen->owner, chosen->name);
    } catch (const Exception &e) {
        // The screen works without its sets; why they are missing is for the log.
        qCInfo(lcReports, "Variante padrão de %s não lida: %s", qUtf8Printable(ScreenCode()),
               qUtf8Printable(e.Message()));
        return;
    }
    if (chosen)
        Apply(chosen->values, chosen->name);
}

void ScreenVariants::RememberLast(const QJsonObject &values)
{
    try {
        store().saveLastValues(ScreenCode(), Owner(), values);
    } catch (const Exception &e) {
        // The report itself was made: losing the note of its values must not undo that.
        qCWarning(lcReports, "Últimos valores de %s não gravados: %s", qUtf8Printable(ScreenCode()),
                  qUtf8Printable(e.Message()));
    }
}

bool ScreenVariants::LoadLast()
{
    const std::optional<QJsonObject> last = store().lastValues(ScreenCode(), Owner());
    if (!last)
        throw Exception(QStringLiteral("Ainda não há últimos valores da tela %1: eles são "
                                       "guardados a cada relatório emitido.")
                            .arg(ScreenCode()));
    return Apply(*last, QStringLiteral("últimos valores"));
}

bool ScreenVariants::Apply(const QJsonObject &values, const QString &label)
{
    QWidget *area = parameterArea(m_screen);
    ParameterValues typed = ParameterValues::fromJson(values);
    RelativePeriod period = RelativePeriod::Fixed;
    const QString key = PeriodKeyOf(values);
    if (!RelativePeriodFromKey(key, period))
        Services::current().showMessage(
            QStringLiteral("A variante \"%1\" guarda um período (%2) que esta versão não "
                           "conhece: vão as datas digitadas.")
                .arg(label, key));
    const QList<TDateEditPlus *> dates = periodFields(area);
    if (period != RelativePeriod::Fixed && !dates.isEmpty()) {
        const QString from = dates.at(0)->objectName(), to = dates.at(1)->objectName();
        const DateRange range =
            ResolvePeriod(period, QDate::currentDate(),
                          {dateOf(typed.fields.value(from)), dateOf(typed.fields.value(to))});
        if (range.from.isValid() && range.to.isValid()) {
            typed.fields.insert(from, DateToStr(TDateTime::fromDate(range.from)));
            typed.fields.insert(to, DateToStr(TDateTime::fromDate(range.to)));
        }
    }
    return LoadParameters(area, typed, label);
}

} // namespace Velmora::Reports
