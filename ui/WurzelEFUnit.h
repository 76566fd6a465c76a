// The parameter dialog of a root: Text1 is the index, First the radicand, Second an optional lower
// part.
#pragma once

#include "ui/ParamDialog.h"

class TWurzelEForm : public TParamDialog {
  Q_OBJECT
 public:
  explicit TWurzelEForm(const TEditorContext& context);
};
