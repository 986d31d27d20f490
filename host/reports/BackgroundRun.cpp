#include "BackgroundRun.h"

#include "data/TParams.h"
#include "framework/Dispatch.h"
#include "framework/dialogs/TitleWidth.h"
#include "rtl/Exceptions.h"
#include "rtl/TDateTime.h"

#include <QButtonGroup>
#include <QCryptographicHash>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStatusBar>
#include <QVBoxLayout>

namespace Velmora::Reports {

namespace {

QSettings userSettings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("velmora"),
                     QStringLiteral("velmora"));
}

const QString formatKey = QStringLiteral("Background/Format");

} // namespace

QStringList BackgroundFormats()
{
    return {QStringLiteral("pdf"), QStringLiteral("csv"), QStringLiteral("xlsx"),
            QStringLiteral("html")};
}

QString LastBackgroundFormat()
{
    const QString last = userSettings().value(formatKey).toString();
    return BackgroundFormats().contains(last) ? last : QStringLiteral("pdf");
}

QString ChooseBackgroundFormat(QWidget *parent, const QString &proposed)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("frmFormatoSegundoPlano"));
    dialog.setWindowTitle(QStringLiteral("Executar em segundo plano"));
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("Formato do relatório:"), &dialog));
    auto *group = new QButtonGroup(&dialog);
    const QStringList names{QStringLiteral("&PDF"), QStringLiteral("&CSV (texto separado)"),
                            QStringLiteral("&XLSX (planilha)"), QStringLiteral("&HTML")};
    const QStringList formats = BackgroundFormats();
    for (int i = 0; i < formats.size(); ++i) {
        auto *option = new QRadioButton(names.at(i), &dialog);
        option->setObjectName(QStringLiteral("rbt") + formats.at(i).toUpper());
        option->setChecked(formats.at(i) == proposed);
        group->addButton(option, i);
        layout->addWidget(option);
    }
    if (!group->checkedButton())
        group->button(0)->setChecked(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Enviar"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    Velmora::FitTitle(&dialog);
    int answer = 0;
    {
        Velmora::ModalScope modal;
        answer = dialog.exec();
    }
    if (answer != QDialog::Accepted)
        return {};
    const QString chosen = formats.at(group->checkedId());
    RememberBackgroundFormat(chosen);
    return chosen;
}

void RememberBackgroundFormat(const QString &format)
{
    QSettings settings = userSettings();
    settings.setValue(formatKey, format);
    settings.sync();
}

QString FileSha256(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        throw Exception(
            QStringLiteral("O leiaute '%1' não pôde ser lido: %2.").arg(path, file.errorString()));
    return QString::fromLatin1(hash.result().toHex());
}

QVariantMap QueueParameters(const TParams &params)
{
    QVariantMap values;
    for (int i = 0; i < params.Count(); ++i) {
        const TParam *p = params.Items(i);
        if (p->IsNull())
            values.insert(p->Name(), QVariant());
        else if (p->IsDate())
            values.insert(p->Name(), p->AsDate().toDate());
        else if (p->Value().metaType() == QMetaType::fromType<QDate>())
            values.insert(p->Name(), p->Value().toDate());
        else
            values.insert(p->Name(), p->AsString());
    }
    return values;
}

QString BackgroundNoticeText(const QString &jobId)
{
    return QStringLiteral("Relatório enviado para segundo plano (nº %1). Acompanhe em Relatórios "
                          "gerados.")
        .arg(jobId);
}

void ShowBackgroundNotice(QWidget *from, const QString &jobId)
{
    QMainWindow *main = nullptr;
    for (QWidget *w = from; w && !main; w = w->parentWidget())
        main = qobject_cast<QMainWindow *>(w);
    if (main)
        main->statusBar()->showMessage(BackgroundNoticeText(jobId));
}

} // namespace Velmora::Reports
