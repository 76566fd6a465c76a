// The parameter dialog of a power: First is the exponent, Second the base; there is no remove
// button.
#pragma once

#include "ui/ParamDialog.h"

class TPotenzEForm : public TParamDialog {
  Q_OBJECT
 public:
  explicit TPotenzEForm(const TEditorContext& context);
};
