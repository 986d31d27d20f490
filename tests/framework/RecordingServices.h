#pragma once

#include "framework/ScriptedServices.h"

// Installs scripted services for the life of a test and records what they show.
class RecordingServices : public Velmora::ScriptedServices
{
public:
    RecordingServices() { Velmora::Services::install(this); }
    ~RecordingServices() override { Velmora::Services::install(nullptr); }
    QList<QJsonObject> events;
    void record()
    {
        onEvent = [this](const QJsonObject &e) { events << e; };
    }
};
