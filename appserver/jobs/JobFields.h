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

// The name a copy of the job's file is offered under: "<report>-<id>.<format>".
QString offeredFileName(const ReportJob &job);

// A name that stays one file in its folder: letters, digits, '_', '.' and '-', no "..". Job
// fields (the report's code, the layout's file) make file names.
bool isPlainName(const QString &name);
// The hidden name a writer gives the job's file until it is whole:
// ".<report>-<id>.<tag>.parcial.<format>", the tag (8 hex digits) the writer's own.
QString partialFileName(const QString &report, const QString &id, const QString &tag,
                        const QString &format);
// Whether the name is one partialFileName() gives for a job of JobId's shape and a known format.
bool isPartialFileName(const QString &name);

// Each raises Exception in the clerk's words.
void checkScreen(const QString &screen);
void checkOwner(const QString &owner);
void checkFormat(const QString &format);
void checkServer(const QString &server);

} // namespace AppServer::Jobs
