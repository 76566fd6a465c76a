// The parameter dialog of a absolute value: First stands between the bars, Second is an optional
// lower part.
#pragma once

#include "ui/ParamDialog.h"

class TBetragEForm : public TParamDialog {
  Q_OBJECT
 public:
  explicit TBetragEForm(const TEditorContext& context);
};
