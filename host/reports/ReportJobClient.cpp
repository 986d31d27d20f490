#include "ReportJobClient.h"

#include "data/ReportParameters.h"

#include "data/DataPacket.h"
#include "framework/ServerWait.h"
#include "framework/TNetConnection.h"
#include "framework/Velmora.h"
#include "rtl/Exceptions.h"
#include "rtl/Settings.h"
#include "rtl/TDateTime.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QUrl>

#include <httplib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

using namespace Velmora::Reports;

namespace {

const QString moduleName = QStringLiteral("Velmora.Relatorios");

QVariant cell(const Velmora::DataPacket::Content &content, const QVector<QVariant> &row,
              const char *name)
{
    for (int c = 0; c < content.columns.size(); ++c)
        if (content.columns.at(c).name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return row.value(c);
    return {};
}

QString text(const Velmora::DataPacket::Content &content, const QVector<QVariant> &row,
             const char *name)
{
    return cell(content, row, name).toString();
}

QDateTime moment(const Velmora::DataPacket::Content &content, const QVector<QVariant> &row,
                 const char *name)
{
    const QVariant value = cell(content, row, name);
    if (value.metaType() == QMetaType::fromType<TDateTime>())
        return value.value<TDateTime>().toDateTime();
    return {};
}

ReportJobRow::State stateOfLetter(const QString &letter, const QString &id)
{
    static const QHash<QString, ReportJobRow::State> states{
        {QStringLiteral("F"), ReportJobRow::State::Queued},
        {QStringLiteral("G"), ReportJobRow::State::Running},
        {QStringLiteral("P"), ReportJobRow::State::Done},
        {QStringLiteral("E"), ReportJobRow::State::Failed},
        {QStringLiteral("C"), ReportJobRow::State::Cancelled}};
    const auto found = states.constFind(letter.trimmed().toUpper());
    if (found == states.constEnd())
        throw ERemoteError(QStringLiteral("O servidor deu ao relatório %1 a situação '%2', que "
                                          "esta versão não conhece.")
                               .arg(id, letter));
    return *found;
}

ReportJobRow rowOf(const Velmora::DataPacket::Content &content, const QVector<QVariant> &row)
{
    ReportJobRow job;
    job.id = text(content, row, "IDJOB");
    job.screen = text(content, row, "CDTELA");
    job.report = text(content, row, "CDRELATORIO");
    job.format = text(content, row, "DSFORMATO");
    job.state = stateOfLetter(text(content, row, "IDSITUACAO"), job.id);
    job.percent = text(content, row, "NRPERCENTUAL").toInt();
    job.error = text(content, row, "DSERRO");
    job.requested = moment(content, row, "DTPEDIDO");
    job.started = moment(content, row, "DTINICIO");
    job.finished = moment(content, row, "DTFIM");
    job.documents = text(content, row, "NRDOCUMENTOS").toLongLong();
    job.pages = text(content, row, "NRPAGINAS").toInt();
    job.bytes = text(content, row, "NRBYTES").toLongLong();
    job.sha256 = text(content, row, "DSSHA256");
    job.fileName = text(content, row, "NMARQUIVO");
    job.parameters = text(content, row, "DSPARAMETROS");
    job.schedule = text(content, row, "CDAGENDA");
    return job;
}

// What a download brought: taken on the worker thread, judged on the caller's. The partial
// file goes with the last holder unless it was renamed into place.
struct Transfer
{
    ~Transfer()
    {
        if (out)
            std::fclose(out);
        if (!partial.empty())
            std::remove(partial.c_str());
    }

    std::string partial;
    std::FILE *out = nullptr;
    QCryptographicHash hash{QCryptographicHash::Sha256};
    int status = 0;
    std::string declaredSha;
    std::string refusal; // the body of a refusal
    qint64 bytes = 0;
    bool writeFailed = false;
    int writeErrno = 0;
    bool answered = false;
    httplib::Error error = httplib::Error::Success;
};

QString refusalMessage(const std::string &body)
{
    const QJsonObject answer = QJsonDocument::fromJson(QByteArray::fromStdString(body)).object();
    return answer.value(QLatin1String("error"))
        .toObject()
        .value(QLatin1String("message"))
        .toString();
}

} // namespace

QString ReportJobRequest::ParametersJson() const
{
    return ReportParametersJson(parameters);
}

QString ReportJobRow::StateText() const
{
    switch (state) {
    case State::Queued:
        return QStringLiteral("na fila");
    case State::Running:
        return QStringLiteral("gerando %1 %").arg(percent);
    case State::Done:
        return QStringLiteral("pronto");
    case State::Failed:
        return QStringLiteral("falhou: %1").arg(error);
    case State::Cancelled:
        return QStringLiteral("cancelado");
    }
    return {};
}

ReportJobClient::ReportJobClient() : m_net(std::make_unique<TNetConnection>())
{
    m_net->SetServerName(moduleName);
}

ReportJobClient::~ReportJobClient() = default;

QJsonObject ReportJobClient::call(const QString &method, const QVariantList &args)
{
    // The settings may have changed since the last call (a test, another server).
    if (m_net->Host() != Velmora::WebURL() || m_net->Port() != Velmora::WebPort()) {
        m_net->Close();
        m_net->SetHost(Velmora::WebURL());
        m_net->SetPort(Velmora::WebPort());
    }
    return m_net->Call(method, args).toObject();
}

QString ReportJobClient::Enqueue(const ReportJobRequest &r)
{
    const auto content = DataPacket::Parse(
        call(QStringLiteral("Enfileirar"), {r.screen, r.report, r.layoutFile, r.layoutVersion,
                                            r.owner, r.format, r.ParametersJson()}),
        QStringLiteral("Enfileirar"));
    const QString id =
        content.rows.isEmpty() ? QString() : text(content, content.rows.first(), "IDJOB");
    if (id.isEmpty())
        throw ERemoteError(QStringLiteral("O servidor não deu o número do relatório enviado."));
    return id;
}

QList<ReportJobRow> ReportJobClient::List(const QString &owner)
{
    const auto content =
        DataPacket::Parse(call(QStringLiteral("Listar"), {owner}), QStringLiteral("Listar"));
    QList<ReportJobRow> rows;
    rows.reserve(content.rows.size());
    for (const auto &row : content.rows)
        rows << rowOf(content, row);
    return rows;
}

ReportJobRow ReportJobClient::Status(const QString &id, const QString &owner)
{
    const auto content = DataPacket::Parse(call(QStringLiteral("Situacao"), {id, owner}),
                                           QStringLiteral("Situacao"));
    if (content.rows.isEmpty())
        throw ERemoteError(QStringLiteral("Relatório %1 não encontrado.").arg(id));
    return rowOf(content, content.rows.first());
}

ReportJobRow::State ReportJobClient::Cancel(const QString &id, const QString &owner)
{
    const auto content = DataPacket::Parse(call(QStringLiteral("Cancelar"), {id, owner}),
                                           QStringLiteral("Cancelar"));
    if (content.rows.isEmpty())
        throw ERemoteError(
            QStringLiteral("O servidor não disse a situação do relatório %1.").arg(id));
    return stateOfLetter(text(content, content.rows.first(), "IDSITUACAO"), id);
}

QString ReportJobClient::RunAgain(const QString &id, const QString &owner)
{
    const auto content = DataPacket::Parse(call(QStringLiteral("ExecutarNovamente"), {id, owner}),
                                           QStringLiteral("ExecutarNovamente"));
    const QString again =
        content.rows.isEmpty() ? QString() : text(content, content.rows.first(), "IDJOB");
    if (again.isEmpty())
        throw ERemoteError(QStringLiteral("O servidor não deu o número do novo relatório."));
    return again;
}

ReportJobClient::Downloaded ReportJobClient::Download(const QString &id, const QString &owner,
                                                      const QString &target)
{
    const Velmora::Settings &s = Velmora::settings();
    const QString where = QStringLiteral("%1:%2").arg(Velmora::WebURL()).arg(Velmora::WebPort());
    const QFileInfo info(target);
    const auto fail = [&](const QString &why) {
        return ERemoteError(QStringLiteral("O relatório %1 não foi gravado em '%2': %3")
                                .arg(id, QDir::toNativeSeparators(target), why));
    };
    if (!QDir().mkpath(info.absolutePath()))
        throw fail(QStringLiteral("a pasta não pôde ser criada."));

    auto transfer = std::make_shared<Transfer>();
    transfer->partial = QFile::encodeName(info.absoluteDir().filePath(
                                              QStringLiteral(".%1.%2.parcial")
                                                  .arg(info.fileName())
                                                  .arg(QRandomGenerator::global()->generate(), 8,
                                                       16, QLatin1Char('0'))))
                            .toStdString();
    transfer->out = std::fopen(transfer->partial.c_str(), "wb");
    if (!transfer->out) {
        const int err = errno;
        transfer->partial.clear();
        throw fail(QString::fromLocal8Bit(std::strerror(err)) + QLatin1Char('.'));
    }

    auto client =
        std::make_shared<httplib::ClientImpl>(Velmora::WebURL().toStdString(), Velmora::WebPort());
    client->set_connection_timeout(s.connectTimeoutMs / 1000, (s.connectTimeoutMs % 1000) * 1000);
    client->set_read_timeout(s.callTimeoutMs / 1000, (s.callTimeoutMs % 1000) * 1000);
    client->set_url_encode(false);
    if (!s.serverToken.isEmpty())
        client->set_bearer_token_auth(s.serverToken.toStdString());
    const std::string path = (QByteArrayLiteral("/relatorios/") + QUrl::toPercentEncoding(id) +
                              QByteArrayLiteral("?dono=") + QUrl::toPercentEncoding(owner))
                                 .toStdString();

    Velmora::ServerWait wait;
    wait.run(
        [client, transfer, path] {
            httplib::Result result = client->Get(
                path,
                [transfer](const httplib::Response &response) {
                    transfer->status = response.status;
                    transfer->declaredSha = response.get_header_value("X-Velmora-Sha256");
                    return true;
                },
                [transfer](const char *data, size_t length) {
                    if (transfer->status != 200) {
                        if (transfer->refusal.size() < 65536)
                            transfer->refusal.append(data, length);
                        return true;
                    }
                    if (std::fwrite(data, 1, length, transfer->out) != length) {
                        transfer->writeFailed = true;
                        transfer->writeErrno = errno;
                        return false;
                    }
                    transfer->hash.addData(QByteArrayView(data, qsizetype(length)));
                    transfer->bytes += qint64(length);
                    return true;
                });
            transfer->answered = static_cast<bool>(result);
            if (!result)
                transfer->error = result.error();
            if (std::fflush(transfer->out) != 0 || std::fclose(transfer->out) != 0) {
                if (!transfer->writeFailed)
                    transfer->writeErrno = errno;
                transfer->writeFailed = true;
            }
            transfer->out = nullptr;
        },
        [client] { client->stop(); });

    if (transfer->writeFailed)
        throw fail(QString::fromLocal8Bit(std::strerror(transfer->writeErrno)) + QLatin1Char('.'));
    if (!transfer->answered) {
        switch (transfer->error) {
        case httplib::Error::Connection:
            throw fail(QStringLiteral("não foi possível conectar ao servidor de aplicação em %1 "
                                      "(conexão recusada ou endereço inalcançável).")
                           .arg(where));
        case httplib::Error::ConnectionTimeout:
            throw fail(QStringLiteral("tempo esgotado (%1 ms) ao conectar ao servidor de "
                                      "aplicação em %2.")
                           .arg(s.connectTimeoutMs)
                           .arg(where));
        default:
            throw fail(
                QStringLiteral("a transferência do servidor de aplicação em %1 foi "
                               "interrompida (%2).")
                    .arg(where, QString::fromStdString(httplib::to_string(transfer->error))));
        }
    }
    if (transfer->status != 200) {
        const QString message = refusalMessage(transfer->refusal);
        throw fail(message.isEmpty()
                       ? QStringLiteral("o servidor de aplicação em %1 recusou o pedido (HTTP %2).")
                             .arg(where)
                             .arg(transfer->status)
                       : message);
    }
    const QString sha = QString::fromLatin1(transfer->hash.result().toHex());
    const QString declared = QString::fromStdString(transfer->declaredSha).trimmed();
    if (declared.isEmpty())
        throw fail(QStringLiteral("o servidor não informou o SHA-256 do arquivo."));
    if (declared.compare(sha, Qt::CaseInsensitive) != 0)
        throw fail(QStringLiteral("o arquivo recebido (%1 bytes) não confere com o SHA-256 "
                                  "informado pelo servidor.")
                       .arg(transfer->bytes));
    std::error_code renamed;
    std::filesystem::rename(transfer->partial,
                            QFile::encodeName(info.absoluteFilePath()).toStdString(), renamed);
    if (renamed)
        throw fail(QString::fromLocal8Bit(renamed.message().c_str()) + QLatin1Char('.'));
    transfer->partial.clear();
    return {transfer->bytes, sha};
}
