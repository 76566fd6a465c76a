// The parameter dialog of a sum: Text1 and Text2 are the bounds below and above the sign, First the
// summand.
#pragma once

#include "ui/ParamDialog.h"

class TSummeEForm : public TParamDialog {
  Q_OBJECT
 public:
  explicit TSummeEForm(const TEditorContext& context);
};
