// The parameter dialog of a function with a name of the user's: Text1 is the name, First the
// argument.
#pragma once

#include "ui/ParamDialog.h"

class TUserEForm : public TParamDialog {
  Q_OBJECT
 public:
  explicit TUserEForm(const TEditorContext& context);
};
