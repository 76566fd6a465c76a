// The parameter dialog of a integral: Text1 and Text2 are the bounds below and above the sign,
// First the integrand.
#pragma once

#include "ui/ParamDialog.h"

class TIntegralEForm : public TParamDialog {
  Q_OBJECT
 public:
  explicit TIntegralEForm(const TEditorContext& context);
};
