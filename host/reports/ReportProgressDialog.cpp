#include "ReportProgressDialog.h"

#include "ReportRun.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTime>
#include <QVBoxLayout>

namespace Velmora::Reports {

ReportProgressDialog::ReportProgressDialog(ReportRun *run, const QString &reportCode,
                                           QWidget *parent)
    : QDialog(parent, Qt::Dialog), m_run(run)
{
    setObjectName(QStringLiteral("frmProgressoRelatorio"));
    setWindowTitle(QStringLiteral("Gerando relatório %1…").arg(reportCode));
    setModal(false);
    auto *title = new QLabel(QStringLiteral("Gerando relatório %1…").arg(reportCode));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    m_rows = new QLabel;
    m_rows->setObjectName(QStringLiteral("lblDocumentos"));
    m_pages = new QLabel;
    m_pages->setObjectName(QStringLiteral("lblPaginas"));
    m_elapsed = new QLabel;
    m_elapsed->setObjectName(QStringLiteral("lblTempo"));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Documentos lidos:"), m_rows);
    form->addRow(QStringLiteral("Páginas:"), m_pages);
    form->addRow(QStringLiteral("Tempo decorrido:"), m_elapsed);
    auto *buttons = new QDialogButtonBox;
    QPushButton *cancel =
        buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnCancelar"));
    connect(cancel, &QPushButton::clicked, this, [this] {
        if (m_run)
            m_run->cancel();
        m_elapsed->setText(QStringLiteral("cancelando…"));
    });
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addLayout(form);
    layout->addWidget(buttons);
    refresh();
}

void ReportProgressDialog::refresh()
{
    if (!m_run)
        return;
    const QLocale locale;
    m_rows->setText(locale.toString(m_run->rows()));
    m_pages->setText(
        m_run->request().output == ReportRun::Output::File &&
                !m_run->request().path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)
            ? QStringLiteral("—")
            : locale.toString(m_run->pages()));
    m_elapsed->setText(
        QTime(0, 0).addMSecs(int(m_run->elapsedMs())).toString(QStringLiteral("mm:ss")));
}

} // namespace Velmora::Reports
