#pragma once

#include "framework_global.h"

#include <QObject>
#include <QString>

namespace Velmora {

// Raises Exception: the loaded form lacks a component its screen reaches by name.
[[noreturn]] VELMORA_FRAMEWORK_EXPORT void MissingComponent(const QObject *form, const char *name);

// A component of a loaded form by its name, as the accessors written from a description
// (velmora-formc) reach it.
template <class T> T *FormComponent(const QObject *form, const char *name)
{
    if (T *component = form->findChild<T *>(QLatin1String(name)))
        return component;
    MissingComponent(form, name);
}

} // namespace Velmora
