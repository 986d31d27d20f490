#pragma once

#include "framework/controls/TLabel.h"

// A component class of the package's own: its unit registers it for the form descriptions
// on initialisation and takes it back on finalisation.
class TEtiquetaTeste : public TLabel
{
    Q_OBJECT
public:
    explicit TEtiquetaTeste(QWidget *parent) : TLabel(parent) {}
};
