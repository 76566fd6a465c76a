// Every dialog the program makes, by class name, on a test document: for
// tests that look at all of them alike.
#pragma once

#include <QDialog>
#include <QString>
#include <memory>

#include "tests/ui/DialogDriver.h"
#include "ui/BetragEFUnit.h"
#include "ui/BruchEFUnit.h"
#include "ui/IntegralEFUnit.h"
#include "ui/PotenzEFUnit.h"
#include "ui/SummeEFUnit.h"
#include "ui/UserEFUinit.h"
#include "ui/WurzelEFUnit.h"

namespace DialogDriver {

inline const char* const kEditingDialogs[] = {"TEditForm",    "TTermEditForm",  "TBruchEForm",
                                              "TWurzelEForm", "TSummeEForm",    "TPotenzEForm",
                                              "TBetragEForm", "TIntegralEForm", "TUserEForm"};

// One of kEditingDialogs; an unknown name gives the last one.
inline std::unique_ptr<QDialog> MakeDialog(const QString& name, TTestDocument& document) {
  const TEditorContext context = document.Context();
  if (name == "TEditForm") return std::make_unique<TEditForm>(context);
  if (name == "TTermEditForm") return std::make_unique<TTermEditForm>(context);
  if (name == "TBruchEForm") return std::make_unique<TBruchEForm>(context);
  if (name == "TWurzelEForm") return std::make_unique<TWurzelEForm>(context);
  if (name == "TSummeEForm") return std::make_unique<TSummeEForm>(context);
  if (name == "TPotenzEForm") return std::make_unique<TPotenzEForm>(context);
  if (name == "TBetragEForm") return std::make_unique<TBetragEForm>(context);
  if (name == "TIntegralEForm") return std::make_unique<TIntegralEForm>(context);
  return std::make_unique<TUserEForm>(context);
}

}  // namespace DialogDriver
