#include "VariantSchedules.h"

#include "ReportJobClient.h"
#include "ScheduleClient.h"
#include "ScheduleDialog.h"
#include "ScreenVariants.h"
#include "TfrmDadosGerRel.h"

#include "framework/Dispatch.h"
#include "framework/Services.h"
#include "rtl/Exceptions.h"

#include <QDate>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QJsonDocument>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace Velmora::Reports {

namespace {

// The saved set's relative period key, empty when it keeps fixed dates.
QString periodOfSet(ScreenVariants &variants, const QString &name)
{
    for (const SavedVariant &v : variants.List())
        if (v.name == name && v.owner == variants.Owner())
            return ScreenVariants::PeriodKeyOf(v.values);
    return {};
}

// The report parameter holding the date, so the server knows which one to move.
QString parameterOfDate(const QVariantMap &parameters, const QDate &date)
{
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
        if (it.value().typeId() == QMetaType::QDate && it.value().toDate() == date)
            return it.key();
    return {};
}

QString timingText(const ScheduleTiming &timing)
{
    const QString at = timing.time.toString(QStringLiteral("hh:mm"));
    switch (timing.frequency) {
    case ScheduleFrequency::Monthly:
        return QStringLiteral("mensal, dia %1, %2").arg(timing.day).arg(at);
    case ScheduleFrequency::Weekly:
        return QStringLiteral("semanal, %1, %2")
            .arg(QLocale(QLocale::Portuguese, QLocale::Brazil).dayName(timing.day), at);
    case ScheduleFrequency::Daily:
        break;
    }
    return QStringLiteral("diário, %1").arg(at);
}

} // namespace

void ScheduleSavedSet(ScreenVariants &variants, const QString &name, QWidget *parent)
{
    TfrmDadosGerRel *screen = variants.Screen();
    if (!variants.Load(name))
        return; // the failing check said why, and its field has the focus
    // The full check before the clerk is asked when: a set the screen refuses is told at once.
    std::optional<ReportJobRequest> job = screen->PrepareBackgroundRun();
    if (!job)
        return;
    ScheduleDialog dialog(name, parent);
    {
        Velmora::ModalScope modal;
        if (dialog.exec() != QDialog::Accepted)
            return;
    }
    const ScheduleTiming timing = dialog.Timing();
    job->format = timing.format;

    ScheduleRequest request;
    request.screen = job->screen;
    request.owner = job->owner;
    request.variant = name;
    request.timing = timing;
    request.reportCode = job->report;
    request.layoutFile = job->layoutFile;
    request.layoutVersion = job->layoutVersion;
    request.parameters = QJsonDocument::fromJson(job->ParametersJson().toUtf8()).object();
    request.period = periodOfSet(variants, name);
    QDate from, to;
    if (!request.period.isEmpty() && screen->ReportPeriod(from, to)) {
        request.startParam = parameterOfDate(job->parameters, from);
        request.endParam = parameterOfDate(job->parameters, to);
        if (request.startParam.isEmpty() || request.endParam.isEmpty())
            throw Exception(
                QStringLiteral(
                    "O período da variante \"%1\" não corresponde às datas do relatório: agende-a "
                    "sem período relativo.")
                    .arg(name));
    } else {
        request.period.clear();
    }
    const QString id = ScheduleClient().add(request);
    Velmora::Services::current().showMessage(
        QStringLiteral("Variante \"%1\" agendada: %2, em %3 (agendamento nº %4).")
            .arg(name, timingText(timing), timing.format.toUpper(), id));
}

void ShowSchedules(ScreenVariants &variants, QWidget *parent)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Agendamentos da tela %1").arg(variants.ScreenCode()));
    auto *list = new QTreeWidget(&dialog);
    list->setHeaderLabels({QStringLiteral("Variante"), QStringLiteral("Quando"),
                           QStringLiteral("Formato"), QStringLiteral("Último gerado")});
    list->setRootIsDecorated(false);
    list->setAllColumnsShowFocus(true);
    list->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    list->setMinimumWidth(560);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Fechar"));
    QPushButton *remove =
        buttons->addButton(QStringLiteral("&Remover"), QDialogButtonBox::ActionRole);
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(list);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    ScheduleClient client;
    const QString owner = variants.Owner();
    const QString screenCode = variants.ScreenCode();
    const auto fill = [&] {
        list->clear();
        for (const ScheduleEntry &e : client.list(owner)) {
            if (e.screen != screenCode)
                continue;
            auto *item = new QTreeWidgetItem(
                list,
                {e.variant, timingText(e.timing), e.timing.format.toUpper(),
                 e.lastQueued.isValid() ? e.lastQueued.toString(QStringLiteral("dd/MM/yyyy hh:mm"))
                                        : QStringLiteral("ainda não")});
            item->setData(0, Qt::UserRole, e.id);
        }
        if (list->topLevelItemCount() > 0)
            list->setCurrentItem(list->topLevelItem(0));
        remove->setEnabled(list->currentItem() != nullptr);
    };
    QObject::connect(remove, &QPushButton::clicked, &dialog, [&] {
        Velmora::Dispatch([&] {
            const QTreeWidgetItem *item = list->currentItem();
            if (!item ||
                !Velmora::Services::current().confirm(
                    QStringLiteral("Remover agendamento"),
                    QStringLiteral("Remover o agendamento da variante \"%1\"?").arg(item->text(0))))
                return;
            client.remove(item->data(0, Qt::UserRole).toString(), owner);
            fill();
        });
    });
    fill();
    Velmora::ModalScope modal;
    dialog.exec();
}

} // namespace Velmora::Reports
