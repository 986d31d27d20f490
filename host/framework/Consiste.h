#pragma once

#include "framework_global.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// The checks and small helpers every business screen shares.
namespace Consiste {

// True when a field's text holds no value: only blanks and the literals masks put in a
// display (separators of dates, registration numbers and codes: / . - : , ( ) and "_").
VELMORA_FRAMEWORK_EXPORT bool EmptyString(const QString &text);

// A code brought to its stored width: blanks around it dropped, then "0" added on the left
// up to the width. A code at or over the width is left as it is.
VELMORA_FRAMEWORK_EXPORT QString Ajusta(const QString &code, int width);

// Shows the text through the message service; with abort (the usual call) then ends the
// event with EAbort, which the dispatch boundary ends silently: one message, no second one.
VELMORA_FRAMEWORK_EXPORT void MensErro(const QString &text, bool abort = true);

// The edit mask of a legal registration number: "J" a company's (CNPJ), "F" a person's
// (CPF); any other kind has no mask. The value is stored without the mask's literals.
VELMORA_FRAMEWORK_EXPORT QString PictPess(const QString &kind);

// Checks an application server's answer: a data packet
// {"fields":[{"name","type","size"}],"rows":[[...]],"status":n,"message":""} whose rows have
// one value per field and whose status is okStatus. Returns the packet. Otherwise shows the
// answer's message (or one that says what is wrong with the answer) and raises EAbort when
// show is true, or raises ERemoteError with it when show is false.
VELMORA_FRAMEWORK_EXPORT QJsonObject CheckResultServ(const QJsonValue &answer, bool show,
                                                     int okStatus = 0);

} // namespace Consiste
