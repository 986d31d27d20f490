#pragma once

// The rules of tax, company and registration as scenarios: job steps and what the user sees
// afterwards. The screen tests run them in their own process, the batch tests through the
// batch runner; both read this one table.
#include "BatchJobRun.h"
#include "ScreenMessages.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <ostream>
#include <vector>

struct FieldRule
{
    const char *name;
    // A job's steps (enter, lookup, action, dump); a rule that expects texts or enabled
    // controls ends with a dump.
    const char *steps;
    // "text @ control holding the focus after the step", in order.
    QStringList messages = {};
    QList<QPair<const char *, QString>> texts = {};
    QList<QPair<const char *, bool>> enabled = {};
    // The control holding the focus after the last step, when it matters.
    const char *focus = nullptr;
    // Steps (from 1) whose control the focus could not reach.
    QList<int> blocked = {};
};

// Failures name the rule.
inline void PrintTo(const FieldRule &rule, std::ostream *os)
{
    *os << rule.name;
}

// The registration row (label, field and lookup button) on or off.
inline QList<QPair<const char *, bool>> RegistrationRow(bool on)
{
    return {{"lblInscricao", on}, {"edtInscricao", on}, {"btpInscricao", on}};
}

inline std::vector<FieldRule> FieldRules()
{
    using namespace ScreenMessages;
    return {
        {.name = "CodesArePaddedAndNamed",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"3"},
                      {"do":"enter","control":"medCdEmpresa","text":"5"},
                      {"do":"dump"}])",
         .texts = {{"medCdImposto", "03"},
                   {"edtNmImposto", "ISS"},
                   {"medCdEmpresa", "05"},
                   {"edtNmEmpresa", "Cinco Irmãos Comércio Ltda"}},
         .focus = "edtInscricao"}, // the registration is on the path now
        // A tax of IMPOSTONFE without any tax of IMPOSTO is no tax to report; the exit of
        // the tax keeps the focus.
        {.name = "UnknownCodesKeepTheFocus",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"9"},
                      {"do":"enter","control":"medCdEmpresa","text":"01"},
                      {"do":"enter","control":"medCdImposto","text":"02"},
                      {"do":"enter","control":"medCdEmpresa","text":"77"},
                      {"do":"dump"}])",
         .messages = {At(taxCad, "medCdImposto"), At(taxCad, "medCdImposto"),
                      At(companyCad, "medCdEmpresa")},
         .texts = {{"medCdImposto", "02"}, {"medCdEmpresa", "77"}, {"edtNmEmpresa", ""}},
         .blocked = {2}},
        // The collecting body of the tax turns the registration row on ("T", another
        // letter) or off ("F", empty, none).
        {.name = "IcmsTurnsTheRowOn",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"01"},{"do":"dump"}])",
         .texts = {{"edtNmImposto", "ICMS"}},
         .enabled = RegistrationRow(true)},
        {.name = "IssTurnsTheRowOn",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"03"},{"do":"dump"}])",
         .texts = {{"edtNmImposto", "ISS"}},
         .enabled = RegistrationRow(true)},
        {.name = "IpiTurnsTheRowOff",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"02"},{"do":"dump"}])",
         .texts = {{"edtNmImposto", "IPI"}},
         .enabled = RegistrationRow(false)},
        {.name = "AnEmptyBodyTurnsTheRowOff",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"04"},{"do":"dump"}])",
         .texts = {{"edtNmImposto", "PIS"}},
         .enabled = RegistrationRow(false)},
        {.name = "NoBodyTurnsTheRowOff",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"05"},{"do":"dump"}])",
         .texts = {{"edtNmImposto", "COFINS"}},
         .enabled = RegistrationRow(false)},
        {.name = "AnotherLetterTurnsTheRowOn",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"08"},{"do":"dump"}])",
         .texts = {{"edtNmImposto", "TAXA X"}},
         .enabled = RegistrationRow(true)},
        // The registration kind shows in the full check of an empty registration: the
        // state's message, the municipality's, or none while no tax has chosen a kind.
        {.name = "NoKindChosenChecksNoRegistration",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"08"},
                      {"do":"enter","control":"medCdEmpresa","text":"01"},
                      {"do":"action","name":"print","file":"$DIR/regra.pdf"}])",
         .messages = {At(initialInf, "depDtInicial")}},
        {.name = "TheStateKindAnEarlierTaxChoseStays",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"01"},
                      {"do":"enter","control":"medCdImposto","text":"08"},
                      {"do":"enter","control":"medCdEmpresa","text":"01"},
                      {"do":"action","name":"print","file":"$DIR/regra.pdf"}])",
         .messages = {At(stateInf, "edtInscricao")}},
        {.name = "TheMunicipalKindAnEarlierTaxChoseStays",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"03"},
                      {"do":"enter","control":"medCdImposto","text":"08"},
                      {"do":"enter","control":"medCdEmpresa","text":"01"},
                      {"do":"action","name":"print","file":"$DIR/regra.pdf"}])",
         .messages = {At(cityInf, "edtInscricao")}},
        // "F" turns the row off: the registration is not checked, whatever the kind.
        {.name = "ARowTurnedOffIsNotChecked",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"01"},
                      {"do":"enter","control":"medCdImposto","text":"02"},
                      {"do":"enter","control":"medCdEmpresa","text":"01"},
                      {"do":"action","name":"print","file":"$DIR/regra.pdf"}])",
         .messages = {At(initialInf, "depDtInicial")}},
        {.name = "ChangingTheTaxEmptiesTheRegistrationAtOnce",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"01"},
                      {"do":"enter","control":"medCdEmpresa","text":"01"},
                      {"do":"enter","control":"edtInscricao","text":"110042490114"},
                      {"do":"enter","control":"medCdImposto","text":"99"},
                      {"do":"dump"}])",
         .messages = {At(taxCad, "medCdImposto")},
         .texts = {{"edtInscricao", ""}, {"edtNmImposto", ""}},
         .enabled = {{"edtInscricao", true}}}, // the row waits for a valid tax
        {.name = "ErasingTheTaxTurnsTheRowOffSilently",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"01"},
                      {"do":"enter","control":"medCdImposto","text":""},
                      {"do":"dump"}])",
         .enabled = RegistrationRow(false),
         .focus = "medCdEmpresa"},
        {.name = "ChangingTheCompanyKeepsTheRegistrationForTheNextCheck",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"01"},
                      {"do":"enter","control":"medCdEmpresa","text":"01"},
                      {"do":"enter","control":"edtInscricao","text":"110042490114"},
                      {"do":"enter","control":"medCdEmpresa","text":"02"},
                      {"do":"dump"},
                      {"do":"action","name":"print","file":"$DIR/regra.pdf"}])",
         .messages = {At(stateCad, "edtInscricao")},
         .texts = {{"edtNmEmpresa", "Atlântica Distribuidora Ltda"},
                   {"edtInscricao", "110042490114"}}},
        {.name = "AnEmptyCompanyPassesItsExitNotTheChecks",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"02"},
                      {"do":"enter","control":"medCdEmpresa","text":""},
                      {"do":"action","name":"print","file":"$DIR/regra.pdf"},
                      {"do":"action","name":"edit"}])",
         .messages = {At(companyInf, "medCdEmpresa"), At(companyInf, "medCdEmpresa")}},
        // The registration belongs to the company, in each kind.
        {.name = "AnotherCompanysStateRegistration",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"01"},
                      {"do":"enter","control":"medCdEmpresa","text":"01"},
                      {"do":"enter","control":"edtInscricao","text":"110099887766"}])",
         .messages = {At(stateCad, "edtInscricao")}},
        {.name = "AnotherCompanysMunicipalRegistration",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"03"},
                      {"do":"enter","control":"medCdEmpresa","text":"01"},
                      {"do":"enter","control":"edtInscricao","text":"55554444"}])",
         .messages = {At(cityCad, "edtInscricao")}},
        // No company: the state registration is looked for under an empty code, the
        // municipal one under "T"; neither exists.
        {.name = "AStateRegistrationWithoutCompany",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"01"},
                      {"do":"enter","control":"edtInscricao","text":"110042490114"}])",
         .messages = {At(stateCad, "edtInscricao")}},
        {.name = "AMunicipalRegistrationWithoutCompany",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"03"},
                      {"do":"enter","control":"edtInscricao","text":"12345678"}])",
         .messages = {At(cityCad, "edtInscricao")}},
        // An empty registration passes its exit and fails the full check, by kind.
        {.name = "AnEmptyStateRegistration",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"01"},
                      {"do":"enter","control":"medCdEmpresa","text":"01"},
                      {"do":"enter","control":"edtInscricao","text":""},
                      {"do":"action","name":"preview","file":"$DIR/regra.pdf"},
                      {"do":"dump"}])",
         .messages = {At(stateInf, "edtInscricao")}},
        {.name = "AnEmptyMunicipalRegistration",
         .steps = R"([{"do":"enter","control":"medCdImposto","text":"03"},
                      {"do":"enter","control":"medCdEmpresa","text":"01"},
                      {"do":"action","name":"save","file":"$DIR/nada.pdf"}])",
         .messages = {At(cityInf, "edtInscricao")}},
    };
}
