#pragma once

#include "ReportJob.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

// How a job's fields are kept in RELATJOB, and the checks on what a caller hands the queue.
namespace AppServer::Jobs {

// F fila, G gerando, P pronto, E falhou, C cancelado.
QString stateLetter(ReportJob::State state);
std::optional<ReportJob::State> stateOfLetter(const QString &letter);

// The parameters as a JSON object: a text as a string, a date as {"data": "YYYY-MM-DD"}, null
// as null.
// Raises Exception for a value of any other kind, naming the parameter.
QString paramsToJson(const QVariantMap &params);
// Back from the stored text (Firebird's driver may give a text BLOB as bytes). Empty when it is
// no JSON object of those kinds.
std::optional<QVariantMap> paramsFromJson(const QVariant &stored);

// Each raises Exception in the clerk's words.
void checkScreen(const QString &screen);
void checkOwner(const QString &owner);
void checkFormat(const QString &format);
void checkServer(const QString &server);

} // namespace AppServer::Jobs
